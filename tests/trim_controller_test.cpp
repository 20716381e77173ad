// The trim gauge through the host: arming and centring, the stop check,
// centring runs against the host's trim model, set-up failures and their
// boxes, and the gauge's life from install to tear-down.
#include <cmath>

#include "vantric_fixture.h"
#include "wav_builder.h"

namespace {

using namespace testing_support;
using Kind = TimelineEntry::Kind;

const std::vector<uint32_t> kPlainLookups = {kGate, kTrim, kLimit};
const std::vector<uint32_t> kLookupsWithStopCheck = {kGate, kTrim, kLimit, kTrim};

// ---- Phase 1: arming and centring --------------------------------------------

struct Phase1Row {
  const char* name;
  bool armedBefore;
  bool stopPendingBefore;
  double gate, limit, trim;
  uint32_t event;    // 0: none
  bool soundStarts;  // started in this update
  bool armedAfter;
  bool stopPendingAfter;
};

void PrintTo(const Phase1Row& row, std::ostream* out) { *out << row.name; }

class Phase1Test : public VantricTest, public ::testing::WithParamInterface<Phase1Row> {
 protected:
  // Brings a fresh gauge to the flags the row starts from. A pending stop
  // comes from a set event whose effect the host has not shown yet (the trim
  // model is off, so the trim keeps its value).
  void prepare(bool armed, bool stopPending) {
    if (!stopPending) {
      install(armed ? 0.0 : 1.0);
      return;
    }
    install(0.0);
    set(1.0, 0.01, 0.0);
    update();
    if (armed) {
      set(0.0, 0.01, 0.0);
      update();
    }
    ASSERT_TRUE(soundPlaying());
  }
};

TEST_P(Phase1Test, FollowsTheTable) {
  const Phase1Row& row = GetParam();
  prepare(row.armedBefore, row.stopPendingBefore);
  panel->clearRecords();
  set(row.gate, row.trim, row.limit);
  const std::vector<TimelineEntry> entries = update();

  const std::vector<uint32_t> expectedEvents =
      row.event != 0 ? std::vector<uint32_t>{row.event} : std::vector<uint32_t>{};
  EXPECT_EQ(keyEventIds(), expectedEvents);
  for (const auto& event : panel->keyEvents()) EXPECT_EQ(event.parameter, 0u);
  EXPECT_EQ(only(entries, Kind::SoundStarted).size(), row.soundStarts ? 1u : 0u);
  if (row.soundStarts && row.event != 0) {
    // The sound starts before the event of the same update.
    EXPECT_EQ(entries[3].kind, Kind::SoundStarted);
    EXPECT_EQ(entries[4].kind, Kind::KeyEvent);
  }
  EXPECT_EQ(soundPlaying(), row.stopPendingBefore || row.soundStarts);
  // The stop check reads the trim a second time.
  EXPECT_EQ(lookups(entries), row.stopPendingAfter ? kLookupsWithStopCheck : kPlainLookups);

  // Armed shows as a lower event for a trim far above the band.
  panel->clearRecords();
  set(1.0, 0.5, 0.0);
  update();
  EXPECT_EQ(keyEventIds(), row.armedAfter ? std::vector<uint32_t>{kLower} : std::vector<uint32_t>{});
  EXPECT_TRUE(lookupRecordsWereClean);
}

const Phase1Row kPhase1Rows[] = {
    {"DisarmedGateZeroArms", false, false, 0.0, 0.0, 0.5, 0, false, true, false},
    {"DisarmedGateOneDoesNotRun", false, false, 1.0, 0.0, 0.5, 0, false, false, false},
    {"DisarmedOtherGateNeitherArmsNorRuns", false, false, 0.5, 0.0, 0.5, 0, false, false, false},
    {"ArmedGateNotOneWaits", true, false, 0.5, 0.0, 0.5, 0, false, true, false},
    {"ArmedGateZeroWaits", true, false, 0.0, 0.0, -0.5, 0, false, true, false},
    {"ArmedLimitAtThresholdWaits", true, false, 1.0, 6144.0, 0.5, 0, false, true, false},
    {"ArmedLimitAboveThresholdWaits", true, false, 1.0, 1e9, -0.5, 0, false, true, false},
    {"TrimBelowBandRaises", true, false, 1.0, 6143.999, -0.5, kRaise, true, true, false},
    {"TrimJustBelowBandRaises", true, false, 1.0, -5.0, -0.0200001, kRaise, true, true, false},
    {"TrimAboveBandLowers", true, false, 1.0, 0.0, 0.5, kLower, true, true, false},
    {"TrimJustAboveBandLowers", true, false, 1.0, 0.0, 0.0200001, kLower, true, true, false},
    {"TrimOnLowerBoundSets", true, false, 1.0, 0.0, -0.02, kSet, true, false, true},
    {"TrimOnUpperBoundSets", true, false, 1.0, 0.0, 0.02, kSet, true, false, true},
    {"TrimInBandSets", true, false, 1.0, 0.0, 0.01, kSet, true, false, true},
    {"PendingAndArmedRaisesWithoutRestartingTheSound", true, true, 1.0, 0.0, -0.5, kRaise, false, true, true},
    {"PendingDisarmedDoesNotRun", false, true, 1.0, 0.0, 0.5, 0, false, false, true},
    {"PendingAndArmedSetsAgain", true, true, 1.0, 0.0, 0.01, kSet, false, false, true},
};

INSTANTIATE_TEST_SUITE_P(Rows, Phase1Test, ::testing::ValuesIn(kPhase1Rows),
                         [](const ::testing::TestParamInfo<Phase1Row>& info) { return info.param.name; });

// ---- Phase 2: the stop check ----------------------------------------------------

struct Phase2Row {
  const char* name;
  bool armed;  // armed again while the stop is pending
  double gate, limit, trim;
  bool stops;
};

void PrintTo(const Phase2Row& row, std::ostream* out) { *out << row.name; }

class Phase2Test : public VantricTest, public ::testing::WithParamInterface<Phase2Row> {};

TEST_P(Phase2Test, FollowsTheTable) {
  const Phase2Row& row = GetParam();
  install(0.0);
  set(1.0, 0.01, 0.0);
  update();
  if (row.armed) {
    set(0.0, 0.01, 0.0);
    update();
  }
  ASSERT_TRUE(soundPlaying());
  set(row.gate, row.trim, row.limit);
  const std::vector<TimelineEntry> entries = update();
  EXPECT_EQ(lookups(entries).back(), kTrim);
  EXPECT_EQ(lookups(entries).size(), 4u);
  EXPECT_EQ(only(entries, Kind::SoundStopped).size(), row.stops ? 1u : 0u);
  platform::BufferState state;
  ASSERT_TRUE(trimBuffer(&state));
  EXPECT_EQ(state.playing, !row.stops);
  if (row.stops) {
    EXPECT_EQ(state.position, 0u);
  }

  // A stop clears the pending check; otherwise it comes again next update.
  set(7.0, 0.01, 0.0);
  EXPECT_EQ(lookups(update()), row.stops ? kPlainLookups : kLookupsWithStopCheck);
}

const Phase2Row kPhase2Rows[] = {
    {"ZeroStopsAndRewinds", false, 1.0, 0.0, 0.0, true},
    {"ZeroStopsWhileGateAndLimitWouldStopTheRun", false, 0.5, 9000.0, 0.0, true},
    {"NegativeZeroCountsAsZero", false, 7.0, 0.0, -0.0, true},
    {"TinyTrimKeepsLooping", false, 7.0, 0.0, 1e-300, false},
    {"TrimInBandButNotZeroKeepsLooping", false, 7.0, 0.0, 0.015, false},
    {"ArmedAgainZeroStops", true, 0.0, 0.0, 0.0, true},
    {"ArmedAgainRunSetsAndStops", true, 1.0, 0.0, 0.0, true},
};

INSTANTIATE_TEST_SUITE_P(Rows, Phase2Test, ::testing::ValuesIn(kPhase2Rows),
                         [](const ::testing::TestParamInfo<Phase2Row>& info) { return info.param.name; });

TEST_F(VantricTest, NoStopCheckWithoutASetEvent) {
  install(0.0);
  set(1.0, -0.5, 0.0);
  update();
  ASSERT_TRUE(soundPlaying());
  set(7.0, 0.0, 0.0);
  EXPECT_EQ(lookups(update()), kPlainLookups);
  EXPECT_TRUE(soundPlaying());
}

// ---- Centring runs against the host's trim model --------------------------------

constexpr double kStep = 0.03;

// The events a run must send from `trim`: one direction until the band, then the set.
size_t eventsToBand(double trim) {
  size_t count = 0;
  for (; trim < -0.02; ++count) trim += kStep;
  for (; trim > 0.02; ++count) trim -= kStep;
  return count;
}

class CentringRunTest : public VantricTest, public ::testing::WithParamInterface<double> {};

// Installed with the WAV as a file, armed, then run until the trim reads
// exactly 0.0: the sound loops from before the first event until after the
// trim reads 0.0.
TEST_P(CentringRunTest, CentresTheTrimWithTheSoundLoopingMeanwhile) {
  const double start = GetParam();
  install(1.0);
  panel->setTrimModel(kStep);
  set(0.0, start, 0.0);
  update();  // arms
  EXPECT_TRUE(panel->keyEvents().empty());
  set(1.0, start, 0.0);
  int updates = 0;
  while (panel->keyEvents().empty() || panel->keyEvents().back().eventId != kSet) {
    ASSERT_LT(++updates, 500) << "no set event";
    update();
    if (panel->keyEvents().back().eventId != kSet) {
      EXPECT_TRUE(soundPlaying()) << "update " << updates;
    }
  }
  EXPECT_EQ(panel->tokenVariable(kTrim), 0.0);

  const size_t steps = eventsToBand(start);
  const uint32_t direction = start < 0 ? kRaise : kLower;
  std::vector<uint32_t> expected(steps, direction);
  expected.push_back(kSet);
  EXPECT_EQ(keyEventIds(), expected);

  const std::vector<TimelineEntry> sound = only(timeline, Kind::SoundStarted);
  const std::vector<TimelineEntry> silence = only(timeline, Kind::SoundStopped);
  ASSERT_EQ(sound.size(), 1u);
  ASSERT_EQ(silence.size(), 1u);
  size_t started = 0, firstEvent = 0, setEvent = 0, stopped = 0;
  for (size_t i = 0; i < timeline.size(); ++i) {
    const TimelineEntry& entry = timeline[i];
    if (entry.kind == Kind::SoundStarted) started = i;
    if (entry.kind == Kind::KeyEvent && firstEvent == 0) firstEvent = i;
    if (entry.kind == Kind::KeyEvent && entry.value == kSet) setEvent = i;
    if (entry.kind == Kind::SoundStopped) stopped = i;
  }
  EXPECT_LT(started, firstEvent);
  EXPECT_GT(stopped, setEvent);
  EXPECT_EQ(silence[0].trimAtThatTime, 0.0);
  platform::BufferState state;
  ASSERT_TRUE(trimBuffer(&state));
  EXPECT_FALSE(state.playing);
  EXPECT_EQ(state.position, 0u);
  EXPECT_EQ(state.bytes, samples);

  // Disarmed now: nothing more until the gate reads 0.0 and then 1.0 again.
  set(1.0, -1.0, 0.0);
  update();
  EXPECT_EQ(panel->keyEvents().size(), steps + 1);
  set(0.0, -1.0, 0.0);
  update();
  set(1.0, -1.0, 0.0);
  update();
  EXPECT_EQ(panel->keyEvents().back().eventId, kRaise);
  EXPECT_TRUE(soundPlaying());
  tearDown();
  EXPECT_EQ(platform::liveCounts(), countsAtStart) << platform::describe(platform::liveCounts());
}

INSTANTIATE_TEST_SUITE_P(StartingTrims, CentringRunTest,
                         ::testing::Values(-1.0, 1.0, -0.3, 0.25, 0.015, -0.02, 0.02, 0.0, -0.0));

TEST_F(VantricTest, RunPausesWhileGateOrLimitStopsItAndResumesWithoutRearming) {
  install(0.0);
  panel->setTrimModel(kStep);
  const auto run = [&](double gate, double limit, int updates) {
    panel->setTokenVariable(kGate, gate);
    panel->setTokenVariable(kLimit, limit);
    const size_t before = panel->keyEvents().size();
    for (int i = 0; i < updates; ++i) update();
    return panel->keyEvents().size() - before;
  };
  panel->setTokenVariable(kTrim, -0.6);
  EXPECT_EQ(run(1.0, 0.0, 3), 3u);
  EXPECT_EQ(run(0.5, 0.0, 2), 0u);
  EXPECT_TRUE(soundPlaying());
  EXPECT_EQ(run(1.0, 0.0, 2), 2u);
  EXPECT_EQ(run(1.0, 6144.0, 2), 0u);
  EXPECT_TRUE(soundPlaying());
  EXPECT_EQ(run(0.0, 0.0, 1), 0u);
  EXPECT_EQ(run(1.0, 100.0, 30), eventsToBand(-0.6) - 5 + 1);
  EXPECT_EQ(panel->keyEvents().back().eventId, kSet);
  EXPECT_EQ(panel->tokenVariable(kTrim), 0.0);
  // One start, one stop: pauses never touched the sound.
  EXPECT_EQ(only(timeline, Kind::SoundStarted).size(), 1u);
  EXPECT_EQ(only(timeline, Kind::SoundStopped).size(), 1u);
  EXPECT_FALSE(soundPlaying());
}

TEST_F(VantricTest, LostTrimBufferIsRefilledFromTheFileAndLoopsAgain) {
  install(0.0);
  set(1.0, -0.5, 0.0);
  update();
  platform::BufferState state;
  ASSERT_TRUE(trimBuffer(&state));
  platform::loseBuffer(state.id);
  update();
  ASSERT_TRUE(trimBuffer(&state));
  EXPECT_FALSE(state.lost);
  EXPECT_TRUE(state.playing);
  EXPECT_TRUE(state.looping);
  EXPECT_EQ(state.bytes, samples);
  EXPECT_EQ(only(timeline, Kind::SoundStarted).size(), 2u);
}

// ---- Set-up failures ----------------------------------------------------------------

enum class Trouble { DeviceRefused, LevelRefused, NoMainWindow, WavMissing, WavNotRiff, ViewRefused,
                     BufferRefused, RecordRefused };

struct SetUpRow {
  const char* name;
  Trouble trouble;
  std::vector<std::string> boxes;
  long devicesAfterInstall;
};

const char* const kCreateFailed = "DirectSound: Object Create failed";
const char* const kLevelFailed = "DirectSound: SetCooperativeLevel failed";
const char* const kNotFound = "DirectSound Object Not Found";
const char* const kLoadFailed = "DirectSound: Load qztrim.wav failed";

void PrintTo(const SetUpRow& row, std::ostream* out) { *out << row.name; }

class SetUpFailureTest : public VantricTest, public ::testing::WithParamInterface<SetUpRow> {};

TEST_P(SetUpFailureTest, ShowsItsBoxesAndTheGaugeGoesOnWithoutSound) {
  const SetUpRow& row = GetParam();
  bool wavFile = true;
  switch (row.trouble) {
    case Trouble::DeviceRefused: platform::failCall("DirectSoundCreate"); break;
    case Trouble::LevelRefused: platform::failCall("SetCooperativeLevel"); break;
    case Trouble::NoMainWindow:
      platform::destroyWindow(mainWindow);
      mainWindow = nullptr;
      break;
    case Trouble::WavMissing: wavFile = false; break;
    case Trouble::WavNotRiff: scratch.write("Sound/qztrim.wav", std::string(300, 'w')); wavFile = false; break;
    case Trouble::ViewRefused: platform::failCall("MapViewOfFile"); break;
    case Trouble::BufferRefused: platform::failCall("CreateSoundBuffer"); break;
    case Trouble::RecordRefused: platform::failCall("LocalAlloc"); break;
  }
  install(0.0, wavFile);
  platform::clearFaults();

  std::vector<std::string> texts;
  for (const auto& box : platform::messageBoxes()) {
    texts.push_back(box.text);
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.caption, "DEBUG");
    EXPECT_EQ(box.style, 0x30u);
  }
  EXPECT_EQ(texts, row.boxes);
  platform::LiveCounts counts = platform::liveCounts();
  EXPECT_EQ(counts.devices, countsAtStart.devices + row.devicesAfterInstall);
  EXPECT_EQ(counts.buffers, countsAtStart.buffers);
  EXPECT_EQ(counts.views, countsAtStart.views);
  EXPECT_EQ(counts.kernelHandles, countsAtStart.kernelHandles);
  EXPECT_EQ(counts.localBlocks, countsAtStart.localBlocks);

