// `gaugehost run` inside the process: every kind of expectation fails when it
// does not hold, with its line; sounds are told by slot even when slots share
// a file; a failure injected for a gauge reaches the gauge; a run-time error
// stops the run and still closes the panel; the timeline keeps the order of
// what happened; and the plot draws what the run did, where it did it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "host/gaugehost/scenario.h"
#include "host/gaugehost/scenario_runner.h"
#include "host/gaugehost/svg_plot.h"
#include "platform_control.h"
#include "test_support.h"
#include "wav_builder.h"

namespace {

using gaugehost::RunResult;
using testing_support::PcmFormat;
using testing_support::pcmWav;
using testing_support::ScratchFolder;

// 8-bit mono at 1000 Hz: each byte plays for a millisecond.
std::vector<uint8_t> milliseconds(size_t count) { return pcmWav(PcmFormat{1, 1000, 8}, std::vector<uint8_t>(count, 200)); }

class RunTest : public ::testing::Test {
 protected:
  RunTest() {
    scratch.write("Gauges/k.ini",
                  "[Config]\nMaxSounds=3\nLvarStop=stop\n[Sounds]\nSound00=Sound\\a.wav\nSound01=Sound\\shared.wav\n"
                  "Sound02=Sound\\shared.wav\n[LVars]\nLvar00=va\nLvar01=vb\nLvar02=vc\n");
    scratch.write("Sound/a.wav", milliseconds(100));
    scratch.write("Sound/shared.wav", milliseconds(300));
    scratch.write("Sound/qztrim.wav", milliseconds(500));
  }

  RunResult run(const std::string& text) {
    gaugehost::Scenario scenario;
    std::string error;
    EXPECT_TRUE(gaugehost::parseScenarioText("t.scn", text, {KORVANE3_MODULE_PATH, VANTRIC_MODULE_PATH}, &scenario,
                                             &error))
        << error;
    gaugehost::RunOptions options;
    options.simulatorFolder = scratch.path();
    return gaugehost::runScenario(scenario, options);
  }

  static std::string lines(const std::vector<std::string>& list) {
    std::string text;
    for (const std::string& line : list) text += line + "\n";
    return text;
  }

