#include "host/gaugehost/mixer.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace gaugehost {
namespace {

constexpr uint64_t kMicrosecondsPerSecond = 1000000;

uint64_t ceilDivide(uint64_t value, uint64_t divisor) { return (value + divisor - 1) / divisor; }

struct Frame {
  float left;
  float right;
};

Frame frameAt(const platform::BufferState& state, uint64_t frame) {
  const WAVEFORMATEX& format = state.format;
  const uint8_t* bytes = state.bytes.data() + frame * format.nBlockAlign;
  const auto sample = [&](int channel) -> float {
    if (format.wBitsPerSample == 8) return static_cast<float>((static_cast<int>(bytes[channel]) - 128) * 256);
    const uint8_t* at = bytes + 2 * channel;
    return static_cast<float>(static_cast<int16_t>(static_cast<uint16_t>(at[0] | (at[1] << 8))));
  };
  const float left = sample(0);
  return Frame{left, format.nChannels == 2 ? sample(1) : left};
}

void appendLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

Mixer::Mixer(uint32_t outputRate) : outputRate_(outputRate) {}

// A span goes on with the run before it when it starts at the byte that run
// reached and at the time that run's next frame was due (within one frame):
// a Play that only changes the looping flag restarts DirectSound's run but not
// the sound, and must not move it.
bool Mixer::continues(const Run& run, const platform::PlaybackEvent& span, uint64_t sourceRate) const {
  if (span.from != run.nextByte || span.atMicroseconds < run.startMicroseconds) return false;
  const int64_t due = static_cast<int64_t>(run.nextFrame * kMicrosecondsPerSecond);
  const int64_t came = static_cast<int64_t>((span.atMicroseconds - run.startMicroseconds) * sourceRate);
  const int64_t oneFrame = static_cast<int64_t>(kMicrosecondsPerSecond);
  return came - due < oneFrame && due - came < oneFrame;
}

void Mixer::hear(const platform::PlaybackEvent& event) {
  if (event.kind != platform::PlaybackEvent::Played || event.count == 0) return;
  platform::BufferState state;
  if (!platform::bufferState(event.bufferId, &state)) return;
  const uint64_t block = state.format.nBlockAlign;
  const uint64_t rate = state.format.nSamplesPerSec;
  if (block == 0 || rate == 0 || state.bytes.size() < block) return;
  const uint64_t playableFrames = state.bytes.size() / block;
  const uint64_t firstFrame = event.from / block;
  const uint64_t frames = event.count / block;
  if (firstFrame + frames > playableFrames) return;

  auto known = runs_.find(event.bufferId);
  if (known == runs_.end() || !continues(known->second, event, rate)) {
    Run fresh;
    fresh.startMicroseconds = event.atMicroseconds;
    fresh.anchorFrame = (event.atMicroseconds * outputRate_ + kMicrosecondsPerSecond / 2) / kMicrosecondsPerSecond;
    known = runs_.insert_or_assign(event.bufferId, fresh).first;
  }
  Run& run = known->second;
  const uint64_t runFrame = run.nextFrame;  // the run's frame number of this span's first frame
  run.nextFrame += frames;
  run.nextByte = (firstFrame + frames) * block;
  if (event.looping && run.nextByte >= playableFrames * block) run.nextByte = 0;

  // Output frame j takes the source at run frame (j - anchor) * rate / outputRate.
  const uint64_t out = outputRate_;
  const uint64_t firstOutput = run.anchorFrame + ceilDivide(runFrame * out, rate);
  const uint64_t endOutput = run.anchorFrame + ceilDivide((runFrame + frames) * out, rate);
  if (mix_.size() < endOutput * 2) mix_.resize(endOutput * 2, 0.0f);
  const float gain = state.volume >= 0 ? 1.0f : static_cast<float>(std::pow(10.0, state.volume / 2000.0));
  for (uint64_t j = firstOutput; j < endOutput; ++j) {
    const uint64_t position = (j - run.anchorFrame) * rate;
    const uint64_t frame = firstFrame + (position / out - runFrame);
    const uint64_t remainder = position % out;
    Frame value = frameAt(state, frame);
    if (remainder != 0) {
      // Between two frames: the next one is the buffer's next, round the end of a loop.
      uint64_t next = frame + 1;
      if (next >= playableFrames) next = event.looping ? 0 : frame;
      const Frame after = frameAt(state, next);
      const float t = static_cast<float>(remainder) / static_cast<float>(out);
      value.left += (after.left - value.left) * t;
      value.right += (after.right - value.right) * t;
    }
    mix_[2 * j] += value.left * gain;
    mix_[2 * j + 1] += value.right * gain;
  }
}

std::vector<int16_t> Mixer::samples(uint64_t endMicroseconds) const {
  const uint64_t clockFrames = ceilDivide(endMicroseconds * outputRate_, kMicrosecondsPerSecond);
  const size_t frames = mix_.size() / 2 > clockFrames ? mix_.size() / 2 : clockFrames;
  std::vector<int16_t> out(frames * 2, 0);
  for (size_t i = 0; i < mix_.size(); ++i) {
    const long value = std::lrint(mix_[i]);
    out[i] = static_cast<int16_t>(value > 32767 ? 32767 : value < -32768 ? -32768 : value);
  }
  return out;
}

bool writeStereoWav(const std::string& path, uint32_t rate, const std::vector<int16_t>& samples,
                    std::string* error) {
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::vector<uint8_t> image;
  image.reserve(44 + dataBytes);
  image.insert(image.end(), {'R', 'I', 'F', 'F'});
  appendLittleEndian(image, 36 + dataBytes, 4);
  image.insert(image.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  appendLittleEndian(image, 16, 4);
  appendLittleEndian(image, WAVE_FORMAT_PCM, 2);
  appendLittleEndian(image, 2, 2);          // channels
  appendLittleEndian(image, rate, 4);
  appendLittleEndian(image, rate * 4, 4);   // bytes per second
  appendLittleEndian(image, 4, 2);          // block
  appendLittleEndian(image, 16, 2);         // bits
  image.insert(image.end(), {'d', 'a', 't', 'a'});
  appendLittleEndian(image, dataBytes, 4);
  for (int16_t sample : samples) appendLittleEndian(image, static_cast<uint16_t>(sample), 2);

  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(image.data(), 1, image.size(), file) == image.size();
  if (std::fclose(file) != 0 || !written) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace gaugehost
