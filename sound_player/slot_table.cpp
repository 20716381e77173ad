#include "sound_player/slot_table.h"

#include <cstdlib>
#include <cstring>

namespace {

PlayerState allocatePlayerStorage() {
  PlayerState state = {};
  state.slotCount = kMaxSoundSlots;
  state.slots = static_cast<SoundSlot*>(std::malloc(sizeof(SlotTable)));
  state.iniPath = static_cast<char*>(std::malloc(kSlotTextSize));
  state.soundValue = static_cast<char*>(std::malloc(kSlotTextSize));
  state.variableValue = static_cast<char*>(std::malloc(kSlotTextSize));
  if (state.slots == nullptr || state.iniPath == nullptr || state.soundValue == nullptr ||
      state.variableValue == nullptr) {
    // All or nothing: a module without its storage does nothing at all.
    std::free(state.slots);
    std::free(state.iniPath);
    std::free(state.soundValue);
    std::free(state.variableValue);
    state.slots = nullptr;
    state.iniPath = state.soundValue = state.variableValue = nullptr;
    return state;
  }
  // Cleared so that a disconnect before the first update finds no slot loaded.
  std::memset(state.slots, 0, sizeof(SlotTable));
  std::memset(state.iniPath, 0, kSlotTextSize);
  return state;
}

}  // namespace

// Taken when the module loads, before the host's first call.
PlayerState player = allocatePlayerStorage();

void releasePlayerStorage() {
  std::free(player.slots);
  std::free(player.iniPath);
  std::free(player.soundValue);
  std::free(player.variableValue);
  player.slots = nullptr;
  player.iniPath = player.soundValue = player.variableValue = nullptr;
}
