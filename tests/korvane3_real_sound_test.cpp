// A real WAV file, written by nobody here (alsa-utils' test sounds), played
// through a named variable from start to end: once, looping, and stopped.
#include <filesystem>
#include <string>
#include <vector>

#include "korvane3_session.h"
#include "test_support.h"

namespace {

using testing_support::GaugeTest;
using testing_support::Korvane3Session;
using testing_support::slotVariable;

const char kRealSound[] = "/usr/share/sounds/alsa/Front_Center.wav";

TEST_F(GaugeTest, ARealWavPlaysOnceIsAnsweredLoopsAndStops) {
  ASSERT_TRUE(std::filesystem::exists(kRealSound)) << kRealSound << " comes with the package alsa-utils";
  Korvane3Session session(*panel, scratch, 2, std::string("[Sounds]\r\nSound00=") + kRealSound + "\r\n");
  session.windowReady();
  session.update();
  session.set(0, 1.0);
  session.update();

  const std::vector<platform::BufferState> buffers = platform::buffers();
  ASSERT_EQ(buffers.size(), 1u);
  const platform::BufferState sound = buffers.front();
  EXPECT_TRUE(sound.playing);
  EXPECT_FALSE(sound.looping);
  EXPECT_EQ(sound.format.wFormatTag, 1);
  ASSERT_GT(sound.format.nAvgBytesPerSec, 0u);
  ASSERT_GT(sound.bytes.size(), 0u);
  // Most of a second of sound: the file's whole data chunk.
  const uint64_t length = sound.bytes.size() * uint64_t{1000000} / sound.format.nAvgBytesPerSec;
  EXPECT_GT(length, 1000000u);

  platform::advanceClock(length - 1000);
  session.update();
  EXPECT_TRUE(panel->gaugeWrites().empty());
  platform::advanceClock(2000);
  session.update();
  ASSERT_EQ(panel->gaugeWrites().size(), 1u);
  EXPECT_EQ(panel->gaugeWrites()[0].name, slotVariable(0));
  EXPECT_EQ(panel->gaugeWrites()[0].value, 0.0);
  EXPECT_EQ(session.value(0), 0.0);

  session.set(0, 2.0);
  session.update();
  platform::advanceClock(3 * length);
  session.update();
  platform::BufferState looping{};
  ASSERT_TRUE(platform::bufferState(sound.id, &looping));
  EXPECT_TRUE(looping.playing);
  EXPECT_TRUE(looping.looping);

  session.set(0, 0.0);
  session.update();
  ASSERT_TRUE(platform::bufferState(sound.id, &looping));
  EXPECT_FALSE(looping.playing);
  EXPECT_EQ(looping.position, 0u);

  // Looping again, then stopped by the stop-all variable (slot 0 is not the last slot).
  session.set(0, 2.0);
  session.update();
  session.setStop(1.0);
  session.update();
  ASSERT_TRUE(platform::bufferState(sound.id, &looping));
  EXPECT_FALSE(looping.playing);
  EXPECT_EQ(session.value(0), 0.0);
  EXPECT_EQ(panel->namedVariable(testing_support::kStopVariable), 0.0);

  session.disconnect();
  EXPECT_EQ(platform::liveCounts(), countsAtStart) << platform::describe(platform::liveCounts());
}

}  // namespace