  // Without sound the gauge still arms, centres and completes.
  panel->setTrimModel(kStep);
  set(1.0, -0.1, 0.0);
  for (int i = 0; i < 10; ++i) update();
  EXPECT_EQ(keyEventIds(), (std::vector<uint32_t>{kRaise, kRaise, kRaise, kSet}));
  EXPECT_EQ(panel->tokenVariable(kTrim), 0.0);
  tearDown();
  EXPECT_EQ(platform::liveCounts(), countsAtStart) << platform::describe(platform::liveCounts());
  EXPECT_EQ(platform::deviceReleasesWithLiveBuffers(), 0);
  EXPECT_EQ(platform::messageBoxes().size(), row.boxes.size());
}

const SetUpRow kSetUpRows[] = {
    {"DeviceRefused", Trouble::DeviceRefused, {kCreateFailed}, 0},
    {"CooperativeLevelRefused", Trouble::LevelRefused, {kLevelFailed}, 1},
    {"NoMainWindow", Trouble::NoMainWindow, {kLevelFailed}, 1},
    {"WavMissing", Trouble::WavMissing, {kNotFound, kLoadFailed}, 1},
    {"WavNotARiffImage", Trouble::WavNotRiff, {kNotFound, kLoadFailed}, 1},
    {"WavFileCannotBeViewed", Trouble::ViewRefused, {kNotFound, kLoadFailed}, 1},
    {"BufferRefused", Trouble::BufferRefused, {kLoadFailed}, 1},
    {"SoundRecordRefused", Trouble::RecordRefused, {kLoadFailed}, 1},
};

