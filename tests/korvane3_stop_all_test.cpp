// The stop-all variable: every playing slot but the last configured one is
// stopped, rewound and answered with 0.0, and the variable itself is reset.
#include <limits>
#include <string>
#include <vector>

#include "korvane3_session.h"
#include "test_support.h"

namespace {

using testing_support::GaugeTest;
using testing_support::Korvane3Session;
using testing_support::kStopVariable;
using testing_support::slotVariable;

constexpr uint64_t kMillisecond = 1000;
constexpr size_t kSoundMilliseconds = 400;

class StopAllTest : public GaugeTest {
 protected:
  void expectClean() {
    EXPECT_EQ(platform::liveCounts(), countsAtStart) << platform::describe(platform::liveCounts());
    EXPECT_EQ(platform::deviceReleasesWithLiveBuffers(), 0);
  }
};

TEST_F(StopAllTest, StopsEveryPlayingSlotButTheLastEvenOneStartedInTheSameUpdate) {
  Korvane3Session session(*panel, scratch, -1);  // MaxSounds missing: 100 slots
  for (int slot : {0, 10, 50, 99}) session.writeSound(slot, kSoundMilliseconds);
  session.windowReady();
  session.update();
  for (int slot : {0, 50, 99}) session.set(slot, 2.0);
  session.update();
  platform::advanceClock(100 * kMillisecond);

  session.clearRecords();
  session.set(10, 1.0);  // asked for in the very update that stops everything
  session.setStop(1.0);
  session.update();

  EXPECT_EQ(session.starts(10, false), 1);
  for (int slot : {0, 10, 50}) {
    SCOPED_TRACE(slot);
    EXPECT_EQ(session.stops(slot), 1);
    EXPECT_FALSE(session.buffer(slot).playing);
    EXPECT_EQ(session.buffer(slot).position, 0u);
    EXPECT_EQ(session.value(slot), 0.0);
  }
  EXPECT_TRUE(session.buffer(99).playing);
  EXPECT_EQ(session.value(99), 2.0);
  EXPECT_EQ(session.writtenNames(),
            (std::vector<std::string>{slotVariable(0), slotVariable(10), slotVariable(50), kStopVariable}));
  EXPECT_EQ(panel->namedVariable(kStopVariable), 0.0);

  // The slots stopped by it are Idle: with their variables at 0.0 they stay quiet.
  session.clearRecords();
  platform::advanceClock(kSoundMilliseconds * kMillisecond);
  session.update();
  EXPECT_TRUE(panel->gaugeWrites().empty());
  EXPECT_TRUE(session.buffer(99).playing);
}

TEST_F(StopAllTest, OnlyAValueAboveZeroStopsAndOnlyThenIsTheVariableReset) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    int slotCount;
    double stopValue;
    bool soundPlaying;  // slot 0 plays a loop before the stop request
    bool slot0Stopped;
    bool stopVariableWritten;
  };
  const Case cases[] = {
      {3, 0.0, true, false, false},  {3, -1.0, true, false, false}, {3, nan, true, false, false},
      {3, 1.0, true, true, true},    {3, 0.5, true, true, true},    {3, 1e-300, true, true, true},
      {3, 1.0, false, false, true},  // nothing plays: only the variable is reset
      {1, 1.0, true, false, true},   // slot 0 is the last slot: the pass covers none
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("slotCount " + std::to_string(c.slotCount) + " stop " + std::to_string(c.stopValue) +
                 (c.soundPlaying ? " playing" : " quiet"));
    {
      Korvane3Session session(*panel, scratch, c.slotCount);
      session.writeSound(0, kSoundMilliseconds);
      session.setStop(0.0);
      session.set(0, c.soundPlaying ? 2.0 : 0.0);
      session.windowReady();
      session.update();
      session.clearRecords();
      session.setStop(c.stopValue);
      session.update();
      EXPECT_EQ(session.stops(0), c.slot0Stopped ? 1 : 0);
      if (c.soundPlaying) {
        EXPECT_EQ(session.buffer(0).playing, !c.slot0Stopped);
      }
      std::vector<std::string> expected;
      if (c.slot0Stopped) expected.push_back(slotVariable(0));
      if (c.stopVariableWritten) expected.push_back(kStopVariable);
      EXPECT_EQ(session.writtenNames(), expected);
    }
    expectClean();
  }
}

TEST_F(StopAllTest, WithNoSlotsAnUpdateOnlyReadsAndAnswersTheStopVariable) {
  Korvane3Session session(*panel, scratch, 0);
  session.writeSound(0, kSoundMilliseconds);
  session.set(0, 1.0);
  session.windowReady();
  session.update();
  EXPECT_EQ(panel->registrations(), std::vector<std::string>{kStopVariable});
  platform::clearFaults();
  session.setStop(1.0);
  session.update();
  EXPECT_EQ(platform::failableCallCount(), 0) << "no file is tested, no buffer asked";
  EXPECT_TRUE(platform::buffers().empty());
  EXPECT_EQ(session.writtenNames(), std::vector<std::string>{kStopVariable});
}

}  // namespace
