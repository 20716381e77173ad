// Scenario files for `gaugehost run`: one command a line, `#` comments. The
// language is described in docs/gaugehost.md; this reads a file into
// commands, checking every line before anything runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gaugehost {

// What a sound expectation or a `lose` points at.
struct SoundTarget {
  enum Kind { Slot, File, Gauge, Buffer } kind = Gauge;
  int slot = 0;       // Slot
  std::string gauge;  // Slot, Gauge: the gauge's name in the scenario
  std::string file;   // File: as the gauge opened it
  int buffer = 0;     // Buffer: the platform's buffer id
};

enum class Comparison { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual };

struct Command {
  enum Kind {
    Fps,            // number: updates per second
    Load,           // gauge, path, text (parameter string), hasText
    SetNamed,       // text (variable), number
    SetToken,       // token, number
    TrimModel,      // number (0: off)
    RunUpdates,     // count
    RunTime,        // microseconds
    At,             // microseconds
    Send,           // gauge, service, extra
    Close,
    Fail,           // text (call), count (nth), times (-1: always)
    ClearFaults,
    Lose,           // target, count (restores that fail)
    Copy,           // path (source, absolute), text (destination)
    Remove,         // text (destination)
    Move,           // path (from), text (to): both in the simulator folder
    Clear,
    ExpectVariable, // text, comparison, number, tolerance
    ExpectToken,    // token, comparison, number, tolerance
    ExpectEvents,   // event, negated, times (-1: at least once), eventId/text/number/target as the event has
    ExpectSound,    // sound, target
  } kind;
  int line = 0;
  std::string source;  // the line as written, trimmed

  std::string gauge;
  std::string path;
  std::string text;
  bool hasText = false;
  double number = 0.0;
  double tolerance = 0.0;
  Comparison comparison = Comparison::Equal;
  uint32_t token = 0;
  uint32_t service = 0;
  uint64_t extra = 0;
  long count = 0;
  long times = -1;
  uint64_t microseconds = 0;
  SoundTarget target;
  bool hasTarget = false;

  enum Event { Key, Write, Box, Started, Stopped, Finished } event = Key;
  bool negated = false;
  bool hasEventId = false;
  uint32_t eventId = 0;
  bool hasValue = false;  // Write: a value to match

  enum Sound { Playing, Looping, Silent } sound = Playing;
};

struct Scenario {
  std::string path;    // as given
  std::string folder;  // the scenario file's folder: `copy` sources and module paths start here
  std::vector<Command> commands;
};

struct ModuleDefaults {
  std::string korvane3;
  std::string vantric;
};

// Reads and checks a scenario file. False with *error "file:line: what is
// wrong" (or a one-line reason the file cannot be read).
bool parseScenario(const std::string& path, const ModuleDefaults& modules, Scenario* scenario, std::string* error);
bool parseScenarioText(const std::string& path, const std::string& text, const ModuleDefaults& modules,
                       Scenario* scenario, std::string* error);

// Names the platform can be told to fail, and the services by name.
const std::vector<std::string>& failableCalls();
std::string serviceName(uint32_t service);  // "window-ready", or the number
std::string tokenName(uint32_t token);      // "trim (783)", or the number
std::string keyEventName(uint32_t eventId); // "0x1004F raise trim"

}  // namespace gaugehost
