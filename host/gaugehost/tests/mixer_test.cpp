// The render: what DirectSound played, mixed into 16-bit stereo. A source at
// the output rate and volume 0 must come out bit for bit; other rates are
// resampled by linear interpolation; volumes are hundredths of a decibel;
// and no size of clock step may move a frame.
#include <dsound.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "host/gaugehost/mixer.h"
#include "platform_control.h"
#include "wav_builder.h"

namespace {

using gaugehost::Mixer;

class MixerTest : public ::testing::Test {
 protected:
  MixerTest() {
    platform::reset();
    window_ = platform::createWindow("FS98MAIN");
    EXPECT_EQ(DirectSoundCreate(nullptr, &device_, nullptr), DS_OK);
    EXPECT_EQ(device_->SetCooperativeLevel(window_, DSSCL_NORMAL), DS_OK);
  }
  ~MixerTest() override {
    platform::setPlaybackObserver(nullptr);
    for (IDirectSoundBuffer* buffer : buffers_) buffer->Release();
    device_->Release();
    platform::destroyWindow(window_);
  }

  IDirectSoundBuffer* buffer(WORD channels, DWORD rate, WORD bits, const std::vector<uint8_t>& bytes,
                             LONG volume = 0) {
    WAVEFORMATEX format = testing_support::pcmWaveFormat(channels, rate, bits);
    DSBUFFERDESC description = {};
    description.dwSize = 36;
    description.dwFlags = DSBCAPS_STATIC | DSBCAPS_CTRLVOLUME;
    description.dwBufferBytes = static_cast<DWORD>(bytes.size());
    description.lpwfxFormat = &format;
    IDirectSoundBuffer* made = nullptr;
    EXPECT_EQ(device_->CreateSoundBuffer(&description, &made, nullptr), DS_OK);
    void* region = nullptr;
    DWORD regionBytes = 0;
    EXPECT_EQ(made->Lock(0, description.dwBufferBytes, &region, &regionBytes, nullptr, nullptr, 0), DS_OK);
    std::memcpy(region, bytes.data(), bytes.size());
    made->Unlock(region, regionBytes, nullptr, 0);
    EXPECT_EQ(made->SetVolume(volume), DS_OK);
    buffers_.push_back(made);
    return made;
  }

  void listen(Mixer& mixer) {
    platform::setPlaybackObserver([&mixer](const platform::PlaybackEvent& event) { mixer.hear(event); });
  }

  HWND window_ = nullptr;
  IDirectSound* device_ = nullptr;
  std::vector<IDirectSoundBuffer*> buffers_;
};

std::vector<uint8_t> samples16(const std::vector<int16_t>& values) {
  std::vector<uint8_t> bytes;
  for (int16_t value : values) {
    bytes.push_back(static_cast<uint8_t>(value & 0xFF));
    bytes.push_back(static_cast<uint8_t>((static_cast<uint16_t>(value) >> 8) & 0xFF));
  }
  return bytes;
}

// Values over the whole 16-bit range, in no pattern a shift would keep.
std::vector<int16_t> noise(size_t count) {
  std::vector<int16_t> values;
  uint32_t seed = 7;
  for (size_t i = 0; i < count; ++i) {
    seed = seed * 1664525u + 1013904223u;
    values.push_back(static_cast<int16_t>(seed >> 16));
  }
  return values;
}

TEST_F(MixerTest, SixteenBitStereoAtTheOutputRateComesOutBitForBitWhereItStarted) {
  const std::vector<int16_t> values = noise(2 * 3000);  // 3000 stereo frames
  IDirectSoundBuffer* sound = buffer(2, 44100, 16, samples16(values));
  Mixer mixer(44100);
  listen(mixer);
  platform::advanceClock(111111);  // 4899.995 frames: the run starts at output frame 4900
  ASSERT_EQ(sound->Play(0, 0, 0), DS_OK);
  // Clock steps of any size, none a whole number of frames.
  for (uint64_t step : {1u, 33333u, 7u, 2500u, 55555u, 100000u}) platform::advanceClock(step);

  const std::vector<int16_t> out = mixer.samples(platform::nowMicroseconds());
  ASSERT_GE(out.size(), size_t{2 * (4900 + 3000)});
  for (size_t i = 0; i < 2 * 4900; ++i) ASSERT_EQ(out[i], 0) << "before the start, sample " << i;
  for (size_t i = 0; i < values.size(); ++i) ASSERT_EQ(out[2 * 4900 + i], values[i]) << "sample " << i;
  for (size_t i = 2 * (4900 + 3000); i < out.size(); ++i) ASSERT_EQ(out[i], 0) << "after the end, sample " << i;
}

TEST_F(MixerTest, ALoopRendersTheSameWhateverTheClockStepsAndAcrossALoopingFlagChange) {
  // 8-bit mono at 11025 Hz, looped well past its end: once with one clock
  // step, once with many small odd steps and a Play that only turns looping on again.
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 500; ++i) bytes.push_back(static_cast<uint8_t>((i * 37) % 256));
  const auto render = [&](bool manySteps) {
    Mixer mixer(44100);
    listen(mixer);
    IDirectSoundBuffer* sound = buffer(1, 11025, 8, bytes);
    sound->Play(0, 0, DSBPLAY_LOOPING);
    if (manySteps) {
      for (int i = 0; i < 300; ++i) {
        platform::advanceClock(333 + (i % 7) * 1000);
        if (i == 150) sound->Play(0, 0, DSBPLAY_LOOPING);
      }
    } else {
      uint64_t total = 0;
      for (int i = 0; i < 300; ++i) total += 333 + (i % 7) * 1000;
      platform::advanceClock(total);
    }
    sound->Stop();
    platform::setPlaybackObserver(nullptr);
    return mixer.samples(platform::nowMicroseconds());
  };
  const std::vector<int16_t> once = render(false);
  const uint64_t end = platform::nowMicroseconds();
  platform::destroyWindow(window_);
  platform::reset();
  window_ = platform::createWindow("FS98MAIN");
  ASSERT_EQ(device_->SetCooperativeLevel(window_, DSSCL_NORMAL), DS_OK);
  const std::vector<int16_t> stepped = render(true);
  ASSERT_EQ(platform::nowMicroseconds(), end);
  ASSERT_EQ(once.size(), stepped.size());
  EXPECT_EQ(once, stepped);
  // Four output frames to each source frame, round the loop: frame 4k is source frame k mod 500.
  for (size_t k : {0u, 1u, 499u, 500u, 501u, 1234u}) {
    const int expected = (static_cast<int>(bytes[k % 500]) - 128) * 256;
    EXPECT_EQ(once[2 * 4 * k], expected) << "source frame " << k;
    EXPECT_EQ(once[2 * 4 * k + 1], expected);
  }
  // Between two frames, the line between them; round the end of the loop, toward the start.
  const int last = (static_cast<int>(bytes[499]) - 128) * 256;
  const int first = (static_cast<int>(bytes[0]) - 128) * 256;
  EXPECT_EQ(once[2 * (4 * 499 + 2)], static_cast<int16_t>(std::lrint(last + (first - last) * 0.5)));
}

