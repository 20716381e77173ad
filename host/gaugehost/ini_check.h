// `gaugehost check`: what korvane3 makes of an INI file and its sound set,
// found out with the gauge's own code: its configuration reader, its WAV file
// reader and its sound bank against the native platform. Each slot's WAV is
// looked at as the gauge would load it, from the simulator's folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/gaugehost/korvane3_configuration.h"

namespace gaugehost {

struct SoundFileState {
  enum Kind { Ok, Missing, Unreadable, NotWav, Unloadable, NotChecked } kind = Missing;
  std::string detail;         // the format and length, or what is wrong
  bool hasFormat = false;     // the fields below hold the file's format
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t samplesPerSecond = 0;
  uint16_t bitsPerSample = 0;
  uint32_t dataBytes = 0;
  double seconds = 0.0;
};
const char* kindName(SoundFileState::Kind kind);  // "ok", "missing", ...

struct SlotReport {
  KorvaneSlot slot;
  bool relative;             // found against the simulator's working directory
  std::string resolvedPath;  // where this check looked for it
  SoundFileState sound;
};

struct CheckReport {
  std::string iniArgument;   // the INI path as given: the gauge's parameter string
  std::string simulatorFolder;
  KorvaneConfiguration configuration;
  std::vector<SlotReport> slots;
  std::vector<std::string> warnings;  // what makes the sound set fail the check
  std::vector<std::string> notes;     // worth knowing, not wrong
  std::string readError;              // a WAV that could not be read at all (first one)

  bool clean() const;
};

// Checks the INI file at `iniPath` (relative to the current directory) with
// WAV paths resolved against `simulatorFolder`. False with *error set when the
// INI file itself cannot be read.
bool checkIni(const std::string& iniPath, const std::string& simulatorFolder, CheckReport* report,
              std::string* error);

std::string formatCheckText(const CheckReport& report);
std::string formatCheckJson(const CheckReport& report);

}  // namespace gaugehost
