#include "sound_player/wave_file_reader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const FOURCC kRiffId = mmioFOURCC('R', 'I', 'F', 'F');
const FOURCC kWaveFormType = mmioFOURCC('W', 'A', 'V', 'E');
const FOURCC kFormatChunkId = mmioFOURCC('f', 'm', 't', ' ');
const FOURCC kDataChunkId = mmioFOURCC('d', 'a', 't', 'a');

// The "fmt " body: a fixed part, then (for formats other than PCM) a 16-bit
// count of the extra bytes that follow it.
const LONG kFixedFormatBytes = 16;
const LONG kExtraCountBytes = 2;
const DWORD kFormatBlockBytes = 18;  // the fixed part and the extra count

WORD littleEndian16(const BYTE* bytes) { return static_cast<WORD>(bytes[0] | (bytes[1] << 8)); }

DWORD littleEndian32(const BYTE* bytes) {
  return static_cast<DWORD>(bytes[0]) | (static_cast<DWORD>(bytes[1]) << 8) |
         (static_cast<DWORD>(bytes[2]) << 16) | (static_cast<DWORD>(bytes[3]) << 24);
}

// The block starts as WAVEFORMATEX does; the fields are taken from their named
// offsets in the file's bytes.
WAVEFORMATEX* newFormatBlock(const BYTE* fixed, WORD extraCount) {
  void* memory = std::malloc(kFormatBlockBytes + extraCount);
  if (memory == nullptr) return nullptr;
  WAVEFORMATEX* format = static_cast<WAVEFORMATEX*>(memory);
  format->wFormatTag = littleEndian16(fixed + 0);
  format->nChannels = littleEndian16(fixed + 2);
  format->nSamplesPerSec = littleEndian32(fixed + 4);
  format->nAvgBytesPerSec = littleEndian32(fixed + 8);
  format->nBlockAlign = littleEndian16(fixed + 12);
  format->wBitsPerSample = littleEndian16(fixed + 14);
  format->cbSize = extraCount;
  return format;
}

}  // namespace

HRESULT readWaveFormat(HMMIO file, MMCKINFO* riffChunk, WAVEFORMATEX** format) {
  *format = nullptr;
  if (mmioDescend(file, riffChunk, nullptr, 0) != 0) return E_FAIL;
  if (riffChunk->ckid != kRiffId || riffChunk->fccType != kWaveFormType) return E_FAIL;

  MMCKINFO formatChunk = {};
  formatChunk.ckid = kFormatChunkId;
  if (mmioDescend(file, &formatChunk, riffChunk, MMIO_FINDCHUNK) != 0) return E_FAIL;
  if (formatChunk.cksize < static_cast<DWORD>(kFixedFormatBytes)) return E_FAIL;

  BYTE fixed[kFixedFormatBytes];
  if (mmioRead(file, reinterpret_cast<HPSTR>(fixed), kFixedFormatBytes) != kFixedFormatBytes) {
    return E_FAIL;
  }

  // PCM has no extra bytes, whatever its chunk holds after the fixed part.
  // Any other format has its extra count only when the chunk has room for it
  // (a 16-byte chunk has none), and the extra bytes must lie inside the chunk:
  // nothing of the next chunk is taken for them.
  WORD extraCount = 0;
  const bool pcm = littleEndian16(fixed) == WAVE_FORMAT_PCM;
  if (!pcm && formatChunk.cksize >= kFormatBlockBytes) {
    BYTE countBytes[kExtraCountBytes];
    if (mmioRead(file, reinterpret_cast<HPSTR>(countBytes), kExtraCountBytes) != kExtraCountBytes) {
      return E_FAIL;
    }
    extraCount = littleEndian16(countBytes);
    if (kFormatBlockBytes + extraCount > formatChunk.cksize) return E_FAIL;
  }

  WAVEFORMATEX* block = newFormatBlock(fixed, extraCount);
  if (block == nullptr) return E_FAIL;
  if (extraCount != 0) {
    HPSTR extra = reinterpret_cast<HPSTR>(block) + kFormatBlockBytes;
    if (mmioRead(file, extra, extraCount) != extraCount) {
      std::free(block);
      return E_FAIL;
    }
  }
  if (mmioAscend(file, &formatChunk, 0) != 0) {
    std::free(block);
    return E_FAIL;
  }
  *format = block;
  return S_OK;
}

