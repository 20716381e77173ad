// A picture of a run as SVG: for vantric the trim over time with its band,
// the gate, the limit and its threshold, each key event and the trim sound;
// for korvane3 one lane per slot that did anything, showing when it played
// once or looped, how it ended, the scenario's settings of its variable and
// the gauge's writes to it. One time axis, in seconds, under everything.
#pragma once

#include <string>

#include "host/gaugehost/scenario_runner.h"

namespace gaugehost {

std::string plotSvg(const Recording& recording, const std::string& title);

}  // namespace gaugehost
