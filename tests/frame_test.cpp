// The frame both modules share, seen from the host: records, standard
// routines, the service table address, and the services each gauge ignores.
#include <cstring>

#include "test_support.h"

namespace {

using testing_support::GaugeTest;

struct ModuleCase {
  const char* path;
  const char* gaugeName;
  uint32_t interfaceVersion;
  uint32_t bitmapId;
  uint32_t imageFlags;
  uint32_t sizeValue;
  bool hasMouseRects;
  bool sameInitAndDeinit;
  std::vector<uint32_t> ignoredServices;
};

const ModuleCase kModules[] = {
    {KORVANE3_MODULE_PATH, "korvane3", 0x900, 256, 0x83, 20, false, false,
     {0, 3, 4, 5, 7, 12, 13, 16, 0xFFFFFFFFu}},
    {VANTRIC_MODULE_PATH, "TRIM", 0x800, 1000, 0x01, 10, true, true,
     {0, 4, 5, 6, 13, 14, 15, 16, 0xFFFFFFFFu}},
};

class FrameTest : public GaugeTest, public ::testing::WithParamInterface<ModuleCase> {
 protected:
  host::GaugeModule* load() {
    std::string error;
    host::GaugeModule* module = panel->load(GetParam().path, &error);
    EXPECT_NE(module, nullptr) << error;
    return module;
  }
};

TEST_P(FrameTest, RecordsHoldTheModulesValues) {
  const ModuleCase& expected = GetParam();
  host::GaugeModule* module = load();
  const LinkageRecord* linkage = module->linkage();
  EXPECT_EQ(module->importTable()->entryId, 0x0Fu);
  EXPECT_EQ(module->importTable()->services, &panel->services());
  EXPECT_EQ(linkage->moduleId, 0x13u);
  EXPECT_EQ(linkage->interfaceVersion, expected.interfaceVersion);
  EXPECT_EQ(linkage->initRoutine == linkage->deinitRoutine, expected.sameInitAndDeinit);
  EXPECT_EQ(linkage->endOfGauges, nullptr);

  const GaugeHeader* header = linkage->gauge;
  EXPECT_EQ(header->headerVersion, 0x320u);
  EXPECT_STREQ(header->name, expected.gaugeName);
  EXPECT_EQ(header->sizeValue, expected.sizeValue);
  EXPECT_EQ(header->parameters, nullptr);
  EXPECT_EQ(header->mouseRects != nullptr, expected.hasMouseRects);
  ASSERT_NE(header->elements[0], nullptr);
  EXPECT_EQ(header->elements[1], nullptr);
  const GaugeElement* element = header->elements[0];
  EXPECT_EQ(element->bitmapId, expected.bitmapId);
  EXPECT_EQ(element->imageFlags, expected.imageFlags);
  EXPECT_EQ(element->header, header);
  EXPECT_EQ(element->furtherElements, nullptr);
  if (expected.hasMouseRects) {
    EXPECT_EQ(header->mouseRects[0].type, 1u);
    EXPECT_EQ(header->mouseRects[1].type, 3u);
    EXPECT_EQ(header->mouseRects[2].type, 0u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(header->mouseRects[i].minusOne, 0xFFFFFFFFu);
  }
  // The module routines do nothing; calling them must be harmless.
  linkage->initRoutine();
  linkage->deinitRoutine();
  EXPECT_TRUE(panel->elementCalls().empty());
}

TEST_P(FrameTest, StandardRoutinesForwardToTheirElementService) {
  host::GaugeModule* module = load();
  GaugeElement* element = module->header()->elements[0];
  struct RoutineCase {
    int routine;
    int offset;
    uint32_t argument;
    bool passesArgument;
  };
  const RoutineCase cases[] = {{1, 96, 0, false},  {2, 100, 0xDEADBEEFu, true}, {3, 104, 0, false},
                               {4, 108, 0, false}, {5, 112, 7, true},           {6, 116, 0, false},
                               {7, 124, 0, false}};
  for (const RoutineCase& c : cases) {
    SCOPED_TRACE("routine " + std::to_string(c.routine));
    panel->clearRecords();
    panel->setElementServiceResult(c.offset, 0x5000u + c.offset);
    EXPECT_EQ(module->routine(c.routine, c.argument), 0x5000u + c.offset);
    ASSERT_EQ(panel->elementCalls().size(), 1u);
    EXPECT_EQ(panel->elementCalls()[0].offset, c.offset);
    EXPECT_EQ(panel->elementCalls()[0].element, element);
    if (c.passesArgument) {
      EXPECT_EQ(panel->elementCalls()[0].value, c.argument);
    }
  }
  EXPECT_EQ(panel->calls120(), 0);
  EXPECT_EQ(panel->unusedEntryCalls(), 0);
}

// The host may store another table at any time; the next call of every
// routine must use it.
std::vector<int> callsOnSecondTable;
template <int Offset>
uint32_t PANEL_CALL secondTableService(GaugeElement*) {
  callsOnSecondTable.push_back(Offset);
  return 77;
}
template <int Offset>
uint32_t PANEL_CALL secondTableValueService(GaugeElement*, uint32_t) {
  callsOnSecondTable.push_back(Offset);
  return 77;
}

TEST_P(FrameTest, ATableStoredAfterLoadIsTheOneUsedNext) {
  host::GaugeModule* module = load();
  PanelServices second = panel->services();
  second.elementService96 = secondTableService<96>;
  second.elementService100 = secondTableValueService<100>;
  second.elementService104 = secondTableService<104>;
  second.elementService108 = secondTableService<108>;
  second.elementService112 = secondTableValueService<112>;
  second.elementService116 = secondTableService<116>;
  second.elementService124 = secondTableService<124>;
  callsOnSecondTable.clear();
  module->importTable()->services = &second;
  for (int routine = 1; routine <= 7; ++routine) EXPECT_EQ(module->routine(routine, 1), 77u);
  EXPECT_EQ(callsOnSecondTable, (std::vector<int>{96, 100, 104, 108, 112, 116, 124}));
  EXPECT_TRUE(panel->elementCalls().empty());
  // And back to the first.
  module->importTable()->services = &panel->services();
  module->routine(1);
  EXPECT_EQ(panel->elementCalls().size(), 1u);
}

TEST_P(FrameTest, ServicesTheGaugeDoesNotHandleChangeNothing) {
  host::GaugeModule* module = load();
  module->setParameters("");
  const platform::LiveCounts before = platform::liveCounts();
  for (uint32_t service : GetParam().ignoredServices) {
    SCOPED_TRACE("service " + std::to_string(service));
    platform::clearFaults();
    module->callback(service, reinterpret_cast<GaugeExtra>(module->instanceHandle()));
    EXPECT_TRUE(platform::failableCallLog().empty()) << platform::failableCallLog()[0];
  }
  EXPECT_TRUE(panel->registrations().empty());
  EXPECT_TRUE(panel->gaugeWrites().empty());
  EXPECT_TRUE(panel->keyEvents().empty());
  EXPECT_TRUE(panel->elementCalls().empty());
  EXPECT_TRUE(platform::messageBoxes().empty());
  EXPECT_EQ(platform::liveCounts(), before) << platform::describe(platform::liveCounts());
}

TEST_P(FrameTest, EachLoadHasItsOwnModuleState) {
  host::GaugeModule* first = load();
  host::GaugeModule* second = load();
  EXPECT_NE(first->linkage(), second->linkage());
  EXPECT_NE(first->instanceHandle(), second->instanceHandle());
  EXPECT_EQ(second->importTable()->services, &panel->services());
}

TEST_P(FrameTest, ModuleCarriesItsBitmapResource) {
  host::GaugeModule* module = load();
  HRSRC resource = FindResourceA(module->instanceHandle(), MAKEINTRESOURCEA(GetParam().bitmapId), RT_BITMAP);
  ASSERT_NE(resource, nullptr);
  EXPECT_EQ(SizeofResource(module->instanceHandle(), resource), 1184u);
  const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module->instanceHandle(), resource)));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(bytes[0], 40);   // BITMAPINFOHEADER
  EXPECT_EQ(bytes[4], 10);   // width
  EXPECT_EQ(bytes[14], 8);   // bits per pixel
}

INSTANTIATE_TEST_SUITE_P(BothModules, FrameTest, ::testing::ValuesIn(kModules),
                         [](const auto& info) { return std::string(info.param.gaugeName); });

TEST(FrameLoad, AFileThatIsNotAGaugeModuleIsRefused) {
  host::PanelHost panel;
  std::string error;
  EXPECT_EQ(panel.load("/nonexistent/korvane3.so", &error), nullptr);
  EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
  // A shared library without the two records.
  EXPECT_EQ(panel.load(NOT_A_GAUGE_LIBRARY, &error), nullptr);
  EXPECT_NE(error.find("ImportTable"), std::string::npos) << error;
}

}  // namespace
