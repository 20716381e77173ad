// When updates happen: `fps` a second, the nth update of a stretch at one rate
// ending at start + floor(n * 1000000 / fps) microseconds, so that no rounding
// adds up. A clock that ran ahead of the schedule (a gauge slept inside its
// update) starts a new stretch from where it stands.
#pragma once

#include <cstdint>

namespace gaugehost {

class FrameSchedule {
 public:
  static constexpr uint64_t kDefaultFps = 18;

  void setFps(uint64_t fps, uint64_t now) {
    fps_ = fps;
    start_ = now;
    updates_ = 0;
  }
  uint64_t fps() const { return fps_; }

  // The clock time at which the update now running ends.
  uint64_t endOfUpdate(uint64_t now) {
    uint64_t end = start_ + (updates_ + 1) * 1000000 / fps_;
    if (end <= now) {
      start_ = now;
      updates_ = 0;
      end = now + 1000000 / fps_;
    }
    ++updates_;
    return end;
  }

 private:
  uint64_t fps_ = kDefaultFps;
  uint64_t start_ = 0;
  uint64_t updates_ = 0;
};

}  // namespace gaugehost
