// The multi-buffer sound object, called directly: buffer rotation, looping,
// lost buffers, volume, and creation that fails part of the way.
#include "test_support.h"
#include "trim_gauge/sound_object.h"
#include "trim_gauge/wave_image.h"
#include "wav_builder.h"

namespace {

using testing_support::PcmFormat;
using testing_support::patternBytes;

constexpr const char* kName = "Sound\\qztrim.wav";

class SoundObjectTest : public testing_support::GaugeTest {
 protected:
  SoundObjectTest() {
    EXPECT_EQ(DirectSoundCreate(nullptr, &device, nullptr), DS_OK);
    EXPECT_EQ(device->SetCooperativeLevel(mainWindow, DSSCL_NORMAL), DS_OK);
    baseline = platform::liveCounts();
    platform::setPlaybackObserver([this](const platform::PlaybackEvent& event) {
      if (event.kind == platform::PlaybackEvent::Started) started.push_back(event.bufferId);
      if (event.kind == platform::PlaybackEvent::Stopped) stopped.push_back(event.bufferId);
    });
  }
  ~SoundObjectTest() override {
    platform::setPlaybackObserver(nullptr);
    SoundObject::destroy(sound);
    device->Release();
    EXPECT_EQ(platform::liveCounts(), countsAtStart) << platform::describe(platform::liveCounts());
    EXPECT_EQ(platform::deviceReleasesWithLiveBuffers(), 0);
  }

  void useResource() { platform::addResource(module, "WAVE", kName, wav); }
  void useFile() { scratch.write("Sound/qztrim.wav", wav); }
  SoundObject* make(LONG count) {
    sound = SoundObject::create(device, kName, count, module);
    return sound;
  }
  int id(int index) { return platform::bufferId(sound->buffers()[index]); }
  platform::BufferState state(int index) {
    platform::BufferState s{};
    EXPECT_TRUE(platform::bufferState(id(index), &s));
    return s;
  }

  IDirectSound* device = nullptr;
  platform::LiveCounts baseline{};  // with the device made
  HMODULE module = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x20000));
  // Half a second of 16-bit mono at 22050 Hz.
  const std::vector<uint8_t> samples = patternBytes(22050, 5);
  const std::vector<uint8_t> wav = testing_support::pcmWav(PcmFormat{}, samples);
  SoundObject* sound = nullptr;
  std::vector<int> started, stopped;
};

TEST_F(SoundObjectTest, ThreeBuffersTakeTurnsAndTheOldestIsTakenOver) {
  useResource();
  ASSERT_NE(make(3), nullptr);
  EXPECT_EQ(sound->bufferCount, 3);
  EXPECT_EQ(state(0).duplicateOf, 0);
  EXPECT_EQ(state(1).duplicateOf, id(0));
  EXPECT_EQ(state(2).duplicateOf, id(0));
  EXPECT_EQ(state(1).bytes, samples);

  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(SoundObject::play(sound, 0), 1);
    platform::advanceClock(10000);
  }
  EXPECT_EQ(started, (std::vector<int>{id(0), id(1), id(2), id(0)}));
  // Buffer 0 was stopped and rewound before it started again.
  EXPECT_EQ(stopped, std::vector<int>{id(0)});
  EXPECT_EQ(sound->current, 0);
  EXPECT_LT(state(0).position, state(2).position);

  // Buffers 0 and 1 busy, 2 silent, current at 0: buffer 1 is the one taken over.
  sound->buffers()[2]->Stop();
  sound->current = 0;
  started.clear();
  stopped.clear();
  EXPECT_EQ(SoundObject::play(sound, 0), 1);
  EXPECT_EQ(started, std::vector<int>{id(1)});
  EXPECT_EQ(stopped, std::vector<int>{id(1)});
  EXPECT_EQ(sound->current, 1);
}

TEST_F(SoundObjectTest, ASilentBufferIsUsedAgainWithoutMovingOn) {
  useResource();
  ASSERT_NE(make(3), nullptr);
  EXPECT_EQ(SoundObject::play(sound, 0), 1);
  platform::advanceClock(2000000);  // long past its end
  EXPECT_FALSE(state(0).playing);
  EXPECT_EQ(SoundObject::play(sound, 0), 1);
  EXPECT_EQ(started, (std::vector<int>{id(0), id(0)}));
  EXPECT_EQ(sound->current, 0);
}

