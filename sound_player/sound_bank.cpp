#include "sound_player/sound_bank.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// DirectSound checks the description's size against the documented 36 bytes
// of its 32-bit layout (this build's pointers may be wider).
const DWORD kBufferDescriptionBytes = 36;
static_assert(sizeof(void*) != 4 || sizeof(DSBUFFERDESC) == kBufferDescriptionBytes,
              "DSBUFFERDESC is 36 bytes on the product");

const char kHostWindowClass[] = "FS98MAIN";

}  // namespace

namespace SoundBank {

SoundBankState bank;

HRESULT connect() {
  // A repeated connect keeps the device it has: the slots' buffers were made
  // by it, and a second device would only be lost. It sets the cooperative
  // level again, so that a connect that came before the host's window existed
  // is made good by the next one.
  if (bank.device == nullptr) {
    IDirectSound* device = nullptr;
    const HRESULT created = DirectSoundCreate(nullptr, &device, nullptr);
    if (FAILED(created)) return created;
    bank.device = device;
  }
  HWND window = FindWindowA(kHostWindowClass, nullptr);
  if (window == nullptr) return E_FAIL;
  const HRESULT level = bank.device->SetCooperativeLevel(window, DSSCL_NORMAL);
  return FAILED(level) ? level : S_OK;
}

HRESULT disconnect() {
  if (bank.device != nullptr) bank.device->Release();
  bank.device = nullptr;
  return S_OK;
}

HRESULT loadSlot(uint16_t index, const char* path) {
  const HRESULT created = createSlotBuffer(index, path);
  if (FAILED(created)) return created;
  return fillSlot(index);
}

HRESULT createSlotBuffer(uint16_t index, const char* path) {
  releaseSlot(index);
  // Without a device nothing is made: no reader, no open file.
  if (bank.device == nullptr) return E_FAIL;

  void* memory = std::malloc(sizeof(WaveFileReader));
  if (memory == nullptr) return E_OUTOFMEMORY;
  WaveFileReader* reader = new (memory) WaveFileReader();
  bank.readers[index] = reader;
  if (FAILED(reader->open(path))) return E_FAIL;

  DSBUFFERDESC description;
  std::memset(&description, 0, sizeof description);
  description.dwSize = kBufferDescriptionBytes;
  description.dwFlags = DSBCAPS_STATIC;
  description.dwBufferBytes = reader->dataChunk.cksize;
  description.lpwfxFormat = reader->format;
  IDirectSoundBuffer* buffer = nullptr;
  const HRESULT result = bank.device->CreateSoundBuffer(&description, &buffer, nullptr);
  if (FAILED(result)) return result;
  bank.buffers[index] = buffer;
  bank.bufferSizes[index] = description.dwBufferBytes;
  return S_OK;
}

HRESULT fillSlot(uint16_t index) {
  WaveFileReader* reader = bank.readers[index];
  IDirectSoundBuffer* buffer = bank.buffers[index];
  if (reader == nullptr || buffer == nullptr) return E_FAIL;
  const DWORD size = bank.bufferSizes[index];

  // A fill always writes the sound from its beginning: a reader that an
  // earlier failed read or rewind left inside its data goes back first.
  if (reader->dataChunk.cksize != size) {
    const HRESULT rewound = reader->rewind();
    if (FAILED(rewound)) return rewound;
  }

  // The data is read whole before the buffer is locked, so a read that fails
  // leaves the buffer as it was.
  const DWORD wanted = reader->dataChunk.cksize;
  BYTE* block = static_cast<BYTE*>(std::malloc(wanted != 0 ? wanted : 1));
  if (block == nullptr) return E_OUTOFMEMORY;
  DWORD got = 0;
  const HRESULT read = reader->read(wanted, block, &got);
  if (FAILED(read)) {
    std::free(block);
    return read;
  }
  // Ready for the next fill; a failure here is made good by that fill.
  reader->rewind();

  void* region1 = nullptr;
  void* region2 = nullptr;
  DWORD region1Bytes = 0;
  DWORD region2Bytes = 0;
  const HRESULT locked = buffer->Lock(0, size, &region1, &region1Bytes, &region2, &region2Bytes, 0);
  if (FAILED(locked)) {
    std::free(block);
    return locked;
  }
  // DirectSound may hand the span out as two regions: the bytes go into them
  // in order, never past either and never more than were read.
  const DWORD first = got < region1Bytes ? got : region1Bytes;
  std::memcpy(region1, block, first);
  const DWORD rest = got - first;
  const DWORD second = rest < region2Bytes ? rest : region2Bytes;
  if (region2 != nullptr && second != 0) std::memcpy(region2, block + first, second);
  buffer->Unlock(region1, region1Bytes, region2, region2Bytes);
  std::free(block);
  return S_OK;
}

int isPlaying(uint16_t index) {
  IDirectSoundBuffer* buffer = bank.buffers[index];
  if (buffer == nullptr) return 0;
  DWORD status = 0;
  buffer->GetStatus(&status);
  return (status & DSBSTATUS_PLAYING) != 0 ? 1 : 0;
}

HRESULT play(uint16_t index, int32_t loop) {
  IDirectSoundBuffer* buffer = bank.buffers[index];
  if (buffer == nullptr) return E_FAIL;
  const HRESULT restored = restoreIfLost(index);
  if (FAILED(restored)) return restored;
  const HRESULT played = buffer->Play(0, 0, loop != 0 ? DSBPLAY_LOOPING : 0);
  return FAILED(played) ? played : S_OK;
}

HRESULT stop(uint16_t index, int32_t rewind) {
  IDirectSoundBuffer* buffer = bank.buffers[index];
  if (buffer == nullptr) return E_FAIL;
  HRESULT result = buffer->Stop();
  if (rewind != 0) result = buffer->SetCurrentPosition(0);
  return result;
}

HRESULT restoreIfLost(uint16_t index) {
  IDirectSoundBuffer* buffer = bank.buffers[index];
  if (buffer == nullptr) return E_FAIL;
  DWORD status = 0;
  const HRESULT queried = buffer->GetStatus(&status);
  if (FAILED(queried)) return queried;
  if ((status & DSBSTATUS_BUFFERLOST) == 0) return S_OK;

  // Bounded: the host's thread waits here, and a buffer that stays lost (the
  // host may only get its sound back once this call has returned) is tried
  // again on the next play.
  HRESULT result = E_FAIL;
  for (int pass = 0; pass < kRestorePasses && result != S_OK; ++pass) {
    if (buffer->Restore() == DSERR_BUFFERLOST) Sleep(kRestoreWaitMilliseconds);
    result = buffer->Restore();
  }
  if (result != S_OK) return FAILED(result) ? result : E_FAIL;

  // A restored buffer has lost its contents.
  const HRESULT filled = fillSlot(index);
  return FAILED(filled) ? filled : S_OK;
}

HRESULT releaseSlot(uint16_t index) {
  WaveFileReader* reader = bank.readers[index];
  if (reader != nullptr) {
    reader->~WaveFileReader();
    std::free(reader);
    bank.readers[index] = nullptr;
  }
  if (bank.buffers[index] != nullptr) bank.buffers[index]->Release();
  bank.buffers[index] = nullptr;
  return S_OK;
}

}  // namespace SoundBank
