// Reads a WAV file through the Windows multimedia file routines: its format
// into a WAVEFORMATEX block, then its sample data in buffered reads that can
// start again from the beginning of the data at any time (the sound bank
// refills a lost DirectSound buffer from the same open file).
#pragma once

#include <windows.h>

#include <mmsystem.h>

// Opens the file for buffered reading and reads its format. On success the
// handle and the format block are the caller's; on failure nothing is left
// open or allocated.
HRESULT openWaveFile(const char* path, HMMIO* file, WAVEFORMATEX** format, MMCKINFO* riffChunk);

// Enters the RIFF/WAVE chunk at the start of the file and reads its first
// "fmt " chunk into a new block (18 bytes, plus the extra bytes of a format
// other than PCM). On failure *format is null.
HRESULT readWaveFormat(HMMIO file, MMCKINFO* riffChunk, WAVEFORMATEX** format);

// Positions the file at the first byte of the first "data" chunk of the form;
// dataChunk->cksize is then the chunk's full size.
HRESULT seekToData(HMMIO file, MMCKINFO* dataChunk, const MMCKINFO* riffChunk);

// Copies up to `count` of the data bytes not yet read into `destination`,
// straight out of the file's I/O buffer. *bytesRead is what was copied, or 0
// on failure.
HRESULT readWaveData(HMMIO file, DWORD count, BYTE* destination, MMCKINFO* dataChunk,
                     DWORD* bytesRead);

class WaveFileReader {
 public:
  WaveFileReader();
  ~WaveFileReader();
  WaveFileReader(const WaveFileReader&) = delete;
  WaveFileReader& operator=(const WaveFileReader&) = delete;

  // Reads the format and stands at the start of the data. A data chunk that
  // claims more bytes than the file holds is refused.
  HRESULT open(const char* path);
  HRESULT rewind();
  HRESULT read(DWORD count, BYTE* destination, DWORD* bytesRead);
  HRESULT close();

  WAVEFORMATEX* format;  // owned; null until an open has read it
  HMMIO file;            // null until opened
  MMCKINFO dataChunk;    // cksize counts the data bytes not yet read
  MMCKINFO riffChunk;    // its dwDataOffset anchors every return to the data
};
