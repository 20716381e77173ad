// Reading the INI file into the slot table, once per load of the module.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <windows.h>

#include "frame/panel_services.h"
#include "sound_player/slot_table.h"

namespace {

const char kDefaultIniPath[] = "./Gauges/korvane.ini";
const char kDefaultStopVariable[] = "vek_stop_sounds";

// A value from the player's INI file. With no usable INI path every value is
// its default, exactly as for a missing file.
void readIniValue(const char* section, const char* key, const char* defaultValue, char* buffer,
                  DWORD size) {
  if (player.iniPath[0] == '\0') {
    std::snprintf(buffer, size, "%s", defaultValue);
    return;
  }
  GetPrivateProfileStringA(section, key, defaultValue, buffer, size, player.iniPath);
}

// The INI path from the parameter string. A path longer than iniPath holds is
// not cut into a shorter one that could name another file: it is dropped, and
// the player runs on defaults as if its INI file were missing.
void chooseIniPath(const char* parameters) {
  if (parameters == nullptr || parameters[0] == '\0') parameters = kDefaultIniPath;
  if (std::strlen(parameters) >= static_cast<size_t>(kSlotTextSize)) {
    player.iniPath[0] = '\0';
    return;
  }
  std::strcpy(player.iniPath, parameters);
}

void configureSlot(int index) {
  SoundSlot& slot = player.slots[index];
  char digits[4];
  std::snprintf(digits, sizeof digits, "%02d", index);
  char key[16];

  std::snprintf(key, sizeof key, "Sound%s", digits);
  readIniValue("Sounds", key, "", player.soundValue, kIniValueBufferSize);
  if (player.soundValue[0] != '\0') {
    std::strcpy(slot.path, player.soundValue);
  } else {
    std::snprintf(slot.path, sizeof slot.path, "./Sound/vek/korv_%s.wav", digits);
  }

  std::snprintf(key, sizeof key, "Lvar%s", digits);
  readIniValue("LVars", key, "", player.variableValue, kIniValueBufferSize);
  if (player.variableValue[0] != '\0') {
    std::strcpy(slot.variableName, player.variableValue);
  } else {
    std::snprintf(slot.variableName, sizeof slot.variableName, "korv_id_%s", digits);
  }

  slot.variableId = registerNamedVariable(slot.variableName);
  slot.started = 0;
  slot.loaded = 0;
}

}  // namespace

void loadConfiguration(const GaugeHeader* header) {
  // Set first: a file that cannot be read is not tried again on later updates.
  player.configured = 1;
  chooseIniPath(header != nullptr ? header->parameters : nullptr);

  readIniValue("Config", "MaxSounds", "100", player.maxSoundsValue, kMaxSoundsBufferSize);
  int count = std::atoi(player.maxSoundsValue);
  if (count > kMaxSoundSlots) count = kMaxSoundSlots;
  player.slotCount = count;

  // Registered from the highest slot down: the host sees them in that order.
  for (int index = player.slotCount - 1; index >= 0; --index) configureSlot(index);

  SoundSlot& stopSlot = player.slots[kStopSlot];
  readIniValue("Config", "LvarStop", kDefaultStopVariable, player.variableValue, kIniValueBufferSize);
  std::strcpy(stopSlot.variableName,
              player.variableValue[0] != '\0' ? player.variableValue : kDefaultStopVariable);
  stopSlot.variableId = registerNamedVariable(stopSlot.variableName);
}
