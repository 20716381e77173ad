// The sound player as other gauges see it: slot variables that start, loop
// and stop sounds, the 0.0 written back when a play-once sound has ended, and
// what happens to a slot in each of its five states for each command.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "korvane3_session.h"
#include "test_support.h"

namespace {

using testing_support::GaugeTest;
using testing_support::Korvane3Session;

enum class SlotState { Unloaded, Idle, Playing, Ended, Loose, Unknown };

const char* stateName(SlotState state) {
  switch (state) {
    case SlotState::Unloaded: return "Unloaded";
    case SlotState::Idle: return "Idle";
    case SlotState::Playing: return "Playing";
    case SlotState::Ended: return "Ended";
    case SlotState::Loose: return "Loose";
    default: return "Unknown";
  }
}

constexpr int kSlot = 0;
constexpr size_t kSoundMilliseconds = 500;
constexpr uint64_t kMillisecond = 1000;

// What one update did to the slot.
struct Effects {
  int startsOnce;
  int startsLooping;
  int stops;
  int zeroWrites;
};

class UpdateCycleTest : public GaugeTest {
 protected:
  // A fresh module with one slot whose sound is kSoundMilliseconds long,
  // connected and configured; then brought into `state`.
  std::unique_ptr<Korvane3Session> sessionIn(SlotState state) {
    panel->clearRecords();
    auto session = std::make_unique<Korvane3Session>(*panel, scratch, 2);
    session->writeSound(kSlot, kSoundMilliseconds);
    session->set(kSlot, 0.0);
    session->setStop(0.0);
    session->windowReady();
    session->update();
    switch (state) {
      case SlotState::Unloaded:
        break;
      case SlotState::Idle:
        session->set(kSlot, 1.0);
        session->update();
        session->set(kSlot, 0.0);
        session->update();
        break;
      case SlotState::Playing:
        session->set(kSlot, 1.0);
        session->update();
        platform::advanceClock(100 * kMillisecond);
        break;
      case SlotState::Ended:
        session->set(kSlot, 1.0);
        session->update();
        platform::advanceClock((kSoundMilliseconds + 100) * kMillisecond);
        break;
      case SlotState::Loose:
        // A stop request whose Stop failed leaves the sound playing with the
        // slot no longer marked started.
        session->set(kSlot, 1.0);
        session->update();
        platform::advanceClock(100 * kMillisecond);
        platform::failCall("Stop");
        session->set(kSlot, 0.0);
        session->update();
        platform::clearFaults();
        break;
      default:
        break;
    }
    session->clearRecords();
    return session;
  }

  Effects effectsOf(const Korvane3Session& session) {
    return Effects{session.starts(kSlot, false), session.starts(kSlot, true), session.stops(kSlot),
                   static_cast<int>(session.writes(kSlot).size())};
  }

  // Tells the slot's state by how it answers a play-once request. A playing
  // buffer is first made to stop (lost): a slot still marked started then
  // answers as an ended one (0.0 written), one that is not starts its sound.
  SlotState classify(Korvane3Session& session) {
    const int id = session.bufferOf(kSlot);
    if (id == 0) return SlotState::Unloaded;
    platform::BufferState state{};
    platform::bufferState(id, &state);
    const bool playing = state.playing;
    if (playing) platform::loseBuffer(id);
    session.clearRecords();
    session.set(kSlot, 1.0);
    session.update();
    const bool wrote = !session.writes(kSlot).empty();
    const bool started = session.starts(kSlot, false) == 1;
    if (wrote == started) return SlotState::Unknown;
    if (playing) return wrote ? SlotState::Playing : SlotState::Loose;
    return wrote ? SlotState::Ended : SlotState::Idle;
  }

