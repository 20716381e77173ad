#include "trim_gauge/wave_image.h"

#include <cstring>

HMODULE waveModule = nullptr;

namespace {

constexpr DWORD kRiffId = 0x46464952;    // "RIFF"
constexpr DWORD kWaveId = 0x45564157;    // "WAVE"
constexpr DWORD kFormatId = 0x20746D66;  // "fmt "
constexpr DWORD kDataId = 0x61746164;    // "data"

constexpr DWORD kRiffHeaderBytes = 12;   // id, RIFF size, form type
constexpr DWORD kRiffSizeCountsFrom = 8;
constexpr DWORD kChunkHeaderBytes = 8;   // id, body size
// Shorter than this a format body lacks the fields DirectSound needs.
constexpr DWORD kMinimumFormatBytes = 14;

// The product's DSBUFFERDESC is 36 bytes; the size field must say so even
// where a build's own declaration of the record is larger.
constexpr DWORD kBufferDescriptionBytes = 36;
constexpr DWORD kTrimBufferFlags =
    DSBCAPS_STATIC | DSBCAPS_LOCSOFTWARE | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;

DWORD readLittleEndian32(const BYTE* bytes) {
  return static_cast<DWORD>(bytes[0]) | (static_cast<DWORD>(bytes[1]) << 8) |
         (static_cast<DWORD>(bytes[2]) << 16) | (static_cast<DWORD>(bytes[3]) << 24);
}

IDirectSoundBuffer* makeFilledBuffer(IDirectSound* device, const WAVEFORMATEX* format,
                                     const BYTE* data, DWORD size) {
  // DirectSound reads a whole WAVEFORMATEX, but a "fmt " body may be shorter
  // and may be the last thing in the image: such a body is handed over
  // padded with zeroes instead of in place. The walk leaves the body's size
  // in the chunk header right before it.
  WAVEFORMATEX padded;
  const DWORD formatBytes = readLittleEndian32(reinterpret_cast<const BYTE*>(format) - 4);
  if (formatBytes < sizeof padded) {
    std::memset(&padded, 0, sizeof padded);
    std::memcpy(&padded, format, formatBytes);
    format = &padded;
  }
  DSBUFFERDESC description;
  std::memset(&description, 0, sizeof description);
  description.dwSize = kBufferDescriptionBytes;
  description.dwFlags = kTrimBufferFlags;
  description.dwBufferBytes = size;
  // DirectSound only reads the format; the record's field is not const.
  description.lpwfxFormat = const_cast<WAVEFORMATEX*>(format);
  IDirectSoundBuffer* buffer = nullptr;
  if (FAILED(device->CreateSoundBuffer(&description, &buffer, nullptr)) || buffer == nullptr) {
    return nullptr;
  }
  if (!fillWaveBuffer(buffer, data, size)) {
    buffer->Release();
    return nullptr;
  }
  return buffer;
}

}  // namespace

int parseWaveImage(const BYTE* image, DWORD imageBytes, const WAVEFORMATEX** format,
                   const BYTE** data, DWORD* size) {
  if (format != nullptr) *format = nullptr;
  if (data != nullptr) *data = nullptr;
  if (size != nullptr) *size = 0;
  if (image == nullptr || imageBytes < kRiffHeaderBytes) return 0;
  if (readLittleEndian32(image) != kRiffId || readLittleEndian32(image + 8) != kWaveId) return 0;

  // The walk ends where the RIFF size says, or where the image really ends if
  // that comes first. Every position below is an offset into the image and
  // every test compares against the bytes that remain, so no size in the
  // image can make an offset wrap or point past the end.
  const DWORD riffSize = readLittleEndian32(image + 4);
  const DWORD walkEnd =
      riffSize < imageBytes - kRiffSizeCountsFrom ? kRiffSizeCountsFrom + riffSize : imageBytes;
  DWORD cursor = kRiffHeaderBytes;
  if (cursor >= walkEnd) return 0;
  do {
    if (imageBytes - cursor < kChunkHeaderBytes) return 0;  // a header cut off
    const DWORD chunkId = readLittleEndian32(image + cursor);
    const DWORD bodyBytes = readLittleEndian32(image + cursor + 4);
    const DWORD body = cursor + kChunkHeaderBytes;
    const DWORD remaining = imageBytes - body;

    if (chunkId == kFormatId && format != nullptr && *format == nullptr) {
      // A format too short to use, or cut off, fails the whole walk.
      if (bodyBytes < kMinimumFormatBytes || bodyBytes > remaining) return 0;
      *format = reinterpret_cast<const WAVEFORMATEX*>(image + body);
      if ((data == nullptr || *data != nullptr) && (size == nullptr || *size != 0)) return 1;
    } else if (chunkId == kDataId &&
               ((data != nullptr && *data == nullptr) || (size != nullptr && *size == 0))) {
      if (bodyBytes > remaining) return 0;  // samples cut off
      if (data != nullptr) *data = image + body;
      // A size of 0 stays "not found", so a later "data" chunk takes its place.
      if (size != nullptr) *size = bodyBytes;
      if (format == nullptr || *format != nullptr) return 1;
    }

    // Behind the body and its pad byte; a body that reaches the end leaves
    // nothing further to walk.
    if (bodyBytes >= remaining) return 0;
    cursor = body + bodyBytes + (bodyBytes & 1);
  } while (cursor < walkEnd);
  return 0;
}

