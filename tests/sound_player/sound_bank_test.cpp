// The sound bank against the platform's DirectSound: loading a slot into a
// static buffer, playing, stopping, restoring a lost buffer, and what a slot
// without a device or without a buffer does.
#include <string>
#include <vector>

#include "sound_player/sound_bank.h"
#include "test_support.h"
#include "wav_builder.h"

namespace {

using testing_support::GaugeTest;
using testing_support::patternBytes;
using testing_support::PcmFormat;

constexpr uint64_t kMillisecond = 1000;

// 8-bit mono at 1000 Hz: one byte per millisecond.
PcmFormat millisecondFormat() {
  PcmFormat format;
  format.bitsPerSample = 8;
  format.sampleRate = 1000;
  return format;
}

class SoundBankTest : public GaugeTest {
 protected:
  void TearDown() override {
    for (uint16_t index = 0; index < kMaxSoundSlots; ++index) SoundBank::releaseSlot(index);
    SoundBank::disconnect();
    EXPECT_EQ(platform::liveCounts(), countsAtStart) << platform::describe(platform::liveCounts());
    EXPECT_EQ(platform::deviceReleasesWithLiveBuffers(), 0);
  }

  std::string writeSound(const std::string& name, const std::vector<uint8_t>& samples) {
    return scratch.write(name, testing_support::pcmWav(millisecondFormat(), samples));
  }

