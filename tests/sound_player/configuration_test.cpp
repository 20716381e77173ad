// Reading korvane3's INI file into its slot table: what the host is asked to
// register, in which order, and what each slot ends up holding.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sound_player/slot_table.h"
#include "test_support.h"

namespace {

using testing_support::GaugeTest;

// Runs loadConfiguration of the sound player's code linked into this test,
// with this fixture's host as the host.
class ConfigurationTest : public GaugeTest {
 protected:
  ConfigurationTest() {
    ImportTable.services = &panel->services();
    player.configured = 0;
    player.slotCount = kMaxSoundSlots;
  }

  void configure(const char* parameters) {
    GaugeHeader header = {};
    header.parameters = parameters;
    loadConfiguration(&header);
  }

  void configureWithIni(const std::string& contents) {
    configure(scratch.write("panel.ini", contents).c_str());
  }

  const SoundSlot& slot(int index) const { return player.slots[index]; }
};

TEST_F(ConfigurationTest, WithoutAnIniFileEverySlotTakesItsDefaults) {
  configure("./missing.ini");
  EXPECT_EQ(player.configured, 1);
  ASSERT_EQ(player.slotCount, 100);
  ASSERT_EQ(panel->registrations().size(), 101u);
  // Highest slot first, the stop variable last.
  EXPECT_EQ(panel->registrations().front(), "korv_id_99");
  EXPECT_EQ(panel->registrations()[99], "korv_id_00");
  EXPECT_EQ(panel->registrations().back(), "vek_stop_sounds");
  EXPECT_STREQ(slot(7).path, "./Sound/vek/korv_07.wav");
  EXPECT_STREQ(slot(7).variableName, "korv_id_07");
  EXPECT_STREQ(slot(12).path, "./Sound/vek/korv_12.wav");
  EXPECT_STREQ(slot(kStopSlot).variableName, "vek_stop_sounds");
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(slot(i).loaded, 0);
    EXPECT_EQ(slot(i).started, 0);
    EXPECT_EQ(slot(i).variableId, panel->variableId(slot(i).variableName));
  }
  EXPECT_EQ(slot(kStopSlot).variableId, panel->variableId("vek_stop_sounds"));
}

TEST_F(ConfigurationTest, MaxSoundsDecidesHowManySlotsThereAre) {
  struct Case {
    const char* line;  // the MaxSounds line, or none
    int slots;
  };
  const Case cases[] = {
      {nullptr, 100},           {"MaxSounds=250", 100}, {"MaxSounds=9999", 100},
      {"MaxSounds=12345", 100},  // only "1234" is read
      {"MaxSounds=00050", 5},    // only "0005" is read
      {"MaxSounds=0", 0},       {"MaxSounds=-3", 0},    {"MaxSounds=abc", 0},
      {"MaxSounds=", 0},        {"MaxSounds = 7 ", 7},  {"MaxSounds=42xy", 42},
      {"maxsounds=3", 3},       {"MaxSounds=100", 100}, {"MaxSounds=101", 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line != nullptr ? c.line : "(no MaxSounds)");
    player.configured = 0;
    panel->clearRecords();
    configureWithIni(std::string("[Config]\r\n") + (c.line != nullptr ? c.line : "") + "\r\n");
    EXPECT_EQ(std::max(player.slotCount, 0), c.slots);  // a negative count leaves no slots too
    std::vector<std::string> expected;
    for (int i = c.slots - 1; i >= 0; --i) {
      char name[24];
      std::snprintf(name, sizeof name, "korv_id_%02d", i);
      expected.push_back(name);
    }
    expected.push_back("vek_stop_sounds");
    EXPECT_EQ(panel->registrations(), expected);
  }
}

TEST_F(ConfigurationTest, IniValuesNameTheSoundsAndVariables) {
  configureWithIni(
      "; a panel's sound set\r\n"
      "[Config]\r\nMaxSounds=4\r\nLvarStop=panel_quiet\r\n"
      "[Sounds]\r\nSound00=Sound\\panel\\click.wav\r\nSound03=\r\n  sound02 = spaced.wav  \r\n"
      "[LVars]\r\nLvar00=click_var\r\nLvar02=shared\r\nLvar03=shared\r\n");
  EXPECT_STREQ(slot(0).path, "Sound\\panel\\click.wav");
  EXPECT_STREQ(slot(0).variableName, "click_var");
  EXPECT_STREQ(slot(1).path, "./Sound/vek/korv_01.wav");
  EXPECT_STREQ(slot(1).variableName, "korv_id_01");
  EXPECT_STREQ(slot(2).path, "spaced.wav");
  EXPECT_STREQ(slot(3).path, "./Sound/vek/korv_03.wav");  // present but empty
  EXPECT_EQ(panel->registrations(),
            (std::vector<std::string>{"shared", "shared", "korv_id_01", "click_var", "panel_quiet"}));
  EXPECT_EQ(slot(2).variableId, slot(3).variableId);  // the host's choice: one variable
  EXPECT_STREQ(slot(kStopSlot).variableName, "panel_quiet");
}

