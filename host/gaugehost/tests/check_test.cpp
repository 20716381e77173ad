// `gaugehost check`: what korvane3 makes of an INI file and its sound set,
// told with the gauge's own code: good sets pass; every kind of broken WAV,
// every MaxSounds mistake, cut values, shared variables, an INI path the gauge
// drops and one it looks for in the wrong folder are named; the command line
// answers 0, 1 or 2 and prints the same as text or JSON.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "cli_runner.h"
#include "host/gaugehost/ini_check.h"
#include "test_support.h"
#include "wav_builder.h"

namespace {

using gaugehost::CheckReport;
using gaugehost::SoundFileState;
using testing_support::PcmFormat;
using testing_support::pcmWav;
using testing_support::RiffBuilder;
using testing_support::ScratchFolder;

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

class CheckTest : public ::testing::Test {
 protected:
  CheckReport check(const std::string& ini) {
    CheckReport report;
    std::string error;
    EXPECT_TRUE(gaugehost::checkIni(ini, scratch.path(), &report, &error)) << error;
    return report;
  }
  ScratchFolder scratch;
};

TEST_F(CheckTest, AGoodSoundSetPassesWithEachSlotsFormatLengthAndVariable) {
  scratch.write("Sound/a.wav", pcmWav(PcmFormat{1, 11025, 8}, std::vector<uint8_t>(11025, 128)));
  scratch.write("Sound/b.wav", pcmWav(PcmFormat{2, 44100, 16}, std::vector<uint8_t>(88200, 0)));
  const std::string absolute =
      scratch.write("elsewhere/c.wav", pcmWav(PcmFormat{1, 22050, 16}, std::vector<uint8_t>(11025, 0)));
  scratch.write("Gauges/k.ini", "[Config]\nMaxSounds=3\nLvarStop=quiet\n[Sounds]\nSound00=Sound\\a.wav\n"
                                "Sound01=.\\Sound\\b.wav\nSound02=" + absolute + "\n[LVars]\nLvar00=va\nLvar01=vb\n");
  const CheckReport report = check("Gauges/k.ini");
  ASSERT_EQ(report.slots.size(), 3u);
  EXPECT_EQ(report.slots[0].sound.detail, "PCM 8-bit mono 11025 Hz, 1.000 s");
  EXPECT_EQ(report.slots[1].sound.detail, "PCM 16-bit stereo 44100 Hz, 0.500 s");
  EXPECT_EQ(report.slots[2].sound.detail, "PCM 16-bit mono 22050 Hz, 0.250 s");
  EXPECT_EQ(report.slots[2].slot.variable, "korv_id_02");
  EXPECT_TRUE(report.slots[1].relative);
  EXPECT_FALSE(report.slots[2].relative);
  EXPECT_EQ(report.slots[0].resolvedPath, scratch.path() + "/Sound/a.wav");
  EXPECT_EQ(report.configuration.stopVariable, "quiet");
  // The registrations the host would get, as the gauge makes them.
  EXPECT_EQ(report.configuration.registrations, (std::vector<std::string>{"korv_id_02", "vb", "va", "quiet"}));
  EXPECT_TRUE(report.warnings.empty()) << joined(report.warnings);
  EXPECT_EQ(joined(report.notes).find("2 of 3 WAV paths are relative") != std::string::npos, true)
      << joined(report.notes);
  EXPECT_TRUE(report.clean());
}

TEST_F(CheckTest, EachKindOfBrokenSoundAndINIMistakeIsNamed) {
  const PcmFormat mono8{1, 22050, 8};
  scratch.write("Sound/ok.wav", pcmWav(mono8, std::vector<uint8_t>(100, 128)));
  scratch.write("Sound/text.wav", std::string("this is no RIFF file\n"));
  scratch.write("Sound/pcm24.wav", pcmWav(PcmFormat{1, 44100, 24}, std::vector<uint8_t>(300, 0)));
  scratch.write("Sound/adpcm.wav", RiffBuilder()
                                       .chunk("fmt ", testing_support::formatBodyWithExtra(2, PcmFormat{1, 22050, 4},
                                                                                         std::vector<uint8_t>(32, 0)))
                                       .data(std::vector<uint8_t>(512, 0))
                                       .build());
  scratch.write("Sound/cut.wav", RiffBuilder().fmt(mono8).chunkClaiming("data", 1000, std::vector<uint8_t>(10, 0)).build());
  scratch.write("Sound/tiny.wav", pcmWav(mono8, std::vector<uint8_t>(2, 128)));
  scratch.write("Sound/nodata.wav", RiffBuilder().fmt(mono8).build());
  const std::string longName(140, 'n');
  scratch.write("Gauges/k.ini",
                "[Config]\nMaxSounds=9\nLvarStop=va\n[Sounds]\n"
                "Sound00=Sound\\ok.wav\nSound01=Sound\\missing.wav\nSound02=Sound\\text.wav\nSound03=Sound\\pcm24.wav\n"
                "Sound04=Sound\\adpcm.wav\nSound05=Sound\\cut.wav\nSound06=Sound\\tiny.wav\n"
                "Sound07=C:\\FS\\Sound\\x.wav\nSound08=Sound\\nodata.wav\n"
                "[LVars]\nLvar00=va\nLvar04=shared\nLvar05=shared\nLvar06=" + longName + "\n");
  const CheckReport report = check("Gauges/k.ini");
  ASSERT_EQ(report.slots.size(), 9u);
  const struct {
    SoundFileState::Kind kind;
    const char* detail;
  } expected[] = {
      {SoundFileState::Ok, "PCM 8-bit mono 22050 Hz, 0.005 s"},
      {SoundFileState::Missing, "missing"},
      {SoundFileState::NotWav, "not a WAV file (no RIFF/WAVE form with a whole \"fmt \" chunk)"},
      {SoundFileState::Unloadable, "DirectSound cannot play PCM 24-bit mono 44100 Hz (it takes 8- or 16-bit PCM, mono or stereo)"},
      {SoundFileState::Unloadable, "DirectSound cannot play format 0x2 4-bit mono 22050 Hz (it takes 8- or 16-bit PCM, mono or stereo)"},
      {SoundFileState::NotWav, "PCM 8-bit mono 22050 Hz, but its \"data\" chunk claims 1000 bytes where the file holds 10 (cut off)"},
      {SoundFileState::Unloadable, "DirectSound makes no buffer of 2 bytes (4 at least)"},
      {SoundFileState::NotChecked, "not checked: a Windows drive or network path"},
      {SoundFileState::NotWav, "PCM 8-bit mono 22050 Hz, but no \"data\" chunk"},
  };
  for (size_t i = 0; i < report.slots.size(); ++i) {
    EXPECT_EQ(report.slots[i].sound.kind, expected[i].kind) << "slot " << i;
    EXPECT_EQ(report.slots[i].sound.detail, expected[i].detail) << "slot " << i;
  }
  const std::string warnings = joined(report.warnings);
  EXPECT_NE(warnings.find("slots 4 and 5 share the variable shared"), std::string::npos) << warnings;
  EXPECT_NE(warnings.find("Lvar06 is 140 characters long: korvane3 keeps the first 127, \"" + longName.substr(0, 127) + "\""),
            std::string::npos) << warnings;
  EXPECT_EQ(report.slots[6].slot.variable, longName.substr(0, 127));
  EXPECT_NE(warnings.find("the stop-all variable va is also the variable of slot 0"), std::string::npos) << warnings;
  EXPECT_EQ(report.warnings.size(), 3u) << warnings;
  EXPECT_FALSE(report.clean());
  EXPECT_TRUE(report.readError.empty());
}

TEST_F(CheckTest, MaxSoundsIsReadAsTheGaugeReadsItAndEveryMistakeIsNamed) {
  const struct {
    const char* line;  // the MaxSounds line, or none
    size_t slots;
    const char* warning;  // a piece of the one warning, or "" for none
  } cases[] = {
      {"MaxSounds=12345", 100, "MaxSounds \"12345\" is read as its first four characters, \"1234\""},
      {"MaxSounds=00050", 5, "MaxSounds \"00050\" is read as its first four characters, \"0005\""},
      {"MaxSounds=250", 100, "MaxSounds 250 is above 100: korvane3 configures 100 sound slots"},
      {"MaxSounds=abc", 0, "MaxSounds \"abc\" is not a number: korvane3 configures no sound slots"},
      {"MaxSounds=", 0, "MaxSounds is empty: korvane3 configures no sound slots"},
      {"MaxSounds=0", 0, "MaxSounds 0: korvane3 configures no sound slots"},
      {"MaxSounds=-3", 0, "MaxSounds -3: korvane3 configures no sound slots"},
      {"MaxSounds=2", 2, ""},
      {"", 100, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    scratch.write("k.ini", std::string("[Config]\n") + c.line + "\n");
    const CheckReport report = check("./k.ini");
    EXPECT_EQ(report.slots.size(), c.slots);
    const std::string warnings = joined(report.warnings);
    if (c.warning[0] == '\0') {
      EXPECT_EQ(warnings, "");
    } else {
      EXPECT_NE(warnings.find(c.warning), std::string::npos) << warnings;
    }
  }
  scratch.write("k.ini", "[Config]\n");
  EXPECT_NE(joined(check("./k.ini").notes).find("no MaxSounds in [Config]: korvane3 configures 100 sound slots"),
            std::string::npos);
}

TEST_F(CheckTest, AnINIPathTheGaugeDropsOrLooksForElsewhereMeansDefaults) {
  // Longer than 129 characters: the gauge does not use it at all.
  const std::string folder = std::string(60, 'f') + "/" + std::string(60, 'g');
  const std::string longPath = folder + "/korvane.ini";
  ASSERT_GT(longPath.size(), 129u);
  scratch.write(longPath, "[Config]\nMaxSounds=1\n");
  CheckReport report = check(longPath);
  EXPECT_EQ(report.slots.size(), 100u);
  EXPECT_EQ(report.slots[7].slot.path, "./Sound/vek/korv_07.wav");
  EXPECT_EQ(report.configuration.stopVariable, "vek_stop_sounds");
  EXPECT_NE(joined(report.warnings).find("the INI path is " + std::to_string(longPath.size()) +
                                         " characters long: korvane3 takes at most 129"),
            std::string::npos);

  // A bare file name is looked for in the Windows folder, not here.
  scratch.write("korvane.ini", "[Config]\nMaxSounds=1\n");
  report = check("korvane.ini");
  EXPECT_EQ(report.slots.size(), 100u);
  EXPECT_NE(joined(report.warnings).find("the INI path names no folder"), std::string::npos);
  // Every default WAV is missing here: the check asks whether the folder is right.
  EXPECT_NE(joined(report.notes).find("none of the WAV files is there"), std::string::npos);
}

TEST_F(CheckTest, TheCommandLineAnswersZeroOneOrTwoAndPrintsTextOrJson) {
  scratch.write("Sound/a.wav", pcmWav(PcmFormat{1, 11025, 8}, std::vector<uint8_t>(1100, 128)));
  scratch.write("good.ini", "[Config]\nMaxSounds=1\n[Sounds]\nSound00=Sound\\a.wav\n");
  scratch.write("bad.ini", "[Config]\nMaxSounds=2\n[Sounds]\nSound00=Sound\\a.wav\nSound01=Sound\\gone.wav\n");
  mkdir((scratch.path() + "/Sound/folder.wav").c_str(), 0755);
  scratch.write("unreadable.ini", "[Config]\nMaxSounds=1\n[Sounds]\nSound00=Sound\\folder.wav\n");

  auto run = gaugehost_testing::runGaugehost({"check", "./good.ini"});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("korv_id_00       Sound\\a.wav  PCM 8-bit mono 11025 Hz, 0.100 s"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("stop  vek_stop_sounds"), std::string::npos) << run.out;

  run = gaugehost_testing::runGaugehost({"check", "./bad.ini", "--sim-dir", scratch.path()});
  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("warning: slot 1: " + scratch.path() + "/Sound/gone.wav is missing"), std::string::npos) << run.out;

  // JSON that a JSON reader takes, with the same findings.
  run = gaugehost_testing::runGaugehost({"check", "--json", "./bad.ini"});
  EXPECT_EQ(run.exitCode, 1);
  scratch.write("out.json", run.out);
  EXPECT_EQ(std::system("python3 -c \"import json,sys; d=json.load(open('out.json')); "
                        "assert d['slotCount']==2 and d['slots'][1]['state']=='missing' and d['ok'] is False "
                        "and d['slots'][0]['format']['samplesPerSecond']==11025, d\""),
            0);

  // Input that cannot be read: one clear line and 2.
  run = gaugehost_testing::runGaugehost({"check", "./unreadable.ini"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, "gaugehost: cannot read sound file Sound\\folder.wav of slot 0: a folder, not a file\n");
  run = gaugehost_testing::runGaugehost({"check", "./nowhere.ini"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, "gaugehost: cannot read INI file ./nowhere.ini: No such file or directory\n");
  EXPECT_EQ(run.out, "");
  run = gaugehost_testing::runGaugehost({"check", "Sound"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, "gaugehost: cannot read INI file Sound: it is a folder\n");
}

}  // namespace