HRESULT openWaveFile(const char* path, HMMIO* file, WAVEFORMATEX** format, MMCKINFO* riffChunk) {
  // mmioOpenA writes into the name only when asked to parse it (MMIO_PARSE),
  // which this call does not do.
  HMMIO handle = mmioOpenA(const_cast<LPSTR>(path), nullptr, MMIO_ALLOCBUF | MMIO_READ);
  if (handle == nullptr) return E_FAIL;
  const HRESULT result = readWaveFormat(handle, riffChunk, format);
  if (FAILED(result)) {
    mmioClose(handle, 0);
    return result;
  }
  *file = handle;
  return S_OK;
}

HRESULT seekToData(HMMIO file, MMCKINFO* dataChunk, const MMCKINFO* riffChunk) {
  // The search starts at the first chunk of the form (after its form type),
  // so a "data" chunk placed before "fmt " is found too.
  const LONG formContents = static_cast<LONG>(riffChunk->dwDataOffset + 4);
  if (mmioSeek(file, formContents, SEEK_SET) == -1) return E_FAIL;
  dataChunk->ckid = kDataChunkId;
  if (mmioDescend(file, dataChunk, riffChunk, MMIO_FINDCHUNK) != 0) return E_FAIL;
  return S_OK;
}

HRESULT readWaveData(HMMIO file, DWORD count, BYTE* destination, MMCKINFO* dataChunk,
                     DWORD* bytesRead) {
  *bytesRead = 0;
  MMIOINFO info;
  if (mmioGetInfo(file, &info, 0) != 0) return E_FAIL;

  const DWORD total = count < dataChunk->cksize ? count : dataChunk->cksize;
  dataChunk->cksize -= total;

  // Whole spans of the I/O buffer are copied at once; mmioAdvance refills the
  // buffer whenever it runs empty.
  DWORD copied = 0;
  while (copied < total) {
    if (info.pchNext == info.pchEndRead) {
      // The buffer state goes back to the file even when the read gives up,
      // so that a later rewind starts from what the file really did.
      if (mmioAdvance(file, &info, MMIO_READ) != 0 || info.pchNext == info.pchEndRead) {
        mmioSetInfo(file, &info, 0);
        return E_FAIL;
      }
    }
    const DWORD available = static_cast<DWORD>(info.pchEndRead - info.pchNext);
    const DWORD span = available < total - copied ? available : total - copied;
    std::memcpy(destination + copied, info.pchNext, span);
    info.pchNext += span;
    copied += span;
  }

  if (mmioSetInfo(file, &info, 0) != 0) return E_FAIL;
  *bytesRead = total;
  return S_OK;
}

WaveFileReader::WaveFileReader() : format(nullptr), file(nullptr), dataChunk(), riffChunk() {}

WaveFileReader::~WaveFileReader() {
  close();
  std::free(format);
  format = nullptr;
}

HRESULT WaveFileReader::open(const char* path) {
  // A reader opened again lets go of the file and format it held.
  close();
  std::free(format);
  format = nullptr;
  const HRESULT opened = openWaveFile(path, &file, &format, &riffChunk);
  if (FAILED(opened)) return opened;

  // A data chunk that claims more than the file holds would size a sound
  // buffer and a read by a number the file cannot back: it is refused here,
  // before anything is made for it.
  const LONG fileEnd = mmioSeek(file, 0, SEEK_END);
  if (fileEnd == -1) return E_FAIL;
  const HRESULT positioned = rewind();
  if (FAILED(positioned)) return positioned;
  if (uint64_t{dataChunk.dwDataOffset} + dataChunk.cksize > static_cast<uint64_t>(fileEnd)) return E_FAIL;
  return S_OK;
}

HRESULT WaveFileReader::rewind() {
  if (file == nullptr) return E_FAIL;
  return seekToData(file, &dataChunk, &riffChunk);
}

HRESULT WaveFileReader::read(DWORD count, BYTE* destination, DWORD* bytesRead) {
  if (file == nullptr) {
    *bytesRead = 0;
    return E_FAIL;
  }
  return readWaveData(file, count, destination, &dataChunk, bytesRead);
}

HRESULT WaveFileReader::close() {
  if (file != nullptr) mmioClose(file, 0);
  file = nullptr;
  return S_OK;
}
