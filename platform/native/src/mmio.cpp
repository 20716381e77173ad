// Windows multimedia file I/O (the mmio family) for the native build: read-only
// files with an optional I/O buffer, RIFF chunk navigation, and the direct
// buffer access that mmioGetInfo, mmioAdvance and mmioSetInfo give.
//
// The I/O buffer is 64 KiB unless the caller asks for a size (Windows takes
// 8 KiB): a system call costs far more here than a copy, so refills and large
// reads go to the file in big blocks, and a read at least as long as the buffer
// goes straight into the caller's memory.
//
// The file position is always lBufOffset + (pchNext - pchBuffer): the buffer
// holds the file's bytes from lBufOffset up to pchEndRead, and a seek inside
// them only moves pchNext. Choices where Windows leaves room:
// - A failed mmioDescend leaves the file where it was.
// - The buffer handed out by mmioGetInfo must come back unchanged, with pchNext
//   between pchBuffer and pchEndRead; anything else is refused as invalid.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include <mmsystem.h>

#include "world.h"

namespace platform {
namespace {

// winmm's general error numbers, beside the MMIOERR_ ones.
constexpr MMRESULT kInvalidHandle = 5;     // MMSYSERR_INVALHANDLE
constexpr MMRESULT kInvalidFlag = 10;      // MMSYSERR_INVALFLAG
constexpr MMRESULT kInvalidParameter = 11; // MMSYSERR_INVALPARAM

constexpr DWORD kMmioWrite = 0x0001;
constexpr DWORD kShareModeFlags = 0x0070;  // MMIO_SHARE_*: nobody else writes here
constexpr LONG kDefaultBufferBytes = 64 * 1024;
constexpr FOURCC kDosIoProcedure = mmioFOURCC('D', 'O', 'S', ' ');

struct MmioFile {
  int descriptor = -1;
  DWORD openFlags = 0;
  char* buffer = nullptr;  // null: unbuffered
  LONG bufferBytes = 0;
  bool ownsBuffer = false;
  // The buffer holds the file's bytes [bufferOffset, bufferOffset + validBytes);
  // the position is bufferOffset + next.
  LONG bufferOffset = 0;
  LONG validBytes = 0;
  LONG next = 0;
  LONG diskOffset = 0;  // where the last transfer with the file ended

