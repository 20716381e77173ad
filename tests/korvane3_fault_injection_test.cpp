// Every platform call the sound player makes, failed one at a time during a
// whole session: load, configure, connect, play once and looping, let a sound
// end, stop, lose a buffer and play it again, disconnect. No run may crash or
// leave anything alive, and the gauge only ever answers with 0.0.
#include <memory>
#include <string>
#include <vector>

#include "korvane3_session.h"
#include "test_support.h"

namespace {

using testing_support::GaugeTest;
using testing_support::Korvane3Session;

constexpr uint64_t kMillisecond = 1000;

struct RunRecord {
  std::vector<host::VariableWrite> writes;
  bool configured = false;     // the module had its storage and read its INI file
  bool slot0Answered = false;  // its play-once request was answered with 0.0
  bool stopAnswered = false;   // the stop-all variable was reset
};

// One session; the fault armed by the caller fires somewhere inside it.
RunRecord runSession(host::PanelHost& panel, const testing_support::ScratchFolder& scratch) {
  RunRecord record;
  Korvane3Session session(panel, scratch, 2);
  session.writeSound(0, 200);
  session.writeSound(1, 300);
  session.set(0, 0.0);
  session.set(1, 0.0);
  session.setStop(0.0);
  session.windowReady();
  session.update();

  session.set(0, 1.0);
  session.set(1, 2.0);
  session.update();
  platform::advanceClock(250 * kMillisecond);
  session.update();  // slot 0 has run out: answered
  record.slot0Answered = session.value(0) == 0.0;

  session.set(1, 0.0);
  session.update();

  // Both buffers lost; slot 0's comes back only after two failed restores.
  for (const platform::BufferState& buffer : platform::buffers()) platform::loseBuffer(buffer.id, 2);
  session.set(0, 1.0);
  session.set(1, 2.0);
  session.update();
  platform::advanceClock(50 * kMillisecond);
  session.setStop(1.0);
  session.update();
  record.stopAnswered = panel.namedVariable(testing_support::kStopVariable) == 0.0;
  record.configured = !panel.registrations().empty();
  session.disconnect();
  record.writes = panel.gaugeWrites();
  return record;
}

TEST_F(GaugeTest, EachFailedPlatformCallLeavesNothingBehind) {
  const platform::LiveCounts start = platform::liveCounts();
  const long devicesReleasedEarly = platform::deviceReleasesWithLiveBuffers();

  // The run without faults, as the reference for the calls made.
  platform::clearFaults();
  RunRecord clean;
  {
    host::PanelHost runHost;
    clean = runSession(runHost, scratch);
  }
  const std::vector<std::string> calls = platform::failableCallLog();
  ASSERT_TRUE(clean.slot0Answered);
  ASSERT_EQ(platform::liveCounts(), start) << platform::describe(platform::liveCounts());

  long failuresSeen = 0;
  for (long nth = 1;; ++nth) {
    platform::clearFaults();
    platform::failNthCall(nth);
    RunRecord run;
    {
      host::PanelHost runHost;
      run = runSession(runHost, scratch);
    }
    if (platform::injectedFailures() == 0) break;
    ++failuresSeen;
    const std::string failed =
        nth <= static_cast<long>(platform::failableCallLog().size()) ? platform::failableCallLog()[nth - 1] : "?";
    SCOPED_TRACE("failed call " + std::to_string(nth) + ": " + failed);
    ASSERT_EQ(platform::liveCounts(), start) << platform::describe(platform::liveCounts());
    ASSERT_EQ(platform::deviceReleasesWithLiveBuffers(), devicesReleasedEarly);
    for (const host::VariableWrite& write : run.writes) EXPECT_EQ(write.value, 0.0) << write.name;
    // Whatever failed, a configured player answers: a play-once request whose
    // load or start failed reads as ended, and stop-all is always reset. Only
    // a failed existence test leaves the slot unloaded, to be tried again.
    if (!run.configured) continue;
    EXPECT_TRUE(run.stopAnswered);
    if (failed != "fopen") {
      EXPECT_TRUE(run.slot0Answered);
    }
  }
  // Every call of the clean run was failed once.
  EXPECT_EQ(failuresSeen, static_cast<long>(calls.size()));
  platform::clearFaults();
}

}  // namespace