  void expectClean() {
    EXPECT_EQ(platform::liveCounts(), countsAtStart)
        << platform::describe(platform::liveCounts()) << " vs " << platform::describe(countsAtStart);
    EXPECT_EQ(platform::deviceReleasesWithLiveBuffers(), 0);
  }
};

// The command class a row stands for, by the value written to the variable.
enum Command { kStop = 0, kOnce = 1, kLoop = 2, kOther = 5 };

struct Transition {
  SlotState from;
  Command command;
  Effects effects;
  SlotState to;
};

const Transition kTransitions[] = {
    {SlotState::Unloaded, kStop, {0, 0, 0, 0}, SlotState::Unloaded},
    {SlotState::Unloaded, kOnce, {1, 0, 0, 0}, SlotState::Playing},
    {SlotState::Unloaded, kLoop, {0, 1, 0, 0}, SlotState::Playing},
    {SlotState::Unloaded, kOther, {0, 0, 0, 0}, SlotState::Unloaded},
    {SlotState::Idle, kStop, {0, 0, 0, 0}, SlotState::Idle},
    {SlotState::Idle, kOnce, {1, 0, 0, 0}, SlotState::Playing},
    {SlotState::Idle, kLoop, {0, 1, 0, 0}, SlotState::Playing},
    {SlotState::Idle, kOther, {0, 0, 0, 0}, SlotState::Idle},
    {SlotState::Playing, kStop, {0, 0, 1, 0}, SlotState::Idle},
    {SlotState::Playing, kOnce, {0, 0, 0, 0}, SlotState::Playing},
    {SlotState::Playing, kLoop, {0, 0, 0, 0}, SlotState::Playing},
    {SlotState::Playing, kOther, {0, 0, 0, 0}, SlotState::Playing},
    {SlotState::Ended, kStop, {0, 0, 0, 0}, SlotState::Idle},
    {SlotState::Ended, kOnce, {0, 0, 0, 1}, SlotState::Idle},
    {SlotState::Ended, kLoop, {0, 1, 0, 0}, SlotState::Playing},
    {SlotState::Ended, kOther, {0, 0, 0, 0}, SlotState::Ended},
    {SlotState::Loose, kStop, {0, 0, 1, 0}, SlotState::Idle},
    {SlotState::Loose, kOnce, {0, 0, 0, 0}, SlotState::Loose},
    {SlotState::Loose, kLoop, {0, 0, 0, 0}, SlotState::Loose},
    {SlotState::Loose, kOther, {0, 0, 0, 0}, SlotState::Loose},
};

TEST_F(UpdateCycleTest, EachStateAnswersEachCommandAsTheStateTableSays) {
  // The probe that tells the states apart, checked on each state first.
  for (SlotState state : {SlotState::Unloaded, SlotState::Idle, SlotState::Playing, SlotState::Ended,
                          SlotState::Loose}) {
    ASSERT_EQ(classify(*sessionIn(state)), state) << stateName(state) << " is not reached as intended";
  }
  for (const Transition& row : kTransitions) {
    SCOPED_TRACE(std::string(stateName(row.from)) + " x command " + std::to_string(row.command));
    auto session = sessionIn(row.from);

    session->set(kSlot, row.command);
    session->update();
    const Effects effects = effectsOf(*session);
    EXPECT_EQ(effects.startsOnce, row.effects.startsOnce);
    EXPECT_EQ(effects.startsLooping, row.effects.startsLooping);
    EXPECT_EQ(effects.stops, row.effects.stops);
    EXPECT_EQ(effects.zeroWrites, row.effects.zeroWrites);
    for (double written : session->writes(kSlot)) EXPECT_EQ(written, 0.0);
    if (row.effects.stops != 0) {
      // Stopped and rewound: the next play starts from the beginning.
      const platform::BufferState state = session->buffer(kSlot);
      EXPECT_FALSE(state.playing);
      EXPECT_EQ(state.position, 0u);
    }
    if (row.effects.startsOnce + row.effects.startsLooping != 0) {
      EXPECT_EQ(session->buffer(kSlot).bytes, testing_support::patternBytes(kSoundMilliseconds, kSlot + 1));
    }
    EXPECT_EQ(classify(*session), row.to);
    session.reset();
  }
  expectClean();
}

TEST_F(UpdateCycleTest, AVariableValueGivesTheCommandOfItsTruncationOrNone) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double value;
    Command command;
  };
  const Case cases[] = {
      {0.5, kStop},   {-0.5, kStop},  {-0.999, kStop}, {1.99, kOnce},   {1.0, kOnce},
      {2.5, kLoop},   {2.999, kLoop}, {3.0, kOther},   {7.0, kOther},   {-1.0, kOther},
      {nan, kOther},  {inf, kOther},  {-inf, kOther},  {1e10, kOther},  {-1e10, kOther},
      {2147483648.0, kOther},  {-2147483649.0, kOther},  {2147483647.5, kOther},
      {-2147483648.5, kOther},
  };
  // From Idle a value shows whether it plays and how; from Playing whether it stops.
  for (const Case& c : cases) {
    for (SlotState from : {SlotState::Idle, SlotState::Playing}) {
      SCOPED_TRACE(std::to_string(c.value) + " from " + stateName(from));
      const Transition* expected = nullptr;
      for (const Transition& row : kTransitions) {
        if (row.from == from && row.command == c.command) expected = &row;
      }
      ASSERT_NE(expected, nullptr);
      auto session = sessionIn(from);
      session->set(kSlot, c.value);
      session->update();
      const Effects effects = effectsOf(*session);
      EXPECT_EQ(effects.startsOnce, expected->effects.startsOnce);
      EXPECT_EQ(effects.startsLooping, expected->effects.startsLooping);
      EXPECT_EQ(effects.stops, expected->effects.stops);
      EXPECT_EQ(effects.zeroWrites, 0);
    }
  }
  expectClean();
}

