// Renders what the platform's DirectSound played into one stereo stream.
//
// The mixer hears the playback observer's Played spans, which cover exactly
// the bytes each buffer played, and reads the bytes, format and volume of the
// buffer at that moment. Output frames come from the buffer's own byte
// positions: a run of a buffer is placed once, at the output frame nearest to
// its first frame, and each later span of the same run goes exactly where its
// frames fall after that, so that neither the microsecond rounding of the
// span times nor the size of the clock steps can move a frame. Sources of any
// rate are resampled by linear interpolation; 8-bit samples are unsigned,
// 16-bit signed; mono goes to both sides. A source at the output rate and
// volume 0 comes out unchanged, bit for bit.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform_control.h"

namespace gaugehost {

class Mixer {
 public:
  explicit Mixer(uint32_t outputRate = 44100);

  // Give it every playback event (setPlaybackObserver); spans add sound.
  void hear(const platform::PlaybackEvent& event);

  // 16-bit stereo frames, interleaved left and right, from clock time 0 up to
  // endMicroseconds or as far as any sound reached, whichever is later.
  std::vector<int16_t> samples(uint64_t endMicroseconds) const;
  uint32_t outputRate() const { return outputRate_; }

 private:
  // Where one run of a buffer lies in the output.
  struct Run {
    uint64_t startMicroseconds = 0;  // the run's first frame, as its first span dated it
    uint64_t anchorFrame = 0;        // the output frame of the run's first frame
    uint64_t nextFrame = 0;          // frames of the run placed so far
    uint64_t nextByte = 0;           // the buffer byte that continues the run
  };
  bool continues(const Run& run, const platform::PlaybackEvent& span, uint64_t sourceRate) const;

  uint32_t outputRate_;
  std::map<int, Run> runs_;   // by buffer id
  std::vector<float> mix_;    // interleaved left, right
};

// Writes 16-bit stereo PCM frames as a WAV file.
bool writeStereoWav(const std::string& path, uint32_t rate, const std::vector<int16_t>& samples,
                    std::string* error);

}  // namespace gaugehost
