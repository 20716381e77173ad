// DirectSound as the gauges use it, for the native build: the device and
// buffer interfaces with the methods the gauges call, under their documented
// names and signatures. Behaviour: platform/native/src/dsound.cpp.
#pragma once

#include <mmsystem.h>
#include <windows.h>

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};
typedef const GUID* LPCGUID;

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(const GUID& iid, void** object) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
};
typedef IUnknown* LPUNKNOWN;

#define DS_OK ((HRESULT)0)
#define DSERR_ALLOCATED ((HRESULT)0x8878000Au)
#define DSERR_CONTROLUNAVAIL ((HRESULT)0x8878001Eu)
#define DSERR_INVALIDPARAM E_INVALIDARG
#define DSERR_INVALIDCALL ((HRESULT)0x88780032u)
#define DSERR_GENERIC E_FAIL
#define DSERR_PRIOLEVELNEEDED ((HRESULT)0x88780046u)
#define DSERR_OUTOFMEMORY E_OUTOFMEMORY
#define DSERR_BADFORMAT ((HRESULT)0x88780064u)
#define DSERR_NODRIVER ((HRESULT)0x88780078u)
#define DSERR_BUFFERLOST ((HRESULT)0x88780096u)

#define DSSCL_NORMAL 0x00000001

#define DSBCAPS_PRIMARYBUFFER 0x00000001
#define DSBCAPS_STATIC 0x00000002
#define DSBCAPS_LOCHARDWARE 0x00000004
#define DSBCAPS_LOCSOFTWARE 0x00000008
#define DSBCAPS_CTRL3D 0x00000010
#define DSBCAPS_CTRLFREQUENCY 0x00000020
#define DSBCAPS_CTRLPAN 0x00000040
#define DSBCAPS_CTRLVOLUME 0x00000080

#define DSBPLAY_LOOPING 0x00000001

#define DSBSTATUS_PLAYING 0x00000001
#define DSBSTATUS_BUFFERLOST 0x00000002
#define DSBSTATUS_LOOPING 0x00000004

#define DSBVOLUME_MIN -10000
#define DSBVOLUME_MAX 0

#define DSBSIZE_MIN 4
#define DSBSIZE_MAX 0x0FFFFFFF

struct DSBUFFERDESC {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwBufferBytes;
  DWORD dwReserved;
  LPWAVEFORMATEX lpwfxFormat;
  GUID guid3DAlgorithm;
};
typedef DSBUFFERDESC* LPDSBUFFERDESC;
typedef const DSBUFFERDESC* LPCDSBUFFERDESC;

struct IDirectSoundBuffer : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVolume(LPLONG volume) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) = 0;
  virtual HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, LPVOID* audio1, LPDWORD audioBytes1,
                                         LPVOID* audio2, LPDWORD audioBytes2, DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD newPosition) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetVolume(LONG volume) = 0;
  virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
  virtual HRESULT STDMETHODCALLTYPE Unlock(LPVOID audio1, DWORD audioBytes1, LPVOID audio2,
                                           DWORD audioBytes2) = 0;
  virtual HRESULT STDMETHODCALLTYPE Restore() = 0;
};
typedef IDirectSoundBuffer* LPDIRECTSOUNDBUFFER;

struct IDirectSound : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC description,
                                                      LPDIRECTSOUNDBUFFER* buffer,
                                                      LPUNKNOWN outer) = 0;
  virtual HRESULT STDMETHODCALLTYPE DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original,
                                                         LPDIRECTSOUNDBUFFER* duplicate) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD level) = 0;
};
typedef IDirectSound* LPDIRECTSOUND;

extern "C" {

HRESULT WINAPI DirectSoundCreate(LPCGUID device, LPDIRECTSOUND* directSound, LPUNKNOWN outer);

}  // extern "C"