TEST_F(SoundObjectTest, OneBufferLoopsAndIsNotDisturbedWhileBusy) {
  useResource();
  ASSERT_NE(make(1), nullptr);
  EXPECT_EQ(SoundObject::play(sound, DSBPLAY_LOOPING), 1);
  platform::advanceClock(100000);
  const DWORD position = state(0).position;
  EXPECT_EQ(SoundObject::play(sound, 0), 0);
  EXPECT_EQ(SoundObject::pickBuffer(sound), nullptr);
  EXPECT_TRUE(state(0).playing);
  EXPECT_TRUE(state(0).looping);
  EXPECT_EQ(state(0).position, position);
  EXPECT_EQ(started.size(), 1u);
  EXPECT_EQ(SoundObject::isPlaying(sound), 1);

  EXPECT_EQ(SoundObject::stopAll(sound), 1);
  EXPECT_FALSE(state(0).playing);
  EXPECT_EQ(state(0).position, 0u);
  EXPECT_EQ(SoundObject::isPlaying(sound), 0);
}

TEST_F(SoundObjectTest, LoopingIsRefusedWithMoreThanOneBuffer) {
  useResource();
  ASSERT_NE(make(2), nullptr);
  EXPECT_EQ(SoundObject::play(sound, DSBPLAY_LOOPING), 0);
  EXPECT_TRUE(started.empty());
  EXPECT_EQ(SoundObject::play(sound, 0), 1);
}

TEST_F(SoundObjectTest, CountBelowOneMakesOneBuffer) {
  useResource();
  for (LONG count : {0, -5}) {
    ASSERT_NE(make(count), nullptr);
    EXPECT_EQ(sound->bufferCount, 1);
    EXPECT_EQ(platform::liveCounts().buffers, countsAtStart.buffers + 1);
    SoundObject::destroy(sound);
    sound = nullptr;
  }
}

TEST_F(SoundObjectTest, StopAllSilencesAndRewindsEveryBufferAndIsPlayingWatchesBufferZero) {
  useResource();
  ASSERT_NE(make(3), nullptr);
  SoundObject::play(sound, 0);
  SoundObject::play(sound, 0);
  platform::advanceClock(50000);
  sound->buffers()[0]->Stop();
  // Buffer 1 still plays, but only buffer 0 counts.
  EXPECT_EQ(SoundObject::isPlaying(sound), 0);
  EXPECT_TRUE(state(1).playing);
  EXPECT_EQ(SoundObject::stopAll(sound), 1);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(state(i).playing) << i;
    EXPECT_EQ(state(i).position, 0u) << i;
  }
}

TEST_F(SoundObjectTest, VolumeOnlyWithinRangeAndOnlyOnBufferZero) {
  useResource();
  ASSERT_NE(make(2), nullptr);
  const struct {
    LONG given;
    LONG expected;
  } cases[] = {{-10000, -10000}, {-2500, -2500}, {0, 0}, {-600, -600},
               {-10001, -600},   {1, -600},      {5000, -600}};
  for (const auto& c : cases) {
    SoundObject::setVolume(sound, c.given);
    EXPECT_EQ(state(0).volume, c.expected) << c.given;
    EXPECT_EQ(state(1).volume, 0) << c.given;
  }
  // playAtVolume sets the volume and plays; one out of range only plays.
  EXPECT_EQ(SoundObject::playAtVolume(sound, 0, -1234), 1);
  EXPECT_EQ(state(0).volume, -1234);
  EXPECT_EQ(SoundObject::playAtVolume(sound, 0, 5000), 1);
  EXPECT_EQ(state(0).volume, -1234);
  EXPECT_EQ(started.size(), 2u);
}

// A lost buffer is restored and filled again before it plays, whether the
// sound came from a resource or from a file; for a file the samples must
// still be readable long after creation.
class LostBufferTest : public SoundObjectTest, public ::testing::WithParamInterface<bool> {};

