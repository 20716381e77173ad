#include "sound_player/update_cycle.h"

#include <cstdio>

#include "frame/panel_services.h"
#include "sound_player/slot_table.h"
#include "sound_player/sound_bank.h"

namespace {

enum : int32_t { kStop = 0, kPlayOnce = 1, kPlayLooping = 2 };

// Loads a slot on its first play request. The file is only tested for
// existence here: a slot whose file is missing stays unloaded and is tried
// again on the next request; once its file opens, it is loaded once for the
// life of the module, whatever the load returns.
bool loadOnFirstRequest(int index, SoundSlot& slot) {
  if (slot.loaded == 1) return true;
  std::FILE* file = std::fopen(slot.path, "r");
  if (file == nullptr) return false;
  std::fclose(file);
  slot.loaded = 1;
  SoundBank::loadSlot(static_cast<uint16_t>(index), slot.path);
  return true;
}

void updateSlot(int index, SoundSlot& slot) {
  const uint16_t bankIndex = static_cast<uint16_t>(index);
  slot.command = commandFromValue(getNamedVariable(slot.variableId));
  switch (slot.command) {
    case kStop:
      if (slot.loaded != 1) return;
      if (SoundBank::isPlaying(bankIndex)) SoundBank::stop(bankIndex, 1);
      slot.started = 0;
      return;
    case kPlayOnce:
      if (!loadOnFirstRequest(index, slot) || SoundBank::isPlaying(bankIndex)) return;
      if (slot.started == 1) {
        // The sound has run out (or its start failed): answer, don't replay.
        slot.started = 0;
        setNamedVariable(slot.variableId, 0.0);
      } else {
        SoundBank::play(bankIndex, 0);
        slot.started = 1;
      }
      return;
    case kPlayLooping:
      if (!loadOnFirstRequest(index, slot) || SoundBank::isPlaying(bankIndex)) return;
      SoundBank::play(bankIndex, 1);
      slot.started = 1;
      return;
    default:
      return;
  }
}

}  // namespace

int32_t commandFromValue(double value) {
  // Compared before the conversion: a value outside the range (and NaN,
  // which fails both comparisons) would make the cast undefined.
  if (!(value > -2147483649.0 && value < 2147483648.0)) return kNoCommand;
  return static_cast<int32_t>(value);
}

void updateSlots() {
  for (int index = 0; index < player.slotCount; ++index) updateSlot(index, player.slots[index]);
}

void applyStopAll() {
  const SoundSlot& stopSlot = player.slots[kStopSlot];
  if (!(getNamedVariable(stopSlot.variableId) > 0.0)) return;
  // The pass stops short of the last configured slot, as the player always
  // has: panels may rely on that slot's sound outliving a stop-all.
  for (int index = 0; index < player.slotCount - 1; ++index) {
    SoundSlot& slot = player.slots[index];
    const uint16_t bankIndex = static_cast<uint16_t>(index);
    if (slot.loaded != 1 || !SoundBank::isPlaying(bankIndex)) continue;
    SoundBank::stop(bankIndex, 1);
    slot.started = 0;
    setNamedVariable(slot.variableId, 0.0);
  }
  setNamedVariable(stopSlot.variableId, 0.0);
}

void shutdownPlayer() {
  for (int index = 0; index < player.slotCount; ++index) {
    if (player.slots[index].loaded != 1) continue;
    const uint16_t bankIndex = static_cast<uint16_t>(index);
    if (SoundBank::isPlaying(bankIndex)) SoundBank::stop(bankIndex, 0);
    SoundBank::releaseSlot(bankIndex);
  }
  // Buffers first, the device last.
  SoundBank::disconnect();
  releasePlayerStorage();
}
