// korvane3's configuration as the gauge itself reads it: its own
// loadConfiguration, linked in from the gauge's code, run against a service
// table of ours that only records the registrations. There is one reader of
// the INI rules, the gauge's; this tool only looks at what it produced.
#pragma once

#include <string>
#include <vector>

namespace gaugehost {

struct KorvaneSlot {
  int index;
  std::string variable;
  std::string path;  // as the gauge will open it: the INI's text or the default
};

struct KorvaneConfiguration {
  std::string iniPath;         // the path the gauge reads; empty: none usable (defaults)
  std::string maxSoundsValue;  // the characters of MaxSounds the gauge kept
  int slotCount = 0;
  std::vector<KorvaneSlot> slots;
  std::string stopVariable;
  std::vector<std::string> registrations;  // in the order the host receives them
};

// As korvane3 reads it on its first update, for a gauge whose parameter string
// is `parameters` (null: the host gave none). Relative paths are the gauge's:
// against the current directory.
KorvaneConfiguration readKorvaneConfiguration(const char* parameters);

}  // namespace gaugehost