TEST_P(LostBufferTest, IsRestoredAndRefilledBeforeItPlays) {
  const bool fromFile = GetParam();
  fromFile ? useFile() : useResource();
  ASSERT_NE(make(1), nullptr);
  EXPECT_EQ(platform::liveCounts().views, countsAtStart.views + (fromFile ? 1 : 0));
  // Other mappings come and go meanwhile.
  for (int i = 0; i < 3; ++i) {
    scratch.write("other.wav", testing_support::pcmWav(PcmFormat{}, patternBytes(40000, 99)));
    const WAVEFORMATEX* format;
    const BYTE* data;
    DWORD size;
    const void* view;
    ASSERT_EQ(mapWaveFile("other.wav", &format, &data, &size, &view), 1);
    UnmapViewOfFile(view);
  }
  EXPECT_EQ(SoundObject::play(sound, DSBPLAY_LOOPING), 1);
  platform::loseBuffer(id(0));
  EXPECT_TRUE(state(0).lost);
  EXPECT_EQ(SoundObject::isPlaying(sound), 0);
  EXPECT_EQ(SoundObject::play(sound, DSBPLAY_LOOPING), 1);
  EXPECT_FALSE(state(0).lost);
  EXPECT_TRUE(state(0).playing);
  EXPECT_EQ(state(0).bytes, samples);

  // A restore that fails gives up; the next play tries again.
  platform::loseBuffer(id(0), 1);
  EXPECT_EQ(SoundObject::play(sound, DSBPLAY_LOOPING), 0);
  EXPECT_EQ(SoundObject::play(sound, DSBPLAY_LOOPING), 1);
  EXPECT_EQ(state(0).bytes, samples);

  SoundObject::destroy(sound);
  sound = nullptr;
  EXPECT_EQ(platform::liveCounts().views, countsAtStart.views);
}

INSTANTIATE_TEST_SUITE_P(FromResourceAndFile, LostBufferTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("File") : std::string("Resource");
                         });

TEST_F(SoundObjectTest, MissingOrUnusableWavShowsOneBoxAndMakesNothing) {
  for (bool writeBadFile : {false, true}) {
    if (writeBadFile) scratch.write("Sound/qztrim.wav", std::string(100, 'x'));
    EXPECT_EQ(make(1), nullptr);
  }
  ASSERT_EQ(platform::messageBoxes().size(), 2u);
  for (const auto& box : platform::messageBoxes()) {
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.text, "DirectSound Object Not Found");
    EXPECT_EQ(box.caption, "DEBUG");
    EXPECT_EQ(box.style, 0x30u);
  }
}

TEST_F(SoundObjectTest, DuplicateRefusedMakesAFreshBuffer) {
  useFile();
  platform::failCall("DuplicateSoundBuffer", 2);
  ASSERT_NE(make(3), nullptr);
  EXPECT_EQ(state(1).duplicateOf, id(0));
  EXPECT_EQ(state(2).duplicateOf, 0);
  EXPECT_EQ(state(2).bytes, samples);
}

// Creation failing at any platform call on the way gives back everything it
// took: no buffer, no view, no handle, no record.
class CreateFaultTest : public SoundObjectTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CreateFaultTest, EveryFailureLeavesNothingBehind) {
  GetParam() ? useFile() : useResource();
  long failures = 1;
  for (long n = 1; failures != 0; ++n) {
    ASSERT_LT(n, 200) << "creation never ran clean";
    platform::clearFaults();
    platform::failNthCall(n);
    SoundObject* made = SoundObject::create(device, kName, 3, module);
    failures = platform::injectedFailures();
    platform::clearFaults();
    if (made != nullptr) {
      for (int i = 0; i < made->bufferCount; ++i) {
        platform::BufferState s{};
        ASSERT_TRUE(platform::bufferState(platform::bufferId(made->buffers()[i]), &s)) << n;
        EXPECT_EQ(s.bytes, samples) << "call " << n << " buffer " << i;
      }
      SoundObject::destroy(made);
    }
    EXPECT_EQ(platform::liveCounts(), baseline)
        << "failing call " << n << ": " << platform::describe(platform::liveCounts());
  }
}

INSTANTIATE_TEST_SUITE_P(FromResourceAndFile, CreateFaultTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("File") : std::string("Resource");
                         });

TEST(SoundObjectAbsent, EveryOperationDoesNothing) {
  EXPECT_EQ(SoundObject::pickBuffer(nullptr), nullptr);
  EXPECT_EQ(SoundObject::play(nullptr, 0), 0);
  EXPECT_EQ(SoundObject::playAtVolume(nullptr, DSBPLAY_LOOPING, 0), 0);
  EXPECT_EQ(SoundObject::stopAll(nullptr), 0);
  EXPECT_EQ(SoundObject::isPlaying(nullptr), 0);
  SoundObject::setVolume(nullptr, -100);
  SoundObject::destroy(nullptr);
}

}  // namespace
