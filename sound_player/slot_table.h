// The sound player's module state: the slot table and the strings read from
// its INI file. One set per loaded module, shared by every gauge instance.
#pragma once

#include <cstdint>

#include "frame/panel_abi.h"

constexpr int kMaxSoundSlots = 100;
constexpr int kStopSlot = 100;          // the stop-all variable's record
constexpr int kSlotTableSize = 101;
constexpr int kSlotTextSize = 130;      // path and variable name, NUL included
constexpr int kIniValueBufferSize = 128;  // a value read from the INI file keeps 127 characters
constexpr int kMaxSoundsBufferSize = 5;   // MaxSounds keeps 4 characters

struct SoundSlot {
  int32_t loaded;     // 1 once the slot's WAV file has been handed to the sound bank
  int32_t started;    // 1 from a play request until the sound is seen ended or stopped
  int32_t command;    // the command last read from the slot's variable
  char path[kSlotTextSize];
  char variableName[kSlotTextSize];
  uint32_t variableId;
};

typedef SoundSlot SlotTable[kSlotTableSize];

struct PlayerState {
  int32_t configured;  // set once loadConfiguration has started; never reset
  int32_t slotCount;   // sound slots in use, from MaxSounds
  // Heap storage taken when the module loads and freed at disconnect. All null
  // when the allocation at load failed or after disconnect: the player then
  // does nothing.
  SoundSlot* slots;
  char* iniPath;
  char* soundValue;    // values of section "Sounds"
  char* variableValue; // values of section "LVars" and of "LvarStop"
  char maxSoundsValue[kMaxSoundsBufferSize];
};

extern PlayerState player;

inline bool playerStorageAvailable() { return player.slots != nullptr; }

// Frees the slot table and the strings; later services find no storage.
void releasePlayerStorage();

// Fills the slot table from the INI file named by the gauge's parameter
// string and registers every slot variable with the host.
void loadConfiguration(const GaugeHeader* header);
