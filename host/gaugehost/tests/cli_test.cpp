// `gaugehost` as a panel developer runs it: usage and help, the three exit
// codes, bad scenario lines reported as file:line with nothing run, missing
// modules and modules without their exports, unreadable input, and a render
// through korvane3 that gives back a 16-bit stereo 44.1 kHz sound bit for bit.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "test_support.h"
#include "wav_builder.h"

namespace {

using gaugehost_testing::CliRun;
using gaugehost_testing::countOf;
using gaugehost_testing::runGaugehost;
using testing_support::PcmFormat;
using testing_support::pcmWav;
using testing_support::ScratchFolder;

class CliTest : public ::testing::Test {
 protected:
  CliTest() {
    scratch.write("Gauges/k.ini", "[Config]\nMaxSounds=1\n[Sounds]\nSound00=Sound\\s.wav\n");
    scratch.write("Sound/s.wav", pcmWav(PcmFormat{1, 1000, 8}, std::vector<uint8_t>(100, 200)));
  }
  ScratchFolder scratch;
};

TEST_F(CliTest, UsageMistakesAnswerTwoAndHelpAnswersZero) {
  const struct {
    std::vector<std::string> arguments;
    const char* error;
  } cases[] = {
      {{}, "gaugehost: say check or run\n"},
      {{"play"}, "gaugehost: unknown command play\n"},
      {{"run"}, "gaugehost: run wants at least one scenario file\n"},
      {{"check"}, "gaugehost: check wants one INI file\n"},
      {{"check", "a.ini", "b.ini"}, "gaugehost: check wants one INI file\n"},
      {{"run", "a.scn", "--bogus"}, "gaugehost: unknown option --bogus for run\n"},
      {{"check", "a.ini", "--render", "x.wav"}, "gaugehost: unknown option --render for check\n"},
      {{"run", "a.scn", "--rate", "5"}, "gaugehost: --rate wants a sample rate from 8000 to 192000\n"},
      {{"run", "a.scn", "--plot"}, "gaugehost: --plot wants a value\n"},
      {{"run", "a.scn", "b.scn", "--render", "out.wav"},
       "gaugehost: with several scenarios, --render and --plot name a folder (end it in /)\n"},
  };
  for (const auto& c : cases) {
    const CliRun run = runGaugehost(c.arguments);
    EXPECT_EQ(run.exitCode, 2) << c.error;
    EXPECT_EQ(run.err.substr(0, run.err.find('\n') + 1), c.error);
    EXPECT_NE(run.err.find("usage: gaugehost check INI"), std::string::npos) << c.error;
  }
  for (const char* help : {"--help", "-h"}) {
    const CliRun run = runGaugehost({help});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("run SCENARIO..."), std::string::npos);
    EXPECT_NE(run.out.find("--render OUT"), std::string::npos);
  }
  EXPECT_EQ(runGaugehost({"run", "x.scn", "--help"}).exitCode, 0);
  const CliRun noFolder = runGaugehost({"run", "a.scn", "--sim-dir", "nowhere"});
  EXPECT_EQ(noFolder.exitCode, 2);
  EXPECT_EQ(noFolder.err, "gaugehost: no simulator folder nowhere\n");
}