  platform::BufferState bufferOf(uint16_t index) {
    platform::BufferState state{};
    EXPECT_TRUE(platform::bufferState(platform::bufferId(SoundBank::bank.buffers[index]), &state));
    return state;
  }
};

TEST_F(SoundBankTest, ALoadFillsAStaticBufferWithTheWholeDataEvenWhenTheLockIsSplit) {
  const std::vector<uint8_t> samples = patternBytes(5001, 2);
  const std::string path = writeSound("a.wav", samples);
  ASSERT_EQ(SoundBank::connect(), S_OK);
  for (DWORD split : {0u, 1u, 37u, 5000u}) {
    SCOPED_TRACE(split);
    if (split != 0) platform::splitNextLock(0, split);
    ASSERT_EQ(SoundBank::loadSlot(3, path.c_str()), S_OK);
    const platform::BufferState state = bufferOf(3);
    EXPECT_EQ(state.flags, static_cast<DWORD>(DSBCAPS_STATIC));
    EXPECT_EQ(state.bytes, samples);
    EXPECT_EQ(state.format.nSamplesPerSec, 1000u);
    EXPECT_EQ(state.format.wBitsPerSample, 8);
    EXPECT_FALSE(state.playing);
    EXPECT_EQ(SoundBank::bank.bufferSizes[3], samples.size());
    // Ready to fill again: at the start of the data with all of it to read.
    EXPECT_EQ(SoundBank::bank.readers[3]->dataChunk.cksize, samples.size());
  }
  // Each load replaced what the slot held.
  EXPECT_EQ(platform::buffers().size(), 1u);
  EXPECT_EQ(platform::liveCounts().mmioFiles, countsAtStart.mmioFiles + 1);
}

TEST_F(SoundBankTest, PlayLoopsForAnyNonZeroFlagAndStopRewindsOnlyWhenAsked) {
  const std::string path = writeSound("a.wav", patternBytes(1000));
  ASSERT_EQ(SoundBank::connect(), S_OK);
  ASSERT_EQ(SoundBank::loadSlot(0, path.c_str()), S_OK);

  EXPECT_EQ(SoundBank::play(0, 2), S_OK);
  EXPECT_TRUE(bufferOf(0).looping);
  platform::advanceClock(2300 * kMillisecond);
  EXPECT_EQ(SoundBank::isPlaying(0), 1);
  EXPECT_EQ(SoundBank::stop(0, 0), S_OK);
  EXPECT_EQ(SoundBank::isPlaying(0), 0);
  EXPECT_EQ(bufferOf(0).position, 300u);

  // Play sets no position: it goes on from where it stopped, once.
  EXPECT_EQ(SoundBank::play(0, 0), S_OK);
  EXPECT_FALSE(bufferOf(0).looping);
  platform::advanceClock(100 * kMillisecond);
  EXPECT_EQ(SoundBank::stop(0, 1), S_OK);
  EXPECT_EQ(bufferOf(0).position, 0u);
  EXPECT_EQ(SoundBank::play(0, 0), S_OK);
  platform::advanceClock(1000 * kMillisecond);
  EXPECT_EQ(SoundBank::isPlaying(0), 0) << "a play-once sound stops at its end";
}

TEST_F(SoundBankTest, ARepeatedConnectKeepsItsDeviceAndSetsTheCooperativeLevelAgain) {
  const std::string path = writeSound("a.wav", patternBytes(100));
  platform::destroyWindow(mainWindow);
  EXPECT_LT(SoundBank::connect(), 0) << "no host window yet";
  ASSERT_NE(SoundBank::bank.device, nullptr);
  ASSERT_EQ(SoundBank::loadSlot(0, path.c_str()), S_OK);
  EXPECT_LT(SoundBank::play(0, 0), 0) << "no cooperative level";

  mainWindow = platform::createWindow("FS98MAIN");
  IDirectSound* first = SoundBank::bank.device;
  EXPECT_EQ(SoundBank::connect(), S_OK);
  EXPECT_EQ(SoundBank::connect(), S_OK);
  EXPECT_EQ(SoundBank::bank.device, first);
  ASSERT_EQ(platform::devices().size(), 1u);
  EXPECT_EQ(platform::devices()[0].cooperativeWindow, mainWindow);
  EXPECT_EQ(SoundBank::play(0, 0), S_OK) << "the buffer made before still plays";

  SoundBank::releaseSlot(0);
  EXPECT_EQ(SoundBank::disconnect(), S_OK);
  EXPECT_EQ(SoundBank::bank.device, nullptr);
  EXPECT_EQ(SoundBank::disconnect(), S_OK);
  EXPECT_EQ(SoundBank::releaseSlot(0), S_OK);
}

TEST_F(SoundBankTest, WithoutADeviceALoadFailsAndMakesNothing) {
  const std::string path = writeSound("a.wav", patternBytes(100));
  EXPECT_EQ(SoundBank::loadSlot(5, path.c_str()), E_FAIL);
  EXPECT_EQ(SoundBank::bank.readers[5], nullptr);
  EXPECT_EQ(SoundBank::bank.buffers[5], nullptr);
  EXPECT_EQ(platform::liveCounts(), countsAtStart);
}

TEST_F(SoundBankTest, ASlotWithoutABufferReportsNotPlayingAndDoesNothing) {
  ASSERT_EQ(SoundBank::connect(), S_OK);
  struct Case {
    const char* name;
    std::vector<uint8_t> image;
    HRESULT load;
  };
  std::vector<uint8_t> adpcm = testing_support::RiffBuilder()
                                   .chunk("fmt ", testing_support::formatBodyWithExtra(2, PcmFormat(), {1, 2}))
                                   .data(patternBytes(64))
                                   .build();
  const Case cases[] = {
      {"not a WAV file", {'n', 'o', 'p', 'e'}, E_FAIL},
      {"a format DirectSound does not play", adpcm, DSERR_BADFORMAT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = scratch.write("bad.wav", c.image);
    EXPECT_EQ(SoundBank::loadSlot(1, path.c_str()), c.load);
    EXPECT_EQ(SoundBank::bank.buffers[1], nullptr);
    platform::clearFaults();
    EXPECT_EQ(SoundBank::isPlaying(1), 0);
    EXPECT_LT(SoundBank::play(1, 1), 0);
    EXPECT_LT(SoundBank::stop(1, 1), 0);
    EXPECT_EQ(platform::failableCallCount(), 0) << "no platform call for a slot without a buffer";
    EXPECT_EQ(SoundBank::releaseSlot(1), S_OK);
  }
}

TEST_F(SoundBankTest, ALostBufferIsRestoredAndRefilledBeforeItPlays) {
  const std::vector<uint8_t> samples = patternBytes(500, 4);
  const std::string path = writeSound("a.wav", samples);
  ASSERT_EQ(SoundBank::connect(), S_OK);
  ASSERT_EQ(SoundBank::loadSlot(2, path.c_str()), S_OK);
  const int id = platform::bufferId(SoundBank::bank.buffers[2]);
  ASSERT_EQ(SoundBank::play(2, 1), S_OK);
  platform::loseBuffer(id, 3);

  // Status and stop leave a lost buffer as it is.
  EXPECT_EQ(SoundBank::isPlaying(2), 0);
  SoundBank::stop(2, 1);
  EXPECT_TRUE(bufferOf(2).lost);

  std::vector<uint8_t> bytesAtStart;
  platform::setPlaybackObserver([&](const platform::PlaybackEvent& event) {
    platform::BufferState state{};
    if (event.kind == platform::PlaybackEvent::Started && platform::bufferState(event.bufferId, &state)) {
      bytesAtStart = state.bytes;
    }
  });
  const uint64_t before = platform::nowMicroseconds();
  EXPECT_EQ(SoundBank::play(2, 0), S_OK);
  platform::setPlaybackObserver({});
  EXPECT_EQ(bytesAtStart, samples) << "refilled before it started";
  EXPECT_FALSE(bufferOf(2).lost);
  EXPECT_EQ(SoundBank::isPlaying(2), 1);
  EXPECT_EQ(platform::nowMicroseconds() - before, 20 * kMillisecond) << "two waits of 10 ms";
}

TEST_F(SoundBankTest, ABufferThatStaysLostIsGivenUpAfterABoundedWait) {
  const std::string path = writeSound("a.wav", patternBytes(500, 4));
  ASSERT_EQ(SoundBank::connect(), S_OK);
  ASSERT_EQ(SoundBank::loadSlot(2, path.c_str()), S_OK);
  platform::loseBuffer(platform::bufferId(SoundBank::bank.buffers[2]), 1000000);
  const uint64_t before = platform::nowMicroseconds();
  EXPECT_EQ(SoundBank::play(2, 0), DSERR_BUFFERLOST);
  EXPECT_EQ(platform::nowMicroseconds() - before,
            SoundBank::kRestorePasses * SoundBank::kRestoreWaitMilliseconds * kMillisecond);
  EXPECT_EQ(SoundBank::isPlaying(2), 0);
}

TEST_F(SoundBankTest, ARefillAfterAFailedReadWritesTheWholeSound) {
  // Larger than the reader's I/O buffer, so the read needs several refills.
  const std::vector<uint8_t> samples = patternBytes(200003, 6);
  const std::string path = writeSound("a.wav", samples);
  ASSERT_EQ(SoundBank::connect(), S_OK);
  platform::failCall("mmioAdvance", 2);
  EXPECT_EQ(SoundBank::loadSlot(4, path.c_str()), E_FAIL);
  platform::clearFaults();
  ASSERT_NE(SoundBank::bank.buffers[4], nullptr) << "a failed fill keeps its buffer";
  EXPECT_EQ(bufferOf(4).bytes, std::vector<uint8_t>(samples.size(), 0)) << "a failed read writes nothing";
  EXPECT_LT(SoundBank::bank.readers[4]->dataChunk.cksize, samples.size()) << "left inside the data";

  platform::loseBuffer(platform::bufferId(SoundBank::bank.buffers[4]));
  EXPECT_EQ(SoundBank::play(4, 0), S_OK);
  EXPECT_EQ(bufferOf(4).bytes, samples);
}

}  // namespace
