// Windows multimedia file I/O (the mmio family) and the wave format record, as
// the gauges use them, for the native build. Behaviour: platform/native/src/mmio.cpp.
#pragma once

#include <windows.h>

typedef DWORD FOURCC;
typedef UINT MMRESULT;
struct HMMIO__ {
  int unused;
};
typedef HMMIO__* HMMIO;

#define mmioFOURCC(c0, c1, c2, c3)                                          \
  ((FOURCC)(BYTE)(c0) | ((FOURCC)(BYTE)(c1) << 8) | ((FOURCC)(BYTE)(c2) << 16) | \
   ((FOURCC)(BYTE)(c3) << 24))
#define FOURCC_RIFF mmioFOURCC('R', 'I', 'F', 'F')
#define FOURCC_LIST mmioFOURCC('L', 'I', 'S', 'T')

#define MMSYSERR_NOERROR 0
#define MMIOERR_BASE 256
#define MMIOERR_FILENOTFOUND (MMIOERR_BASE + 1)
#define MMIOERR_OUTOFMEMORY (MMIOERR_BASE + 2)
#define MMIOERR_CANNOTOPEN (MMIOERR_BASE + 3)
#define MMIOERR_CANNOTCLOSE (MMIOERR_BASE + 4)
#define MMIOERR_CANNOTREAD (MMIOERR_BASE + 5)
#define MMIOERR_CANNOTWRITE (MMIOERR_BASE + 6)
#define MMIOERR_CANNOTSEEK (MMIOERR_BASE + 7)
#define MMIOERR_CANNOTEXPAND (MMIOERR_BASE + 8)
#define MMIOERR_CHUNKNOTFOUND (MMIOERR_BASE + 9)
#define MMIOERR_UNBUFFERED (MMIOERR_BASE + 10)

#define MMIO_READ 0x00000000
#define MMIO_ALLOCBUF 0x00010000
#define MMIO_FINDCHUNK 0x0010
#define MMIO_FINDRIFF 0x0020
#define MMIO_FINDLIST 0x0040
#define MMIO_DIRTY 0x10000000

#define WAVE_FORMAT_PCM 1

struct MMCKINFO {
  FOURCC ckid;
  DWORD cksize;
  FOURCC fccType;
  DWORD dwDataOffset;
  DWORD dwFlags;
};
typedef MMCKINFO* LPMMCKINFO;
typedef const MMCKINFO* LPCMMCKINFO;

typedef LONG(CALLBACK* LPMMIOPROC)(LPSTR message, UINT msg, intptr_t param1, intptr_t param2);

struct MMIOINFO {
  DWORD dwFlags;
  FOURCC fccIOProc;
  LPMMIOPROC pIOProc;
  UINT wErrorRet;
  HANDLE htask;
  LONG cchBuffer;
  HPSTR pchBuffer;
  HPSTR pchNext;
  HPSTR pchEndRead;
  HPSTR pchEndWrite;
  LONG lBufOffset;
  LONG lDiskOffset;
  DWORD adwInfo[3];
  DWORD dwReserved1;
  DWORD dwReserved2;
  HMMIO hmmio;
};
typedef MMIOINFO* LPMMIOINFO;
typedef const MMIOINFO* LPCMMIOINFO;

#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX is 18 bytes");
typedef WAVEFORMATEX* LPWAVEFORMATEX;
typedef const WAVEFORMATEX* LPCWAVEFORMATEX;

extern "C" {

HMMIO WINAPI mmioOpenA(LPSTR fileName, LPMMIOINFO info, DWORD flags);
MMRESULT WINAPI mmioClose(HMMIO file, UINT flags);
LONG WINAPI mmioRead(HMMIO file, HPSTR buffer, LONG count);
LONG WINAPI mmioSeek(HMMIO file, LONG offset, int origin);
MMRESULT WINAPI mmioDescend(HMMIO file, LPMMCKINFO chunk, LPCMMCKINFO parent, UINT flags);
MMRESULT WINAPI mmioAscend(HMMIO file, LPMMCKINFO chunk, UINT flags);
MMRESULT WINAPI mmioGetInfo(HMMIO file, LPMMIOINFO info, UINT flags);
MMRESULT WINAPI mmioSetInfo(HMMIO file, LPCMMIOINFO info, UINT flags);
MMRESULT WINAPI mmioAdvance(HMMIO file, LPMMIOINFO info, UINT flags);

}  // extern "C"
