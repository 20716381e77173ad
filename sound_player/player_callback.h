// korvane3's GaugeCallback: the three services the sound player acts on.
#pragma once

#include "frame/panel_abi.h"

extern "C" void PANEL_CALL soundPlayerCallback(GaugeHeader* header, uint32_t service, GaugeExtra extra);