TEST_F(MixerTest, SourcesOfAnyRateMixAtTheirVolumeAndClip) {
  // A 16-bit stereo ramp at 22050 Hz (each output frame between two source
  // frames takes the middle), an 8-bit mono constant at 48000 Hz at -6 dB, and
  // a loud 16-bit mono tone that clips where they add up.
  std::vector<int16_t> ramp;
  for (int i = 0; i < 1000; ++i) {
    ramp.push_back(static_cast<int16_t>(i * 10));
    ramp.push_back(static_cast<int16_t>(-i * 10));
  }
  IDirectSoundBuffer* stereo = buffer(2, 22050, 16, samples16(ramp));
  IDirectSoundBuffer* quiet = buffer(1, 48000, 8, std::vector<uint8_t>(4800, 128 + 100), -600);
  Mixer mixer(44100);
  listen(mixer);
  stereo->Play(0, 0, 0);
  quiet->Play(0, 0, 0);
  platform::advanceClock(150000);
  const std::vector<int16_t> out = mixer.samples(platform::nowMicroseconds());

  const double gain = std::pow(10.0, -600 / 2000.0);
  const double constant = 100 * 256 * gain;  // the 8-bit source, resampled, is flat
  // Output frame 2k lies on source frame k of the ramp, 2k+1 halfway to k+1.
  for (int k : {0, 1, 10, 500, 998}) {
    EXPECT_NEAR(out[2 * (2 * k)], 10 * k + constant, 0.51) << k;
    EXPECT_NEAR(out[2 * (2 * k) + 1], -10 * k + constant, 0.51) << k;
    EXPECT_NEAR(out[2 * (2 * k + 1)], 10 * k + 5 + constant, 0.51) << k;
    EXPECT_NEAR(out[2 * (2 * k + 1) + 1], -10 * k - 5 + constant, 0.51) << k;
  }
  // After the ramp (2000 output frames) only the constant goes on, to 0.1 s.
  EXPECT_NEAR(out[2 * 3000], constant, 0.51);
  EXPECT_NEAR(out[2 * 4409], constant, 0.51);
  EXPECT_EQ(out[2 * 4410], 0);

  // Two loud sources add past the 16-bit range: the sum is clipped, not wrapped.
  Mixer loud(44100);
  listen(loud);
  IDirectSoundBuffer* high = buffer(1, 44100, 16, samples16(std::vector<int16_t>(100, 30000)));
  IDirectSoundBuffer* low = buffer(1, 44100, 16, samples16(std::vector<int16_t>(100, -30000)));
  IDirectSoundBuffer* highToo = buffer(1, 44100, 16, samples16(std::vector<int16_t>(100, 30000)));
  high->Play(0, 0, 0);
  highToo->Play(0, 0, 0);
  platform::advanceClock(1000);
  low->Play(0, 0, 0);
  low->Play(0, 0, 0);
  platform::advanceClock(5000);
  const std::vector<int16_t> clipped = loud.samples(platform::nowMicroseconds());
  const size_t start = 6615;  // the clock stood at 0.15 s
  EXPECT_EQ(clipped[2 * start], 32767);
  EXPECT_EQ(clipped[2 * (start + 50)], 30000);  // 30000 + 30000 - 30000 from frame 44 on
}

}  // namespace