TEST_F(UpdateCycleTest, APlayOnceSoundIsAnsweredOnceItHasRunOut) {
  auto session = sessionIn(SlotState::Unloaded);
  session->set(kSlot, 1.0);
  session->update();
  EXPECT_EQ(session->starts(kSlot, false), 1);
  platform::advanceClock((kSoundMilliseconds - 1) * kMillisecond);
  session->update();
  EXPECT_TRUE(session->writes(kSlot).empty()) << "still playing";

  platform::advanceClock(2 * kMillisecond);
  const uint64_t ended = platform::nowMicroseconds();
  session->update();
  ASSERT_EQ(session->writes(kSlot), std::vector<double>{0.0});
  EXPECT_EQ(panel->gaugeWrites().back().atMicroseconds, ended);
  EXPECT_EQ(session->value(kSlot), 0.0);
  session->update();
  EXPECT_EQ(session->starts(kSlot, false), 1) << "an answered sound is not played again";
  EXPECT_EQ(session->writes(kSlot).size(), 1u);

  // Stopped by 0.0 while it plays, it plays from its beginning next time.
  session->set(kSlot, 1.0);
  session->update();
  platform::advanceClock(200 * kMillisecond);
  session->set(kSlot, 0.0);
  session->update();
  EXPECT_EQ(session->buffer(kSlot).position, 0u);
  EXPECT_EQ(session->writes(kSlot).size(), 1u) << "a stop request is not answered";
}

TEST_F(UpdateCycleTest, LoopingAndPlayOnceHandOverOnlyWhenASoundIsNotPlaying) {
  auto session = sessionIn(SlotState::Unloaded);
  // A loop asked to play once goes on looping and is never answered.
  session->set(kSlot, 2.0);
  session->update();
  session->set(kSlot, 1.0);
  for (int i = 0; i < 4; ++i) {
    platform::advanceClock(kSoundMilliseconds * kMillisecond);
    session->update();
  }
  EXPECT_TRUE(session->buffer(kSlot).playing);
  EXPECT_TRUE(session->buffer(kSlot).looping);
  EXPECT_TRUE(session->writes(kSlot).empty());

  // A play-once sound asked to loop finishes once, then loops.
  session->set(kSlot, 0.0);
  session->update();
  session->set(kSlot, 1.0);
  session->update();
  session->set(kSlot, 2.0);
  platform::advanceClock(100 * kMillisecond);
  session->update();
  EXPECT_FALSE(session->buffer(kSlot).looping);
  platform::advanceClock(kSoundMilliseconds * kMillisecond);
  session->clearRecords();
  session->update();
  EXPECT_EQ(session->starts(kSlot, true), 1);
  EXPECT_TRUE(session->writes(kSlot).empty());

  // A play-once sound that runs out under another value is only answered.
  session->set(kSlot, 0.0);
  session->update();
  session->set(kSlot, 1.0);
  session->update();
  session->set(kSlot, 5.0);
  platform::advanceClock(2 * kSoundMilliseconds * kMillisecond);
  session->update();
  session->clearRecords();
  session->set(kSlot, 1.0);
  session->update();
  EXPECT_EQ(session->writes(kSlot), std::vector<double>{0.0});
  EXPECT_EQ(session->starts(kSlot, false), 0);
}

