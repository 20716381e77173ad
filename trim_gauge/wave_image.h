// Finding the trim sound's WAV image (a "WAVE" resource of the module, else a
// file mapped read-only), walking it in place, and copying its samples into a
// new DirectSound static buffer.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

// The module whose resources createWaveBuffer searches; SoundObject::create
// sets it before it looks anything up.
extern HMODULE waveModule;

// Walks a RIFF/WAVE image of imageBytes bytes. Each output may be absent; the
// format and data point into the image. 1 when every requested output was
// found, else 0. No header or body is ever read beyond imageBytes, whatever
// the sizes in the image claim.
int parseWaveImage(const BYTE* image, DWORD imageBytes, const WAVEFORMATEX** format,
                   const BYTE** data, DWORD* size);

// 1 when the module has a "WAVE" resource of that name and it walks.
int findWaveResource(HMODULE module, LPCSTR name, const WAVEFORMATEX** format, const BYTE** data,
                     DWORD* size);

// 1 when the file opens, maps and walks; *view is then the caller's to give
// back with UnmapViewOfFile. Else 0 with *view none. No handle outlives the call.
int mapWaveFile(LPCSTR name, const WAVEFORMATEX** format, const BYTE** data, DWORD* size,
                const void** view);

// A new static buffer holding the named WAV's samples (resource of waveModule
// first, then the file), or none. The caller owns its one reference.
IDirectSoundBuffer* createWaveBuffer(IDirectSound* device, LPCSTR name);

// Copies size bytes of samples into the buffer from its start; 1 when copied.
int fillWaveBuffer(IDirectSoundBuffer* buffer, const BYTE* data, DWORD size);