int findWaveResource(HMODULE module, LPCSTR name, const WAVEFORMATEX** format, const BYTE** data,
                     DWORD* size) {
  HRSRC resource = FindResourceA(module, name, "WAVE");
  if (resource == nullptr) return 0;
  HGLOBAL loaded = LoadResource(module, resource);
  if (loaded == nullptr) return 0;
  const BYTE* image = static_cast<const BYTE*>(LockResource(loaded));
  if (image == nullptr) return 0;
  return parseWaveImage(image, SizeofResource(module, resource), format, data, size);
}

int mapWaveFile(LPCSTR name, const WAVEFORMATEX** format, const BYTE** data, DWORD* size,
                const void** view) {
  *view = nullptr;
  HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD fileBytesHigh = 0;
  const DWORD fileBytes = GetFileSize(file, &fileBytesHigh);
  // A file of 4 GB or more could not be mapped whole in a 32-bit process.
  if (fileBytes == INVALID_FILE_SIZE || fileBytesHigh != 0) {
    CloseHandle(file);
    return 0;
  }
  // The mapping covers exactly the bytes measured: a read-only mapping cannot
  // be larger than its file, so a file cut short meanwhile fails here instead
  // of leaving the walk a length that the view does not have.
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, fileBytes, nullptr);
  CloseHandle(file);
  if (mapping == nullptr) return 0;
  const void* image = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  CloseHandle(mapping);
  if (image == nullptr) return 0;
  if (!parseWaveImage(static_cast<const BYTE*>(image), fileBytes, format, data, size)) {
    UnmapViewOfFile(image);
    return 0;
  }
  *view = image;
  return 1;
}

IDirectSoundBuffer* createWaveBuffer(IDirectSound* device, LPCSTR name) {
  if (device == nullptr) return nullptr;
  const WAVEFORMATEX* format = nullptr;
  const BYTE* data = nullptr;
  DWORD size = 0;
  if (findWaveResource(waveModule, name, &format, &data, &size)) {
    return makeFilledBuffer(device, format, data, size);
  }
  const void* view = nullptr;
  if (!mapWaveFile(name, &format, &data, &size, &view)) return nullptr;
  // The buffer holds its own copy of the samples; the view has served.
  IDirectSoundBuffer* buffer = makeFilledBuffer(device, format, data, size);
  UnmapViewOfFile(view);
  return buffer;
}

int fillWaveBuffer(IDirectSoundBuffer* buffer, const BYTE* data, DWORD size) {
  if (buffer == nullptr || data == nullptr || size == 0) return 0;
  void* first = nullptr;
  DWORD firstBytes = 0;
  void* second = nullptr;
  DWORD secondBytes = 0;
  if (FAILED(buffer->Lock(0, size, &first, &firstBytes, &second, &secondBytes, 0))) return 0;
  // A span that wraps comes back as two regions, filled in order. The copies
  // never take more than the samples hold, whatever the lock reports.
  const DWORD firstCopy = firstBytes < size ? firstBytes : size;
  if (firstCopy != 0) std::memcpy(first, data, firstCopy);
  const DWORD left = size - firstCopy;
  const DWORD secondCopy = secondBytes < left ? secondBytes : left;
  if (secondCopy != 0) std::memcpy(second, data + firstCopy, secondCopy);
  buffer->Unlock(first, firstBytes, second, secondBytes);
  return 1;
}
