// One WAV sound held in one or more DirectSound static buffers, so that it can
// be started again while an earlier start still plays.
//
// The record and its buffer references are one LocalAlloc block: the fields
// below, then bufferCount buffer references. Every operation accepts an absent
// object and then does nothing, reporting 0.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

struct SoundObject {
  const BYTE* waveData;  // the samples, kept readable for refilling a lost buffer
  DWORD waveSize;
  LONG bufferCount;      // at least 1
  LONG current;          // the buffer a play tries first
  // The mapped file the samples lie in, for a sound found as a file; none for
  // a resource. Unmapped when the object goes.
  const void* waveView;

  IDirectSoundBuffer** buffers() {
    return reinterpret_cast<IDirectSoundBuffer**>(reinterpret_cast<BYTE*>(this) + sizeof(SoundObject));
  }

  static SoundObject* create(IDirectSound* device, LPCSTR name, LONG count, HMODULE module);
  static void destroy(SoundObject* sound);
  static IDirectSoundBuffer* pickBuffer(SoundObject* sound);
  static int play(SoundObject* sound, DWORD flags);
  static int playAtVolume(SoundObject* sound, DWORD flags, LONG volume);
  static int stopAll(SoundObject* sound);
  static void setVolume(SoundObject* sound, LONG volume);
  static int isPlaying(SoundObject* sound);
};