TEST_F(UpdateCycleTest, AMissingSoundIsTriedOnEachRequestAndPlaysOnceItExists) {
  auto session = sessionIn(SlotState::Unloaded);
  scratch.remove(testing_support::slotSoundPath(kSlot));
  platform::clearFaults();
  session->set(kSlot, 1.0);
  for (int i = 0; i < 3; ++i) session->update();
  session->set(kSlot, 2.0);
  session->update();
  long opens = 0;
  for (const std::string& call : platform::failableCallLog()) opens += call == "fopen" ? 1 : 0;
  EXPECT_EQ(opens, 4);
  EXPECT_TRUE(platform::buffers().empty());
  EXPECT_EQ(platform::liveCounts().mmioFiles, countsAtStart.mmioFiles);
  EXPECT_EQ(session->value(kSlot), 2.0);
  EXPECT_TRUE(panel->gaugeWrites().empty());

  session->writeSound(kSlot, kSoundMilliseconds);
  session->update();
  EXPECT_EQ(session->starts(kSlot, true), 1);
}

TEST_F(UpdateCycleTest, ASlotWhoseLoadFailedAnswersAPlayRequestAsEnded) {
  // The file opens for the existence test but is no WAV file: the slot is
  // loaded without a buffer, reports not playing, and is never loaded again.
  auto session = sessionIn(SlotState::Unloaded);
  scratch.write(testing_support::slotSoundPath(kSlot), "not a wave file");
  session->set(kSlot, 1.0);
  session->update();
  EXPECT_TRUE(session->writes(kSlot).empty());
  session->update();
  EXPECT_EQ(session->writes(kSlot), std::vector<double>{0.0});
  session->writeSound(kSlot, kSoundMilliseconds);
  session->set(kSlot, 2.0);
  session->update();
  session->set(kSlot, 0.0);
  session->update();
  EXPECT_TRUE(platform::buffers().empty());
  session.reset();
  expectClean();
}

TEST_F(UpdateCycleTest, WithoutADeviceLoadsFailCleanlyAndARepeatedWindowReadyKeepsOneDevice) {
  auto session = std::make_unique<Korvane3Session>(*panel, scratch, 2);
  session->writeSound(kSlot, kSoundMilliseconds);
  session->set(kSlot, 1.0);
  session->update();  // before kServiceWindowReady
  EXPECT_TRUE(platform::buffers().empty());
  EXPECT_EQ(platform::liveCounts().mmioFiles, countsAtStart.mmioFiles);
  session->update();
  EXPECT_EQ(session->writes(kSlot), std::vector<double>{0.0});

  // The device, once made, stays the one device however often the window is ready.
  session->windowReady();
  session->windowReady();
  session->windowReady();
  EXPECT_EQ(platform::devices().size(), 1u);
  session.reset();
  expectClean();
}

TEST_F(UpdateCycleTest, DisconnectStopsWithoutRewindingReleasesBuffersThenDeviceAndWritesNothing) {
  {
    // Before the first update no slot counts as loaded; the device still goes.
    Korvane3Session early(*panel, scratch, 4);
    early.windowReady();
    early.disconnect();
    EXPECT_TRUE(panel->registrations().empty());
    expectClean();
  }
  auto wider = std::make_unique<Korvane3Session>(*panel, scratch, 4);
  for (int slot = 0; slot < 3; ++slot) wider->writeSound(slot, kSoundMilliseconds);
  wider->windowReady();
  wider->set(0, 1.0);
  wider->set(1, 2.0);
  wider->set(2, 1.0);
  wider->update();
  wider->set(2, 0.0);  // loaded, stopped: Idle
  wider->update();
  platform::advanceClock(100 * kMillisecond);
  ASSERT_TRUE(wider->buffer(0).playing);
  ASSERT_TRUE(wider->buffer(1).playing);

  wider->clearRecords();
  platform::clearFaults();
  wider->disconnect();
  EXPECT_EQ(wider->stops(0), 1);
  EXPECT_EQ(wider->stops(1), 1);
  EXPECT_EQ(wider->stops(2), 0);
  for (const std::string& call : platform::failableCallLog()) {
    EXPECT_NE(call, "SetCurrentPosition") << "a sound stopped at disconnect is not rewound";
  }
  EXPECT_TRUE(panel->gaugeWrites().empty());
  expectClean();

  // Later services find nothing to touch.
  platform::clearFaults();
  wider->windowReady();
  wider->update();
  wider->disconnect();
  EXPECT_EQ(platform::failableCallCount(), 0);
  EXPECT_TRUE(panel->gaugeWrites().empty());
  EXPECT_TRUE(panel->registrations().empty());
  expectClean();
}

}  // namespace
