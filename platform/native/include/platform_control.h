// The test side of the native platform: what a test or the simulated host can
// see and steer of the world the platform calls play against.
//
// The world is one per process and shared by the host and every module it loads:
// a clock that only moves when told to, the host's windows, message boxes,
// DirectSound devices and buffers, and counts of everything a module can leak.
// Every failable call can be made to fail, either by name ("fail the 3rd
// mmioRead") or by position ("fail the 17th failable call of any kind"), in the
// style of SQLite's fault-injection tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <mmsystem.h>
#include <windows.h>

namespace platform {

// Puts the whole world back to its start: clock at 0, no windows, no records, no
// armed faults, no extra resources. Live objects (buffers, open files) stay
// alive and counted, so that a leak in one test is still seen by the next check.
void reset();

// ---- Fault injection ------------------------------------------------------

// Every failable platform call asks here first; the name is the platform's own
// ("mmioRead", "CreateSoundBuffer", "malloc", "fopen", ...).
bool shouldFail(const char* callName);

// Fail the nth call (1-based, counted from now) named callName, then `times - 1`
// more calls of that name after it. times < 0: every call from the nth on.
void failCall(const std::string& callName, long nth = 1, long times = 1);
// Fail the nth failable call of any name, counted from now.
void failNthCall(long nth);
// Disarm every fault and restart the counts.
void clearFaults();
// While held, failable calls neither fail nor count nor enter the log: a host
// that uses the platform itself beside the gauges (reading a gauge's INI file
// as the gauge does) must not take a failure meant for a gauge.
void holdFaults(bool held);
// Failable calls seen since the last clearFaults/reset, in order, by name
// (the first 2^20 of them; the count goes on).
const std::vector<std::string>& failableCallLog();
long failableCallCount();
// How many injected failures have fired since the last clearFaults/reset.
long injectedFailures();

// ---- Clock ----------------------------------------------------------------

// Microseconds since reset. Playing buffers move with it; Sleep advances it.
uint64_t nowMicroseconds();
void advanceClock(uint64_t microseconds);

// ---- Windows and message boxes ---------------------------------------------

HWND createWindow(const std::string& className, const std::string& title = "");
void destroyWindow(HWND window);
bool isWindow(HWND window);

struct MessageBoxRecord {
  HWND owner;
  std::string text;
  std::string caption;
  UINT style;
};
const std::vector<MessageBoxRecord>& messageBoxes();

// Bare INI file names (no folder) are looked up in this folder, as Windows looks
// in its own folder for them. Empty (the default): such files are missing.
void setWindowsDirectory(const std::string& directory);

// Windows paths as gauges pass them ("Sound\\qztrim.wav") made native: the
// backslashes become slashes; a relative path stays relative to the current
// directory.
std::string nativePath(const char* windowsPath);

// ---- What is alive --------------------------------------------------------

struct LiveCounts {
  long heapBlocks;    // malloc minus free in modules
  long streams;       // fopen minus fclose
  long mmioFiles;     // mmioOpenA minus mmioClose
  long devices;       // DirectSound devices not yet released
  long buffers;       // DirectSound buffers not yet released
  long kernelHandles; // files and mappings not yet closed
  long views;         // mapped views not yet unmapped
  long localBlocks;   // LocalAlloc minus LocalFree
  bool operator==(const LiveCounts& other) const;
};
LiveCounts liveCounts();
std::string describe(const LiveCounts& counts);

// ---- DirectSound ------------------------------------------------------------

struct BufferState {
  int id;               // unique per buffer, in creation order from 1
  int deviceId;         // the device that made it
  DWORD flags;          // DSBUFFERDESC flags
  WAVEFORMATEX format;  // copied at creation (cbSize extra bytes not kept)
  std::vector<uint8_t> bytes;  // the sound data, as locked and written
  DWORD position;       // play position in bytes
  bool playing;
  bool looping;
  bool lost;
  LONG volume;          // hundredths of a decibel, -10000..0
  int duplicateOf;      // id of the original buffer, 0 when made by CreateSoundBuffer
  long references;
  // The file or resource most recently opened when the buffer was made, by the
  // name the gauge gave (a duplicate takes its original's): which sound it holds.
  std::string source;
};
struct DeviceState {
  int id;
  HWND cooperativeWindow;  // null until SetCooperativeLevel succeeds
  DWORD cooperativeLevel;
  long references;
};
std::vector<BufferState> buffers();   // the live buffers, by id
std::vector<DeviceState> devices();   // the live devices, by id
bool bufferState(int id, BufferState* out);
// The id of a buffer interface pointer, 0 when it is not a live buffer.
int bufferId(const void* buffer);

// Marks a live buffer lost: its contents go (all zero), it stops and its status
// says lost until Restore succeeds. Restore then fails failRestores times with
// DSERR_BUFFERLOST before it succeeds.
void loseBuffer(int id, int failRestores = 0);

// The next Lock of that buffer (0: of any buffer) reports its span as two
// regions, the first of firstRegionBytes bytes, as DirectSound does when a
// locked span wraps round the end of the buffer.
void splitNextLock(int bufferId, DWORD firstRegionBytes);

// How often a device was released while buffers it made were still alive
// (buffers must go first).
long deviceReleasesWithLiveBuffers();

// Playback events, for timelines and the mixer: a buffer started, stopped by a
// call, ran out (a play-once buffer reached its end), or played a span of its
// bytes while the clock moved.
struct PlaybackEvent {
  enum Kind { Started, Stopped, Finished, Played } kind;
  int bufferId;
  uint64_t atMicroseconds;   // for Played, when the span began
  DWORD from;                // Played: first byte of the span
  DWORD count;               // Played: bytes in the span; a span never wraps (a looping
                             // buffer that wraps gives two Played events)
  bool looping;              // Started: the flag it was started with
};
using PlaybackObserver = std::function<void(const PlaybackEvent&)>;
// One observer at a time; an empty function removes it.
void setPlaybackObserver(PlaybackObserver observer);
// Started comes with every successful Play, also one that only changes the
// looping flag of a playing buffer. A Played span's atMicroseconds is when its
// first frame began, rounded down to the microsecond: frame k of a run started
// (Play or SetCurrentPosition) at time s begins at s + floor(k * 1000000 / rate),
// so ceil((at - s) * rate / 1000000) gives k back. A looping buffer that the
// clock carries round several times in one step reports one span per pass.
// Finished is dated when the last frame ended, which may lie inside the step.

// ---- Module resources --------------------------------------------------------

// A module's resources are registered when it loads; a test can add its own.
// Names and types are strings, or "#123" for integer ids as MAKEINTRESOURCE gives.
void addResource(HMODULE module, const std::string& type, const std::string& name,
                 const std::vector<uint8_t>& bytes);
void removeResource(HMODULE module, const std::string& type, const std::string& name);
// The module handle of a loaded native module: the base address of its image,
// as on Windows.
HMODULE moduleHandleOf(const void* addressInModule);

}  // namespace platform

// Called by the resource table that the build generates into each native
// module: registers its resources under the module that holds `anchor`.
extern "C" {
struct PlatformResourceEntry {
  const char* type;  // "#2" for bitmaps, "WAVE", ...
  const char* name;  // "#256", "Sound\\qztrim.wav", ...
  const unsigned char* bytes;
  unsigned long size;
};
void platformRegisterModuleResources(const void* anchor, const PlatformResourceEntry* entries,
                                     unsigned long count);
void platformUnregisterModuleResources(const void* anchor);
}
