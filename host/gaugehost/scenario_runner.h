// Runs a scenario against the simulated host and the native platform, and
// keeps what the host saw: a timeline for people, expectation failures with
// their lines, the data a plot draws, and (when asked) the rendered sound.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/gaugehost/korvane3_configuration.h"
#include "host/gaugehost/scenario.h"

namespace gaugehost {

enum class GaugeKind { Korvane3, Vantric, Other };

// What the host saw, for the plot.
struct Recording {
  struct Gauge {
    std::string name;
    GaugeKind kind = GaugeKind::Other;
    bool configured = false;  // korvane3: the configuration below was read
    KorvaneConfiguration configuration;
  };
  // One stretch of a buffer playing with one looping flag.
  struct Sound {
    int gauge = -1;
    int slot = -1;           // korvane3's slot, -1 when none
    int bufferId = 0;
    std::string source;
    uint64_t start = 0;
    uint64_t end = 0;
    bool looping = false;
    enum End { Finished, Stopped, Running, Relooped } how = Running;
  };
  struct VariableMark {
    uint64_t at;
    int gauge;  // -1: the scenario
    std::string name;
    double value;
  };
  struct KeyMark {
    uint64_t at;
    int gauge;
    uint32_t eventId;
  };
  struct TokenSample {
    uint64_t at;
    double gate, trim, limit;
  };
  struct BoxMark {
    uint64_t at;
    int gauge;
    std::string text;
  };

  std::vector<Gauge> gauges;
  std::vector<Sound> sounds;
  std::vector<VariableMark> sets;    // named variables set by the scenario
  std::vector<VariableMark> writes;  // named variables written by the gauges
  std::vector<KeyMark> keys;
  std::vector<TokenSample> tokens;   // gate, trim and limit whenever one may have changed
  std::vector<BoxMark> boxes;
  uint64_t endMicroseconds = 0;
};

struct TimelineEntry {
  uint64_t at;
  std::string who;   // a gauge's name, "scenario" or "platform"
  std::string what;
};

struct RunOptions {
  std::string simulatorFolder = ".";
  bool render = false;
  uint32_t renderRate = 44100;
};

struct RunResult {
  std::vector<TimelineEntry> timeline;
  std::vector<std::string> failures;  // "file:line: what did not hold"
  std::string error;                  // a run-time error ("file:line: ..."); the run stopped there
  int expectations = 0;               // expectations checked
  Recording recording;
  std::vector<int16_t> audio;         // 16-bit stereo frames when rendering
};

// Runs in a fresh platform world with the simulator folder as the current
// directory (restored afterwards).
RunResult runScenario(const Scenario& scenario, const RunOptions& options);

std::string formatTimeline(const RunResult& result);

}  // namespace gaugehost