  ScratchFolder scratch;
};

TEST_F(RunTest, EveryKindOfExpectationFailsWhenItDoesNotHoldWithItsLine) {
  const RunResult result = run(
      "load korvane3 ./Gauges/k.ini\n"  // 1
      "load vantric\n"                  // 2
      "run 2\n"                         // 3
      "set va 1\n"                      // 4
      "run 1\n"                         // 5
      "expect va = 0\n"                 // 6
      "expect silent slot 0\n"          // 7
      "expect looping slot 0\n"         // 8
      "expect token trim = 1\n"         // 9
      "expect key raise\n"              // 10
      "expect write va\n"               // 11
      "expect box\n"                    // 12
      "expect finished slot 0\n"        // 13
      "expect nosuch = 0\n"             // 14
      "run 300ms\n"                     // 15
      "expect finished slot 0 times 2\n"  // 16
      "expect no write va\n"            // 17
      "expect playing slot 0\n"         // 18
      "expect va = 0\n"                 // 19: holds
      "expect started slot 0 times 1\n" // 20: holds
      "expect va != 0 within 0.5\n");   // 21
  EXPECT_EQ(result.error, "");
  EXPECT_EQ(lines(result.failures),
            "t.scn:6: expected va = 0, but it is 1\n"
            "t.scn:7: expected slot 0 of korvane3 silent, but it is playing once\n"
            "t.scn:8: expected slot 0 of korvane3 looping, but it is playing once\n"
            "t.scn:9: expected token trim (783) = 1, but it is 0\n"
            "t.scn:10: expected key 0x1004F raise trim so far, but there was none\n"
            "t.scn:11: expected write of va so far, but there was none\n"
            "t.scn:12: expected message box so far, but there was none\n"
            "t.scn:13: expected finished slot 0 of korvane3 so far, but there was none\n"
            "t.scn:14: there is no variable nosuch (no gauge registered it and nothing set it)\n"
            "t.scn:16: expected finished slot 0 of korvane3 2 times so far, but saw it 1 times\n"
            "t.scn:17: expected no write of va so far, but there was 1 (the first at 0.222 s)\n"
            "t.scn:18: expected slot 0 of korvane3 playing, but it is silent\n"
            "t.scn:21: expected va != 0 within 0.5, but it is 0\n");
  EXPECT_EQ(result.expectations, 15);
}

TEST_F(RunTest, ASoundIsToldByTheSlotWhoseVariableAskedEvenWhenSlotsShareAFile) {
  const RunResult result = run(
      "load korvane3 ./Gauges/k.ini\n"
      "run 1\n"
      "set vc 2\n"
      "run 1\n"
      "expect looping slot 2\n"
      "expect silent slot 1\n"
      "set vb 1\n"
      "run 1\n"
      "expect playing slot 1\n"
      "expect looping file ./Sound/shared.wav\n"
      "lose slot 2\n"
      "expect silent slot 2\n"
      "expect stopped slot 2 times 1\n"
      "expect playing slot 1\n");
  EXPECT_EQ(lines(result.failures), "");
  const std::string timeline = gaugehost::formatTimeline(result);
  EXPECT_NE(timeline.find("korvane3  loops slot 2: Sound\\shared.wav"), std::string::npos) << timeline;
  EXPECT_NE(timeline.find("korvane3  plays slot 1 once: Sound\\shared.wav"), std::string::npos) << timeline;
}

TEST_F(RunTest, AFailureInjectedForTheGaugeReachesTheGaugeNotTheToolsOwnReading) {
  // The gauge's first INI read (MaxSounds) fails, so it takes its default of
  // 100 slots and registers korv_id_99; had the tool's own reading of the INI
  // beside it taken the failure, the gauge would have read 3.
  const RunResult result = run(
      "load korvane3 ./Gauges/k.ini\n"
      "fail GetPrivateProfileStringA\n"
      "run 1\n"
      "expect korv_id_99 = 0\n"
      "set va 1\n"
      "run 1\n"
      "expect playing slot 0\n");
  EXPECT_EQ(lines(result.failures), "");
}

TEST_F(RunTest, ARunTimeErrorStopsTheRunAndStillClosesThePanel) {
  const platform::LiveCounts before = platform::liveCounts();
  const RunResult result = run(
      "load korvane3 ./Gauges/k.ini\n"
      "run 1\n"
      "set vb 2\n"
      "run 1\n"
      "load " NOT_A_GAUGE_LIBRARY "\n"
      "expect va = 1\n");
  EXPECT_EQ(result.error, std::string("t.scn:5: module ") + NOT_A_GAUGE_LIBRARY + " does not export ImportTable and Linkage");
  EXPECT_EQ(result.expectations, 0);  // nothing after the error ran
  EXPECT_EQ(platform::describe(platform::liveCounts()), platform::describe(before));
  const std::string timeline = gaugehost::formatTimeline(result);
  EXPECT_NE(timeline.find("korvane3  stops slot 1"), std::string::npos) << timeline;
}

TEST_F(RunTest, TheTimelineKeepsTheOrderOfWhatHappened) {
  const RunResult result = run(
      "load korvane3 ./Gauges/k.ini\n"
      "run 1\n"
      "set va 1\n"
      "run 200ms\n");
  const std::string timeline = gaugehost::formatTimeline(result);
  size_t at = 0;
  for (const char* line : {"   0.000  korvane3  installed, before-init, window-ready",
                           "   0.055  scenario  set va = 1",
                           "   0.055  korvane3  plays slot 0 once: Sound\\a.wav",
                           "   0.155  korvane3  slot 0 played to its end",
                           "   0.166  korvane3  writes va = 0",
                           "   0.277  korvane3  before-kill, disconnect"}) {
    const size_t found = timeline.find(line, at);
    ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << timeline;
    at = found;
  }
}

TEST_F(RunTest, ThePlotDrawsWhatTheRunDidWhereItDidIt) {
  const RunResult result = run(
      "load vantric\n"
      "load korvane3 ./Gauges/k.ini\n"
      "trim-model 0.1\n"
      "set token trim -0.3\n"
      "run 1\n"
      "set token gate 1\n"
      "set vb 2\n"
      "run 6\n"
      "set vb 0\n"
      "set va 1\n"
      "run 10\n");
  ASSERT_EQ(lines(result.failures) + result.error, "");
  const std::string svg = gaugehost::plotSvg(result.recording, "t.scn");
  using gaugehost_testing::countOf;
  // Three raise events and the set event (the legend draws one of each too).
  EXPECT_EQ(countOf(svg, "class=\"key raise\""), 3u + 1);
  EXPECT_EQ(countOf(svg, "class=\"key set\""), 1u + 1);
  EXPECT_EQ(countOf(svg, "class=\"key lower\""), 0u + 1);
  // Each marker stands at its time on the axis: x = 230 + t / end * 840.
  ASSERT_EQ(result.recording.keys.size(), 4u);
  const auto& set = result.recording.keys.back();
  char expected[64];
  std::snprintf(expected, sizeof expected, "<circle class=\"key set\" cx=\"%.2f\"",
                230.0 + static_cast<double>(set.at) / result.recording.endMicroseconds * 840.0);
  EXPECT_NE(svg.find(expected), std::string::npos) << expected;
  // korvane3: lanes for slots 0 and 1 (slot 2 did nothing), a loop stopped
  // and a sound played to its end, the scenario's settings and the write.
  EXPECT_NE(svg.find(">slot 0  va<"), std::string::npos);
  EXPECT_NE(svg.find(">slot 1  vb<"), std::string::npos);
  EXPECT_EQ(svg.find(">slot 2  vc<"), std::string::npos);
  EXPECT_EQ(countOf(svg, "<rect class=\"sound loop\" x=\"") - 1, 1u);
  EXPECT_EQ(countOf(svg, "<rect class=\"sound once\" x=\"") - 1, 1u);
  EXPECT_EQ(countOf(svg, "<rect class=\"sound trim\""), 1u);
  EXPECT_EQ(countOf(svg, "<path class=\"end stopped\" d=\"M") - 1, 2u);  // the loop and, at kill, the trim sound
  EXPECT_EQ(countOf(svg, "<circle class=\"end finished\" cx=\"") - 1, 1u);
  EXPECT_EQ(countOf(svg, "<path class=\"set\" d=\"M") - 1, 3u);
  EXPECT_EQ(countOf(svg, "<path class=\"write\" d=\"M") - 1, 1u);
  EXPECT_NE(svg.find(">time (s)<"), std::string::npos);
  EXPECT_NE(svg.find(">trim (token 783)<"), std::string::npos);
  EXPECT_NE(svg.find(">limit (token 329)<"), std::string::npos);
  EXPECT_NE(svg.find(">gate (token 60)<"), std::string::npos);
  // Well-formed: an XML reader takes it.
  scratch.write("plot.svg", svg);
  EXPECT_EQ(std::system("python3 -c \"import xml.etree.ElementTree as E; E.parse('plot.svg')\""), 0);
}

}  // namespace