TEST_F(ConfigurationTest, AnEmptyLvarStopFallsBackToTheDefaultName) {
  configureWithIni("[Config]\nMaxSounds=0\nLvarStop=\n");
  EXPECT_EQ(panel->registrations(), (std::vector<std::string>{"vek_stop_sounds"}));
}

TEST_F(ConfigurationTest, ValuesAreCutAt127Characters) {
  const std::string longPath(200, 'p');
  const std::string longName(150, 'n');
  configureWithIni("[Config]\nMaxSounds=1\nLvarStop=" + longName + "\n[Sounds]\nSound00=" + longPath +
                   "\n[LVars]\nLvar00=" + longName + "\n");
  EXPECT_EQ(std::string(slot(0).path), longPath.substr(0, 127));
  EXPECT_EQ(std::string(slot(0).variableName), longName.substr(0, 127));
  EXPECT_EQ(std::string(slot(kStopSlot).variableName), longName.substr(0, 127));
}

TEST_F(ConfigurationTest, AnEmptyOrMissingParameterStringReadsTheDefaultIniPath) {
  scratch.write("Gauges/korvane.ini", "[Config]\nMaxSounds=2\n");
  for (const char* parameters : {"", static_cast<const char*>(nullptr)}) {
    player.configured = 0;
    panel->clearRecords();
    configure(parameters);
    EXPECT_STREQ(player.iniPath, "./Gauges/korvane.ini");
    EXPECT_EQ(player.slotCount, 2);
  }
}

TEST_F(ConfigurationTest, AParameterStringTooLongForThePathIsNeverCutIntoAnotherPath) {
  // The first 129 characters name a real INI file; the whole string does not.
  const std::string shortName = "Gauges/" + std::string(118, 'k') + ".ini";
  ASSERT_EQ(shortName.size(), 129u);
  scratch.write(shortName, "[Config]\nMaxSounds=3\n");
  const std::string tooLong = shortName + "x";
  configure(tooLong.c_str());
  EXPECT_EQ(player.slotCount, 100);  // every default, as for a missing file
  EXPECT_STREQ(slot(5).path, "./Sound/vek/korv_05.wav");
  EXPECT_EQ(panel->registrations().back(), "vek_stop_sounds");
  // A path of exactly 129 characters still fits.
  player.configured = 0;
  configure(shortName.c_str());
  EXPECT_EQ(player.slotCount, 3);
}

// Through the loaded module: configuration happens on the first update only.
TEST_F(GaugeTest, TheFirstUpdateReadsTheIniFileOnce) {
  const std::string ini = scratch.write("korvane.ini", "[Config]\nMaxSounds=2\n");
  host::GaugeModule* module = loadKorvane3();
  module->setParameters(ini.c_str());
  module->callback(kServiceBeforeInit);
  EXPECT_TRUE(panel->registrations().empty());
  module->callback(kServiceBeforeUpdate);
  EXPECT_EQ(panel->registrations(), (std::vector<std::string>{"korv_id_01", "korv_id_00", "vek_stop_sounds"}));
  scratch.write("korvane.ini", "[Config]\nMaxSounds=5\n");
  module->callback(kServiceBeforeUpdate);
  EXPECT_EQ(panel->registrations().size(), 3u);
}

TEST_F(GaugeTest, ServicesAfterDisconnectOrWithoutStorageDoNothing) {
  // A disconnect before the first update, then every service again.
  host::GaugeModule* module = loadKorvane3();
  const platform::LiveCounts loaded = platform::liveCounts();
  module->callback(kServiceDisconnect);
  EXPECT_LT(platform::liveCounts().heapBlocks, loaded.heapBlocks);
  const platform::LiveCounts released = platform::liveCounts();
  for (uint32_t service : {kServiceBeforeUpdate, kServiceWindowReady, kServiceDisconnect, kServiceBeforeUpdate}) {
    module->callback(service);
  }
  EXPECT_TRUE(panel->registrations().empty());
  EXPECT_EQ(platform::liveCounts(), released) << platform::describe(platform::liveCounts());

  // A module whose storage could not be allocated at load does nothing.
  for (long nth = 1; nth <= 4; ++nth) {
    SCOPED_TRACE("failed allocation " + std::to_string(nth));
    platform::clearFaults();
    platform::failCall("malloc", nth);
    host::GaugeModule* starved = loadKorvane3();
    platform::clearFaults();
    const platform::LiveCounts before = platform::liveCounts();
    starved->setParameters("");
    for (uint32_t service : {kServiceWindowReady, kServiceBeforeUpdate, kServiceBeforeUpdate, kServiceDisconnect}) {
      starved->callback(service);
    }
    EXPECT_TRUE(panel->registrations().empty());
    EXPECT_EQ(platform::liveCounts(), before) << platform::describe(platform::liveCounts());
  }
}

}  // namespace
