// The process-wide world: clock, windows, message boxes and live counts.
#include <cstdio>
#include <string>

#include "world.h"

namespace platform {

World& world() {
  static World state;
  return state;
}

namespace {
std::vector<void (*)(uint64_t, uint64_t)>& clockListeners() {
  static std::vector<void (*)(uint64_t, uint64_t)> listeners;
  return listeners;
}
std::vector<void (*)()>& resetHooks() {
  static std::vector<void (*)()> hooks;
  return hooks;
}
}  // namespace

void onClockAdvance(void (*listener)(uint64_t, uint64_t)) { clockListeners().push_back(listener); }
void onReset(void (*hook)()) { resetHooks().push_back(hook); }

void reset() {
  World& w = world();
  w.clockMicroseconds = 0;
  for (const auto& entry : w.windows) delete reinterpret_cast<int*>(entry.first);
  w.windows.clear();
  w.messageBoxes.clear();
  w.windowsDirectory.clear();
  w.lastOpened.clear();
  clearFaults();
  for (auto hook : resetHooks()) hook();
}

uint64_t nowMicroseconds() { return world().clockMicroseconds; }

void advanceClock(uint64_t microseconds) {
  const uint64_t from = world().clockMicroseconds;
  world().clockMicroseconds = from + microseconds;
  for (auto listener : clockListeners()) listener(from, from + microseconds);
}

HWND createWindow(const std::string& className, const std::string& title) {
  // A window handle only has to be unique and never dereferenced: take the
  // address of a heap cell kept for the window's life.
  HWND window = reinterpret_cast<HWND>(new int(0));
  world().windows[window] = {className, title};
  return window;
}

void destroyWindow(HWND window) {
  if (world().windows.erase(window) != 0) delete reinterpret_cast<int*>(window);
}

bool isWindow(HWND window) { return world().windows.count(window) != 0; }

const std::vector<MessageBoxRecord>& messageBoxes() { return world().messageBoxes; }

void setWindowsDirectory(const std::string& directory) { world().windowsDirectory = directory; }

std::string nativePath(const char* windowsPath) {
  std::string path = windowsPath != nullptr ? windowsPath : "";
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

bool LiveCounts::operator==(const LiveCounts& o) const {
  return heapBlocks == o.heapBlocks && streams == o.streams && mmioFiles == o.mmioFiles &&
         devices == o.devices && buffers == o.buffers && kernelHandles == o.kernelHandles &&
         views == o.views && localBlocks == o.localBlocks;
}

LiveCounts liveCounts() {
  const World& w = world();
  return LiveCounts{w.heapBlocks, w.streams,       w.mmioFiles, w.devices,
                    w.buffers,    w.kernelHandles, w.views,     w.localBlocks};
}

std::string describe(const LiveCounts& c) {
  char text[256];
  std::snprintf(text, sizeof text,
                "heapBlocks=%ld streams=%ld mmioFiles=%ld devices=%ld buffers=%ld "
                "kernelHandles=%ld views=%ld localBlocks=%ld",
                c.heapBlocks, c.streams, c.mmioFiles, c.devices, c.buffers, c.kernelHandles,
                c.views, c.localBlocks);
  return text;
}

}  // namespace platform

// ---- Window and user calls ---------------------------------------------------

extern "C" HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName) {
  if (platform::shouldFail("FindWindowA")) return nullptr;
  for (const auto& [window, names] : platform::world().windows) {
    if (className != nullptr && names.first != className) continue;
    if (windowName != nullptr && names.second != windowName) continue;
    return window;
  }
  return nullptr;
}

extern "C" int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  // Recorded, never shown: a test host has nobody to press OK.
  if (platform::shouldFail("MessageBoxA")) return 0;
  platform::world().messageBoxes.push_back(
      {owner, text != nullptr ? text : "", caption != nullptr ? caption : "Error", type});
  return IDOK;
}

extern "C" void WINAPI Sleep(DWORD milliseconds) {
  // Sleeping moves the clock instead of the thread, so that waits are
  // deterministic and cost no real time.
  platform::advanceClock(uint64_t{milliseconds} * 1000u);
}

// ---- Modules ---------------------------------------------------------------

#include <dlfcn.h>

namespace platform {

HMODULE moduleHandleOf(const void* addressInModule) {
  Dl_info info = {};
  if (dladdr(addressInModule, &info) == 0) return nullptr;
  return static_cast<HMODULE>(info.dli_fbase);
}

}  // namespace platform
