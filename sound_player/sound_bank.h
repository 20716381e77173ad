// The sound player's DirectSound layer: one device for the module and, per
// sound slot, a static buffer holding the slot's whole WAV data together with
// the reader (and open file) it came from, so that a lost buffer can be
// filled again. Slot indexes run from 0 to 99; callers keep them there.
#pragma once

#include <cstdint>

#include <windows.h>

#include <dsound.h>

#include "sound_player/slot_table.h"
#include "sound_player/wave_file_reader.h"

struct SoundBankState {
  IDirectSound* device;                        // null until connected
  IDirectSoundBuffer* buffers[kMaxSoundSlots]; // one reference held on each
  WaveFileReader* readers[kMaxSoundSlots];     // owned
  DWORD bufferSizes[kMaxSoundSlots];           // bytes of each buffer made
};

namespace SoundBank {

// Module-level, all zero when the module loads.
extern SoundBankState bank;

// Restoring a lost buffer waits in steps of this long, at most this many times.
constexpr DWORD kRestoreWaitMilliseconds = 10;
constexpr int kRestorePasses = 10;

HRESULT connect();
HRESULT disconnect();

// createSlotBuffer then fillSlot.
HRESULT loadSlot(uint16_t index, const char* path);
HRESULT createSlotBuffer(uint16_t index, const char* path);
HRESULT fillSlot(uint16_t index);

// 1 while the slot's buffer reports itself playing; a slot without a buffer
// never plays.
int isPlaying(uint16_t index);
HRESULT play(uint16_t index, int32_t loop);
HRESULT stop(uint16_t index, int32_t rewind);
HRESULT restoreIfLost(uint16_t index);
HRESULT releaseSlot(uint16_t index);

}  // namespace SoundBank
