// State shared by the platform's source files: one world per process.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform_control.h"

namespace platform {

struct World {
  uint64_t clockMicroseconds = 0;
  std::map<HWND, std::pair<std::string, std::string>> windows;  // class, title
  std::vector<MessageBoxRecord> messageBoxes;
  std::string windowsDirectory;
  // The file or resource most recently opened, by the name the gauge gave:
  // a sound buffer made next takes it as its source, so that a host can say
  // which file it plays.
  std::string lastOpened;

  // Live-object counts; each source file keeps its own up to date.
  long heapBlocks = 0;
  long streams = 0;
  long mmioFiles = 0;
  long devices = 0;
  long buffers = 0;
  long kernelHandles = 0;
  long views = 0;
  long localBlocks = 0;
};

World& world();

// Parts of the platform that keep their own state hook in here: a clock
// listener moves with the clock (DirectSound plays its buffers), a reset hook
// clears what reset() must clear. Register from a static initialiser:
//   static const bool hooked = (platform::onReset([] { ... }), true);
void onClockAdvance(void (*listener)(uint64_t fromMicroseconds, uint64_t toMicroseconds));
void onReset(void (*hook)());

}  // namespace platform
