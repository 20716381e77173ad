// Every platform call the trim gauge makes fails in turn, across install,
// updates with a lost buffer, and tear-down: no crash, nothing leaked.
#include <algorithm>

#include "vantric_fixture.h"
#include "wav_builder.h"

namespace {

using namespace testing_support;

enum class WavSource { File, Resource, Missing };

struct FaultRow {
  const char* name;
  WavSource source;
  std::vector<const char*> callsThatMustFail;  // each failed in some run
};

void PrintTo(const FaultRow& row, std::ostream* out) { *out << row.name; }

class TrimFaultTest : public VantricTest, public ::testing::WithParamInterface<FaultRow> {
 protected:
  // One life of a fresh gauge: install, a centring run with the trim buffer
  // lost part of the way, then tear-down. True when the trim was centred.
  bool live(WavSource source) {
    load();
    if (source == WavSource::Resource) {
      platform::addResource(module->instanceHandle(), "WAVE", "Sound\\qztrim.wav", wav);
    }
    panel->clearRecords();
    panel->setTokenVariable(kGate, 0.0);
    module->install();
    panel->setTrimModel(0.03);
    set(1.0, -0.3, 0.0);
    for (int i = 0; i < 20 && panel->tokenVariable(kTrim) != 0.0; ++i) {
      update();
      platform::BufferState state;
      if (i == 3 && trimBuffer(&state)) platform::loseBuffer(state.id);
    }
    const bool centred = panel->tokenVariable(kTrim) == 0.0;
    tearDown();
    return centred;
  }
};

TEST_P(TrimFaultTest, EachFailingCallLeavesNothingBehind) {
  const FaultRow& row = GetParam();
  if (row.source == WavSource::File) writeWav();
  std::vector<std::string> callsFailed;
  long failures = 1;
  for (long n = 1; failures != 0; ++n) {
    ASSERT_LT(n, 1000) << "the gauge never ran clean";
    platform::clearFaults();
    platform::failNthCall(n);
    const size_t boxesBefore = platform::messageBoxes().size();
    const bool centred = live(row.source);
    failures = platform::injectedFailures();
    if (failures != 0) callsFailed.push_back(platform::failableCallLog()[static_cast<size_t>(n - 1)]);
    platform::clearFaults();
    EXPECT_TRUE(centred) << "failing call " << n;
    EXPECT_EQ(platform::liveCounts(), countsAtStart)
        << "failing call " << n << ": " << platform::describe(platform::liveCounts());
    EXPECT_EQ(platform::deviceReleasesWithLiveBuffers(), 0) << "failing call " << n;
    if (failures == 0 && row.source != WavSource::Missing) {
      // The clean run had its sound and nothing to warn about.
      EXPECT_EQ(platform::messageBoxes().size(), boxesBefore);
      EXPECT_EQ(panel->keyEvents().back().eventId, kSet);
    }
  }
  for (const char* call : row.callsThatMustFail) {
    EXPECT_NE(std::find(callsFailed.begin(), callsFailed.end(), call), callsFailed.end()) << call;
  }
}

const FaultRow kFaultRows[] = {
    {"WavAsFile",
     WavSource::File,
     {"FindWindowA", "DirectSoundCreate", "SetCooperativeLevel", "FindResourceA", "CreateFileA",
      "GetFileSize", "CreateFileMappingA", "MapViewOfFile", "LocalAlloc", "CreateSoundBuffer", "Lock",
      "Unlock", "GetStatus", "Play", "Stop", "SetCurrentPosition", "Restore"}},
    {"WavAsResource",
     WavSource::Resource,
     {"FindResourceA", "LoadResource", "LockResource", "SizeofResource", "LocalAlloc",
      "CreateSoundBuffer", "Lock", "GetStatus", "Play", "Restore"}},
    {"WavMissing", WavSource::Missing, {"FindResourceA", "CreateFileA", "MessageBoxA"}},
};

INSTANTIATE_TEST_SUITE_P(Sources, TrimFaultTest, ::testing::ValuesIn(kFaultRows),
                         [](const ::testing::TestParamInfo<FaultRow>& info) { return info.param.name; });

}  // namespace