INSTANTIATE_TEST_SUITE_P(Rows, SetUpFailureTest, ::testing::ValuesIn(kSetUpRows),
                         [](const ::testing::TestParamInfo<SetUpRow>& info) { return info.param.name; });

// ---- Where the sound comes from, and the gauge's life ---------------------------------

TEST_F(VantricTest, TheModulesOwnResourceIsUsedBeforeTheFile) {
  writeWav();
  load();
  const std::vector<uint8_t> resourceSamples = patternBytes(4000, 77);
  platform::addResource(module->instanceHandle(), "WAVE", "Sound\\qztrim.wav",
                        pcmWav(PcmFormat{1, 11025, 8}, resourceSamples));
  platform::clearFaults();
  module->install();
  for (const std::string& call : platform::failableCallLog()) EXPECT_NE(call, "CreateFileA");
  platform::BufferState state;
  ASSERT_TRUE(trimBuffer(&state));
  EXPECT_EQ(state.bytes, resourceSamples);
  EXPECT_EQ(state.format.wBitsPerSample, 8);
  EXPECT_EQ(state.flags, 0xCAu);
  EXPECT_EQ(platform::liveCounts().views, countsAtStart.views);
  tearDown();
}

TEST_F(VantricTest, OutOfOrderServicesTouchNothingAbsentAndLeakNothing) {
  writeWav();
  load();
  // Updates before install: they arm and send events, with no sound to touch.
  panel->setTrimModel(kStep);
  set(0.0, 0.5, 0.0);
  update();
  set(1.0, 0.5, 0.0);
  update();
  EXPECT_EQ(keyEventIds(), std::vector<uint32_t>{kLower});
  tearDown();

  // Installed twice: the second set-up replaces the first.
  panel->setTokenVariable(kGate, 0.0);
  module->install();
  module->install();
  EXPECT_EQ(platform::liveCounts().devices, countsAtStart.devices + 1);
  EXPECT_EQ(platform::liveCounts().buffers, countsAtStart.buffers + 1);
  EXPECT_EQ(platform::liveCounts().views, countsAtStart.views + 1);
  set(1.0, 0.5, 0.0);
  update();
  EXPECT_TRUE(soundPlaying());

  // Torn down twice, then updated: nothing left to release or to touch.
  tearDown();
  tearDown();
  EXPECT_EQ(platform::liveCounts(), countsAtStart) << platform::describe(platform::liveCounts());
  update();
  EXPECT_EQ(platform::deviceReleasesWithLiveBuffers(), 0);
  EXPECT_EQ(platform::liveCounts(), countsAtStart);
}

}  // namespace
