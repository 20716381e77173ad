// Reading scenario files: a whole scenario becomes the commands it says, and
// every kind of wrong line is reported as file:line with what is wrong.
#include <gtest/gtest.h>

#include <string>

#include "host/gaugehost/scenario.h"

namespace {

using gaugehost::Command;
using gaugehost::ModuleDefaults;
using gaugehost::Scenario;

const ModuleDefaults kModules{KORVANE3_MODULE_PATH, VANTRIC_MODULE_PATH};

TEST(ScenarioTest, AScenarioReadsIntoItsCommands) {
  Scenario scenario;
  std::string error;
  ASSERT_TRUE(gaugehost::parseScenarioText("demo.scn",
                                           "# a comment\n"
                                           "fps 30\n"
                                           "load korvane3 as left \"./Gauges/my panel.ini\"   # trailing comment\n"
                                           "load vantric\n"
                                           "\n"
                                           "at 1.5s set demo_click 2.5\n"
                                           "set token trim -0.25\n"
                                           "run 250ms\n"
                                           "run 3 updates\n"
                                           "fail mmioRead 2 times 3\n"
                                           "lose slot 1 restores-fail 2\n"
                                           "send vantric 13 7\n"
                                           "expect token trim = 0 within 0.001\n"
                                           "expect no key raise\n"
                                           "expect write demo_click = 0 times 1\n"
                                           "expect looping file Sound\\x.wav\n"
                                           "expect key = 4\n",
                                           kModules, &scenario, &error))
      << error;
  const auto& c = scenario.commands;
  ASSERT_EQ(c.size(), 16u);
  EXPECT_EQ(c[0].kind, Command::Fps);
  EXPECT_EQ(c[0].number, 30);
  EXPECT_EQ(c[1].kind, Command::Load);
  EXPECT_EQ(c[1].gauge, "left");
  EXPECT_EQ(c[1].path, KORVANE3_MODULE_PATH);
  EXPECT_EQ(c[1].text, "./Gauges/my panel.ini");
  EXPECT_TRUE(c[1].hasText);
  EXPECT_EQ(c[1].line, 3);
  EXPECT_FALSE(c[2].hasText);  // no parameter string at all
  EXPECT_EQ(c[3].kind, Command::At);
  EXPECT_EQ(c[3].microseconds, 1500000u);
  EXPECT_EQ(c[4].kind, Command::SetNamed);
  EXPECT_EQ(c[4].text, "demo_click");
  EXPECT_EQ(c[4].number, 2.5);
  EXPECT_EQ(c[4].line, 6);
  EXPECT_EQ(c[5].kind, Command::SetToken);
  EXPECT_EQ(c[5].token, 783u);
  EXPECT_EQ(c[6].kind, Command::RunTime);
  EXPECT_EQ(c[6].microseconds, 250000u);
  EXPECT_EQ(c[7].kind, Command::RunUpdates);
  EXPECT_EQ(c[7].count, 3);
  EXPECT_EQ(c[8].kind, Command::Fail);
  EXPECT_EQ(c[8].text, "mmioRead");
  EXPECT_EQ(c[8].count, 2);
  EXPECT_EQ(c[8].times, 3);
  EXPECT_EQ(c[9].kind, Command::Lose);
  EXPECT_EQ(c[9].target.gauge, "left");
  EXPECT_EQ(c[9].target.slot, 1);
  EXPECT_EQ(c[9].count, 2);
  EXPECT_EQ(c[10].service, 13u);
  EXPECT_EQ(c[10].extra, 7u);
  EXPECT_EQ(c[11].kind, Command::ExpectToken);
  EXPECT_EQ(c[11].tolerance, 0.001);
  EXPECT_EQ(c[12].kind, Command::ExpectEvents);
  EXPECT_TRUE(c[12].negated);
  EXPECT_EQ(c[12].eventId, 0x1004Fu);
  EXPECT_EQ(c[13].event, Command::Write);
  EXPECT_TRUE(c[13].hasValue);
  EXPECT_EQ(c[13].times, 1);
  EXPECT_EQ(c[14].sound, Command::Looping);
  EXPECT_EQ(c[14].target.file, "Sound\\x.wav");
  EXPECT_EQ(c[15].kind, Command::ExpectVariable);  // a variable may be called key
  EXPECT_EQ(c[15].text, "key");
}

TEST(ScenarioTest, EveryWrongLineIsReportedWithItsFileAndLine) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"sett x 1", "s.scn:1: unknown command \"sett\""},
      {"fps 0", "s.scn:1: fps \"0\" is not a whole number from 1 to 1000"},
      {"run", "s.scn:1: usage: run N [updates], or run TIME (2s, 250ms)"},
      {"run 2 seconds", "s.scn:1: usage: run N [updates], or run TIME (2s, 250ms)"},
      {"at 1", "s.scn:1: \"1\" is not a time such as 2s, 1.5s or 250ms"},
      {"at 2s\nat 1s", "s.scn:2: at 1s lies before the time the lines above reach (2.000 s)"},
      {"set x", "s.scn:1: usage: set NAME VALUE, or set token TOKEN VALUE"},
      {"set x one", "s.scn:1: value \"one\" is not a number"},
      {"set token wind 1", "s.scn:1: token \"wind\" is not a whole number from 0 to 4294967295"},
      {"load korvane3 \"./a.ini", "s.scn:1: a quote is not closed"},
      {"load korvane3 a.ini extra", "s.scn:1: load: unexpected \"extra\" (quote a parameter string with blanks)"},
      {"load korvane3\nload korvane3", "s.scn:2: load: a gauge named korvane3 is loaded already; add: as OTHER-NAME"},
      {"load panel", "s.scn:1: load: \"panel\" is neither korvane3, vantric nor a module file (a path with a / or .so)"},
      {"load ./nowhere/gauge.so", "no module file "},
      {"send vantric installed", "s.scn:1: no gauge named vantric is loaded above this line"},
      {"load vantric\nsend vantric start", "s.scn:2: service \"start\" is not a whole number from 0 to 4294967295"},
      {"load vantric\nexpect playing slot 0", "s.scn:2: slot 0: no korvane3 is loaded above this line"},
      {"load korvane3\nload korvane3 as b\nexpect playing slot 0", "s.scn:3: several gauges have slots: say slot N of GAUGE"},
      {"load korvane3\nexpect playing slot 100", "s.scn:2: slot \"100\" is not a whole number from 0 to 99"},
      {"fail Frobnicate", "s.scn:1: fail: the platform cannot fail \"Frobnicate\"; it can fail: CreateFileA"},
      {"fail Play 0", "s.scn:1: fail: the call number \"0\" is not a whole number from 1 to 1000000000"},
      {"remove ../outside.wav", "s.scn:1: \"../outside.wav\" must not leave the simulator folder"},
      {"move /etc/passwd to x", "s.scn:1: \"/etc/passwd\" must be a path inside the simulator folder"},
      {"copy nowhere.wav to Sound/x.wav", "s.scn:1: copy: no file "},
      {"expect", "s.scn:1: expect what? see docs/gaugehost.md"},
      {"expect x == 1", "s.scn:1: expect: \"x\" is not something to expect (a variable needs an operator: expect NAME = VALUE)"},
      {"expect x < 1 within 2", "s.scn:1: unexpected \"within\" (only = and != take \"within TOLERANCE\")"},
      {"expect no key times 2", "s.scn:1: \"no\" and \"times\" do not go together: use times 0"},
      {"expect key raise twice", "s.scn:1: unexpected \"twice\" (only \"times N\" may follow)"},
      {"load vantric\nrun 1\nclose\nrun 1", "s.scn:4: run after close: the panel is closed"},
  };
  for (const auto& c : cases) {
    Scenario scenario;
    std::string error;
    EXPECT_FALSE(gaugehost::parseScenarioText("s.scn", c.text, kModules, &scenario, &error)) << c.text;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.text << "\n  gave: " << error;
  }
}

}  // namespace
