#include "trim_gauge/sound_object.h"

#include <new>

#include "trim_gauge/wave_image.h"

namespace {

// The most buffer references a record's size can count without wrapping.
constexpr SIZE_T kMostBuffers = (~static_cast<SIZE_T>(0) - sizeof(SoundObject)) / sizeof(IDirectSoundBuffer*);

DWORD statusOf(IDirectSoundBuffer* buffer) {
  DWORD status = 0;
  if (FAILED(buffer->GetStatus(&status))) return 0;
  return status;
}

}  // namespace

SoundObject* SoundObject::create(IDirectSound* device, LPCSTR name, LONG count, HMODULE module) {
  waveModule = module;
  const WAVEFORMATEX* format = nullptr;
  const BYTE* data = nullptr;
  DWORD size = 0;
  const void* view = nullptr;
  // A sound found as a file keeps its view for the object's life: a lost
  // buffer is refilled from it, and the samples must still be there then.
  if (!findWaveResource(module, name, &format, &data, &size) &&
      !mapWaveFile(name, &format, &data, &size, &view)) {
    MessageBoxA(nullptr, "DirectSound Object Not Found", "DEBUG", MB_OK | MB_ICONWARNING);
    return nullptr;
  }
  if (count < 1) count = 1;

  void* block = static_cast<SIZE_T>(count) <= kMostBuffers
                    ? LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT,
                                 sizeof(SoundObject) + static_cast<SIZE_T>(count) * sizeof(IDirectSoundBuffer*))
                    : nullptr;
  if (block == nullptr) {
    if (view != nullptr) UnmapViewOfFile(view);
    return nullptr;
  }
  SoundObject* sound = new (block) SoundObject();
  sound->waveData = data;
  sound->waveSize = size;
  sound->bufferCount = count;
  sound->current = 0;
  sound->waveView = view;

  IDirectSoundBuffer** buffers = sound->buffers();
  buffers[0] = createWaveBuffer(device, name);
  if (buffers[0] == nullptr) {
    destroy(sound);
    return nullptr;
  }
  for (LONG i = 1; i < count; ++i) {
    IDirectSoundBuffer* copy = nullptr;
    if (FAILED(device->DuplicateSoundBuffer(buffers[0], &copy)) || copy == nullptr) {
      copy = createWaveBuffer(device, name);
    }
    if (copy == nullptr) {
      // Everything made so far goes with the record.
      destroy(sound);
      return nullptr;
    }
    buffers[i] = copy;
  }
  return sound;
}

void SoundObject::destroy(SoundObject* sound) {
  if (sound == nullptr) return;
  IDirectSoundBuffer** buffers = sound->buffers();
  for (LONG i = 0; i < sound->bufferCount; ++i) {
    if (buffers[i] != nullptr) {
      buffers[i]->Release();
      buffers[i] = nullptr;
    }
  }
  if (sound->waveView != nullptr) UnmapViewOfFile(sound->waveView);
  sound->~SoundObject();
  LocalFree(sound);
}

IDirectSoundBuffer* SoundObject::pickBuffer(SoundObject* sound) {
  if (sound == nullptr) return nullptr;
  IDirectSoundBuffer** buffers = sound->buffers();
  IDirectSoundBuffer* buffer = buffers[sound->current];
  if (buffer == nullptr) return nullptr;
  DWORD status = statusOf(buffer);
  if ((status & DSBSTATUS_PLAYING) != 0) {
    if (sound->bufferCount <= 1) return nullptr;
    sound->current = sound->current + 1 < sound->bufferCount ? sound->current + 1 : 0;
    buffer = buffers[sound->current];
    if (buffer == nullptr) return nullptr;
    // A buffer whose status cannot be read is taken as it is.
    status = statusOf(buffer);
    if ((status & DSBSTATUS_PLAYING) != 0) {
      buffer->Stop();
      buffer->SetCurrentPosition(0);
    }
  }
  if ((status & DSBSTATUS_BUFFERLOST) != 0) {
    if (FAILED(buffer->Restore())) return nullptr;
    if (!fillWaveBuffer(buffer, sound->waveData, sound->waveSize)) return nullptr;
  }
  return buffer;
}

int SoundObject::play(SoundObject* sound, DWORD flags) {
  if (sound == nullptr) return 0;
  // Only a one-buffer object loops: a looping buffer would never free up.
  if ((flags & DSBPLAY_LOOPING) != 0 && sound->bufferCount != 1) return 0;
  IDirectSoundBuffer* buffer = pickBuffer(sound);
  if (buffer == nullptr) return 0;
  return SUCCEEDED(buffer->Play(0, 0, flags)) ? 1 : 0;
}

int SoundObject::playAtVolume(SoundObject* sound, DWORD flags, LONG volume) {
  setVolume(sound, volume);
  return play(sound, flags);
}

int SoundObject::stopAll(SoundObject* sound) {
  if (sound == nullptr) return 0;
  IDirectSoundBuffer** buffers = sound->buffers();
  for (LONG i = 0; i < sound->bufferCount; ++i) {
    buffers[i]->Stop();
    buffers[i]->SetCurrentPosition(0);
  }
  return 1;
}

void SoundObject::setVolume(SoundObject* sound, LONG volume) {
  if (sound == nullptr) return;
  if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return;
  sound->buffers()[0]->SetVolume(volume);
}

int SoundObject::isPlaying(SoundObject* sound) {
  if (sound == nullptr) return 0;
  return (statusOf(sound->buffers()[0]) & DSBSTATUS_PLAYING) != 0 ? 1 : 0;
}