  LONG position() const { return bufferOffset + next; }
};

std::set<const MmioFile*>& liveFiles() {
  static std::set<const MmioFile*> files;
  return files;
}

MmioFile* liveFile(HMMIO handle) {
  auto* file = reinterpret_cast<MmioFile*>(handle);
  return liveFiles().count(file) != 0 ? file : nullptr;
}

// Reads up to `count` bytes at `offset`; fewer only at the end of the file.
// -1 on an I/O error.
long readFully(int descriptor, char* into, long count, LONG offset) {
  long total = 0;
  while (total < count) {
    const ssize_t got = pread(descriptor, into + total, static_cast<size_t>(count - total), offset + total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    total += got;
  }
  return total;
}

// Forgets the buffered bytes: the buffer now starts, empty, at `position`.
void emptyBufferAt(MmioFile& file, LONG position) {
  file.bufferOffset = position;
  file.validBytes = 0;
  file.next = 0;
}

// Fills the buffer from the current position. The bytes read, 0 at the end of
// the file, -1 on an error (the file is then left as it was).
long refill(MmioFile& file) {
  const LONG position = file.position();
  const long got = readFully(file.descriptor, file.buffer, file.bufferBytes, position);
  if (got < 0) return -1;
  file.bufferOffset = position;
  file.validBytes = static_cast<LONG>(got);
  file.next = 0;
  file.diskOffset = position + static_cast<LONG>(got);
  return got;
}

// The common read behind mmioRead and the chunk headers of mmioDescend.
LONG readInto(MmioFile& file, char* into, LONG count) {
  LONG total = 0;
  while (total < count) {
    const LONG buffered = file.validBytes - file.next;
    if (file.buffer != nullptr && buffered > 0) {
      const LONG span = buffered < count - total ? buffered : count - total;
      std::memcpy(into + total, file.buffer + file.next, static_cast<size_t>(span));
      file.next += span;
      total += span;
      continue;
    }
    const LONG wanted = count - total;
    if (file.buffer == nullptr || wanted >= file.bufferBytes) {
      // Too long for the buffer to help: straight into the caller's memory.
      const LONG position = file.position();
      const long got = readFully(file.descriptor, into + total, wanted, position);
      if (got < 0) return -1;
      emptyBufferAt(file, position + static_cast<LONG>(got));
      file.diskOffset = file.position();
      total += static_cast<LONG>(got);
      break;
    }
    const long got = refill(file);
    if (got < 0) return -1;
    if (got == 0) break;
  }
  return total;
}

bool seekTo(MmioFile& file, long long position) {
  if (position < 0 || position > LONG_MAX) return false;
  const LONG target = static_cast<LONG>(position);
  // Inside the buffered bytes only the buffer pointer moves.
  if (file.buffer != nullptr && target >= file.bufferOffset && target <= file.bufferOffset + file.validBytes) {
    file.next = target - file.bufferOffset;
  } else {
    emptyBufferAt(file, target);
  }
  return true;
}

uint32_t littleEndian32(const unsigned char* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}

void describeBuffer(const MmioFile& file, MMIOINFO* info) {
  info->cchBuffer = file.bufferBytes;
  info->pchBuffer = file.buffer;
  info->pchNext = file.buffer + file.next;
  info->pchEndRead = file.buffer + file.validBytes;
  info->pchEndWrite = file.buffer + file.bufferBytes;
  info->lBufOffset = file.bufferOffset;
  info->lDiskOffset = file.diskOffset;
}

// A buffer record handed back must be the one handed out, its pchNext within
// the bytes read.
bool isOurBuffer(const MmioFile& file, const MMIOINFO* info) {
  return info->pchBuffer == file.buffer && info->pchNext >= file.buffer &&
         info->pchNext <= file.buffer + file.validBytes;
}

}  // namespace
}  // namespace platform

using platform::MmioFile;

extern "C" {

HMMIO WINAPI mmioOpenA(LPSTR fileName, LPMMIOINFO info, DWORD flags) {
  const auto fail = [info](UINT error) -> HMMIO {
    if (info != nullptr) info->wErrorRet = error;
    return nullptr;
  };
  if (platform::shouldFail("mmioOpenA")) return fail(MMIOERR_CANNOTOPEN);
  // Reading only, with or without a buffer; no I/O procedures of the caller's.
  if ((flags & ~(DWORD{MMIO_ALLOCBUF} | platform::kShareModeFlags)) != 0) return fail(MMIOERR_CANNOTOPEN);
  if (fileName == nullptr) return fail(MMIOERR_CANNOTOPEN);
  if (info != nullptr && (info->fccIOProc != 0 || info->pIOProc != nullptr || info->cchBuffer < 0)) {
    return fail(MMIOERR_CANNOTOPEN);
  }
  const bool callerBuffer = info != nullptr && info->pchBuffer != nullptr;
  if (callerBuffer && info->cchBuffer == 0) return fail(MMIOERR_CANNOTOPEN);

  const int descriptor = open(platform::nativePath(fileName).c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    return fail(errno == ENOENT || errno == ENOTDIR ? MMIOERR_FILENOTFOUND : MMIOERR_CANNOTOPEN);
  }
  struct stat status = {};
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(descriptor);
    return fail(MMIOERR_CANNOTOPEN);
  }

  auto* file = new MmioFile;
  file->descriptor = descriptor;
  file->openFlags = flags;
  if (callerBuffer) {
    file->buffer = info->pchBuffer;
    file->bufferBytes = info->cchBuffer;
  } else if ((flags & MMIO_ALLOCBUF) != 0) {
    file->bufferBytes = info != nullptr && info->cchBuffer > 0 ? info->cchBuffer : platform::kDefaultBufferBytes;
    file->buffer = static_cast<char*>(std::malloc(static_cast<size_t>(file->bufferBytes)));
    file->ownsBuffer = true;
    if (file->buffer == nullptr) {
      close(descriptor);
      delete file;
      return fail(MMIOERR_OUTOFMEMORY);
    }
  }
  platform::liveFiles().insert(file);
  ++platform::world().mmioFiles;
  platform::world().lastOpened = fileName;
  if (info != nullptr) info->wErrorRet = MMSYSERR_NOERROR;
  return reinterpret_cast<HMMIO>(file);
}

MMRESULT WINAPI mmioClose(HMMIO handle, UINT) {
  MmioFile* file = platform::liveFile(handle);
  if (file == nullptr) return platform::kInvalidHandle;
  platform::liveFiles().erase(file);
  --platform::world().mmioFiles;
  close(file->descriptor);
  if (file->ownsBuffer) std::free(file->buffer);
  delete file;
  return MMSYSERR_NOERROR;
}

LONG WINAPI mmioRead(HMMIO handle, HPSTR buffer, LONG count) {
  if (platform::shouldFail("mmioRead")) return -1;
  MmioFile* file = platform::liveFile(handle);
  if (file == nullptr || count < 0 || (buffer == nullptr && count > 0)) return -1;
  return platform::readInto(*file, buffer, count);
}

LONG WINAPI mmioSeek(HMMIO handle, LONG offset, int origin) {
  if (platform::shouldFail("mmioSeek")) return -1;
  MmioFile* file = platform::liveFile(handle);
  if (file == nullptr) return -1;
  long long base = 0;
  switch (origin) {
    case SEEK_SET:
      break;
    case SEEK_CUR:
      base = file->position();
      break;
    case SEEK_END: {
      struct stat status = {};
      if (fstat(file->descriptor, &status) != 0) return -1;
      base = status.st_size;
      break;
    }
    default:
      return -1;
  }
  // Beyond the end is a valid place to stand; reads there return 0.
  if (!platform::seekTo(*file, base + offset)) return -1;
  return file->position();
}

MMRESULT WINAPI mmioDescend(HMMIO handle, LPMMCKINFO chunk, LPCMMCKINFO parent, UINT flags) {
  if (platform::shouldFail("mmioDescend")) return MMIOERR_CHUNKNOTFOUND;
  MmioFile* file = platform::liveFile(handle);
  if (file == nullptr) return platform::kInvalidHandle;
  if (chunk == nullptr) return platform::kInvalidParameter;
  const UINT search = flags & (MMIO_FINDCHUNK | MMIO_FINDRIFF | MMIO_FINDLIST);
  if (flags != search || (search != 0 && search != MMIO_FINDCHUNK && search != MMIO_FINDRIFF &&
                          search != MMIO_FINDLIST)) {
    return platform::kInvalidFlag;
  }
  // Nothing inside the parent lies beyond its end.
  const long long end = parent != nullptr ? static_cast<long long>(parent->dwDataOffset) + parent->cksize : LLONG_MAX;
  const LONG start = file->position();
  const auto notFound = [&]() {
    platform::seekTo(*file, start);
    return static_cast<MMRESULT>(MMIOERR_CHUNKNOTFOUND);
  };

  for (;;) {
    const LONG at = file->position();
    unsigned char header[12];
    if (at + 8LL > end) return notFound();
    if (platform::readInto(*file, reinterpret_cast<char*>(header), 8) != 8) return notFound();
    const FOURCC id = platform::littleEndian32(header);
    const DWORD size = platform::littleEndian32(header + 4);
    const bool isForm = id == FOURCC_RIFF || id == FOURCC_LIST;
    FOURCC formType = 0;
    if (isForm) {
      if (at + 12LL > end) return notFound();
      if (platform::readInto(*file, reinterpret_cast<char*>(header + 8), 4) != 4) return notFound();
      formType = platform::littleEndian32(header + 8);
    }
    bool match = true;
    if (search == MMIO_FINDCHUNK) match = id == chunk->ckid;
    if (search == MMIO_FINDRIFF) match = id == FOURCC_RIFF && formType == chunk->fccType;
    if (search == MMIO_FINDLIST) match = id == FOURCC_LIST && formType == chunk->fccType;
    if (match) {
      // A form's data starts at its type, which has just been read.
      chunk->ckid = id;
      chunk->cksize = size;
      chunk->fccType = formType;
      chunk->dwDataOffset = static_cast<DWORD>(at + 8);
      chunk->dwFlags = 0;
      return MMSYSERR_NOERROR;
    }
    // Bodies are padded to an even length.
    if (!platform::seekTo(*file, at + 8LL + size + (size & 1))) return notFound();
  }
}

MMRESULT WINAPI mmioAscend(HMMIO handle, LPMMCKINFO chunk, UINT) {
  if (platform::shouldFail("mmioAscend")) return MMIOERR_CANNOTSEEK;
  MmioFile* file = platform::liveFile(handle);
  if (file == nullptr) return platform::kInvalidHandle;
  if (chunk == nullptr) return platform::kInvalidParameter;
  // A chunk marked as written would need its size written back: not on a file opened for reading.
  if ((chunk->dwFlags & MMIO_DIRTY) != 0) return MMIOERR_CANNOTWRITE;
  const long long end = static_cast<long long>(chunk->dwDataOffset) + chunk->cksize + (chunk->cksize & 1);
  if (!platform::seekTo(*file, end)) return MMIOERR_CANNOTSEEK;
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mmioGetInfo(HMMIO handle, LPMMIOINFO info, UINT) {
  if (platform::shouldFail("mmioGetInfo")) return MMIOERR_UNBUFFERED;
  MmioFile* file = platform::liveFile(handle);
  if (file == nullptr) return platform::kInvalidHandle;
  if (info == nullptr) return platform::kInvalidParameter;
  if (file->buffer == nullptr) return MMIOERR_UNBUFFERED;
  std::memset(info, 0, sizeof *info);
  info->dwFlags = file->openFlags;
  info->fccIOProc = platform::kDosIoProcedure;
  info->hmmio = handle;
  platform::describeBuffer(*file, info);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mmioSetInfo(HMMIO handle, LPCMMIOINFO info, UINT) {
  if (platform::shouldFail("mmioSetInfo")) return MMIOERR_UNBUFFERED;
  MmioFile* file = platform::liveFile(handle);
  if (file == nullptr) return platform::kInvalidHandle;
  if (info == nullptr) return platform::kInvalidParameter;
  if (file->buffer == nullptr) return MMIOERR_UNBUFFERED;
  if (!platform::isOurBuffer(*file, info)) return platform::kInvalidParameter;
  // The caller's pchNext is the position from now on.
  file->next = static_cast<LONG>(info->pchNext - file->buffer);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mmioAdvance(HMMIO handle, LPMMIOINFO info, UINT flags) {
  if (platform::shouldFail("mmioAdvance")) return MMIOERR_CANNOTREAD;
  MmioFile* file = platform::liveFile(handle);
  if (file == nullptr) return platform::kInvalidHandle;
  if (info == nullptr) return platform::kInvalidParameter;
  if (file->buffer == nullptr) return MMIOERR_UNBUFFERED;
  if (flags == platform::kMmioWrite) return MMIOERR_CANNOTWRITE;
  if (flags != MMIO_READ) return platform::kInvalidFlag;
  if (!platform::isOurBuffer(*file, info)) return platform::kInvalidParameter;
  const LONG keptNext = file->next;
  file->next = static_cast<LONG>(info->pchNext - file->buffer);
  if (platform::refill(*file) < 0) {
    file->next = keptNext;
    return MMIOERR_CANNOTREAD;
  }
  // At the end of the file pchNext == pchEndRead: success with nothing to read.
  platform::describeBuffer(*file, info);
  return MMSYSERR_NOERROR;
}

}  // extern "C"