TEST_F(CliTest, ABadLineIsReportedAsFileAndLineAndNothingRuns) {
  scratch.write("good.scn", "load korvane3 ./Gauges/k.ini\nset korv_id_00 1\nrun 1s\n");
  scratch.write("bad.scn", "load korvane3 ./Gauges/k.ini\n\n# a comment\nsett korv_id_00 1\nrun 1\n");
  const CliRun run = runGaugehost({"run", "good.scn", "bad.scn"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, "gaugehost: bad.scn:4: unknown command \"sett\"\n");
  EXPECT_EQ(run.out, "");  // not even the good scenario ran
}

TEST_F(CliTest, AMissingModuleOrOneWithoutItsExportsIsOneClearLine) {
  scratch.write("missing.scn", "load ./modules/korvane3.so\nrun 1\n");
  CliRun run = runGaugehost({"run", "missing.scn"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, "gaugehost: missing.scn:1: load: no module file " + scratch.path() + "/./modules/korvane3.so\n");
  EXPECT_EQ(run.out, "");

  scratch.write("default.scn", "load vantric\nrun 1\n");
  run = runGaugehost({"run", "default.scn", "--modules", "elsewhere"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, "gaugehost: default.scn:1: load: no module file " + scratch.path() + "/elsewhere/vantric.so\n");

  scratch.write("exports.scn", "load korvane3 ./Gauges/k.ini\nrun 1\nload " NOT_A_GAUGE_LIBRARY "\nrun 1\n");
  run = runGaugehost({"run", "exports.scn", "--quiet"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, std::string("gaugehost: exports.scn:3: module ") + NOT_A_GAUGE_LIBRARY +
                         " does not export ImportTable and Linkage\n");
}

TEST_F(CliTest, UnreadableScenariosAnswerTwoAndFailedExpectationsOne) {
  CliRun run = runGaugehost({"run", "nowhere.scn"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, "gaugehost: cannot read scenario nowhere.scn: No such file or directory\n");
  run = runGaugehost({"run", "Gauges"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, "gaugehost: cannot read scenario Gauges: it is a folder\n");

  scratch.write("wrong.scn", "load korvane3 ./Gauges/k.ini\nset korv_id_00 1\nrun 1\nexpect korv_id_00 = 0\n"
                             "run 500ms\nexpect korv_id_00 = 0\n");
  run = runGaugehost({"run", "wrong.scn"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "wrong.scn:4: expected korv_id_00 = 0, but it is 1\n");
  EXPECT_NE(run.out.find("korvane3  writes korv_id_00 = 0"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("wrong.scn: FAILED (1 of 2 expectations held)"), std::string::npos) << run.out;
}

int16_t sampleAt(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<int16_t>(static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8)));
}

TEST_F(CliTest, ASixteenBitStereoSoundPlayedAloneRendersBitForBit) {
  // 0.5 s of 16-bit stereo at 44.1 kHz, over the whole sample range.
  const std::vector<uint8_t> samples = testing_support::patternBytes(4 * 22050, 9);
  scratch.write("Sound/s.wav", pcmWav(PcmFormat{2, 44100, 16}, samples));
  scratch.write("render.scn", "load korvane3 ./Gauges/k.ini\nat 0.1s set korv_id_00 1\nrun 1s\n");
  const CliRun run = runGaugehost({"run", "render.scn", "--render", "out.wav", "--plot", "out.svg"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<uint8_t> wav = testing_support::readFile(scratch.path() + "/out.wav");
  ASSERT_GT(wav.size(), 44u);
  // A plain 16-bit stereo 44.1 kHz PCM header, then the frames.
  EXPECT_EQ(std::memcmp(wav.data(), "RIFF", 4), 0);
  EXPECT_EQ(std::memcmp(wav.data() + 8, "WAVEfmt ", 8), 0);
  EXPECT_EQ(sampleAt(wav, 22), 2);
  EXPECT_EQ(wav[24] | (wav[25] << 8) | (wav[26] << 16), 44100);
  EXPECT_EQ(sampleAt(wav, 34), 16);
  EXPECT_EQ(std::memcmp(wav.data() + 36, "data", 4), 0);
  const size_t frames = (wav.size() - 44) / 4;
  // The sound starts on the update at 0.111111 s: output frame 4899.995, so 4900.
  const size_t start = 4900;
  ASSERT_GE(frames, start + samples.size() / 4);
  for (size_t i = 0; i < start * 4; ++i) ASSERT_EQ(wav[44 + i], 0) << "before, byte " << i;
  for (size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(wav[44 + start * 4 + i], samples[i]) << "byte " << i;
  for (size_t i = 44 + (start * 4) + samples.size(); i < wav.size(); ++i) ASSERT_EQ(wav[i], 0) << "after, byte " << i;
  // The render lasts as long as the run: the panel closes at 1.111 s.
  EXPECT_EQ(frames, 49000u);
  const std::string svg = gaugehost_testing::slurp(scratch.path() + "/out.svg");
  EXPECT_EQ(countOf(svg, "<circle class=\"end finished\" cx=\"") - 1, 1u);

  // A render at another rate resamples: 22050 Hz, half the frames.
  const CliRun half = runGaugehost({"run", "render.scn", "--quiet", "--render", "half.wav", "--rate", "22050"});
  ASSERT_EQ(half.exitCode, 0) << half.err;
  const std::vector<uint8_t> halfWav = testing_support::readFile(scratch.path() + "/half.wav");
  EXPECT_EQ((halfWav.size() - 44) / 4, 24500u);
  EXPECT_EQ(halfWav[24] | (halfWav[25] << 8) | (halfWav[26] << 16), 22050);
}

TEST_F(CliTest, SeveralScenariosGetTheirOwnRenderAndPlotInAFolder) {
  scratch.write("one.scn", "load korvane3 ./Gauges/k.ini\nset korv_id_00 1\nrun 10\n");
  scratch.write("two.scn", "load vantric\nrun 10\nexpect box \"DirectSound Object Not Found\"\n");
  const CliRun run = runGaugehost({"run", "one.scn", "two.scn", "--render", "out/", "--plot", "out/"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  for (const char* file : {"out/one.wav", "out/one.svg", "out/two.wav", "out/two.svg"}) {
    EXPECT_FALSE(testing_support::readFile(scratch.path() + "/" + file).empty()) << file;
  }
  EXPECT_NE(run.out.find("== one.scn"), std::string::npos);
  EXPECT_NE(run.out.find("two.scn: passed (1 of 1 expectations held)"), std::string::npos) << run.out;
}

}  // namespace
