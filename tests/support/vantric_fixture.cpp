#include "vantric_fixture.h"

#include <cstring>

#include "wav_builder.h"

namespace testing_support {
namespace {

VantricTest* active = nullptr;
SendKeyEventService hostSendKeyEvent = nullptr;
LookupVariableService hostLookupVariable = nullptr;

void PANEL_CALL recordKeyEvent(uint32_t eventId, uint32_t parameter) {
  hostSendKeyEvent(eventId, parameter);
  const double trim = host::PanelHost::current()->tokenVariable(kTrim);
  if (active != nullptr) active->timeline.push_back({TimelineEntry::KeyEvent, eventId, trim});
}

void PANEL_CALL recordLookup(ModuleVar* variable) {
  ModuleVar clean = {};
  clean.token = variable->token;
  if (std::memcmp(&clean, variable, sizeof clean) != 0 && active != nullptr) {
    active->lookupRecordsWereClean = false;
  }
  hostLookupVariable(variable);
  if (active != nullptr) active->timeline.push_back({TimelineEntry::Lookup, variable->token, variable->value});
}

}  // namespace

VantricTest::VantricTest()
    : samples(patternBytes(11025 * 2, 11)), wav(pcmWav(PcmFormat{}, samples)) {
  active = this;
  hostSendKeyEvent = panel->services().sendKeyEvent;
  hostLookupVariable = panel->services().lookupVariable;
  panel->services().sendKeyEvent = recordKeyEvent;
  panel->services().lookupVariable = recordLookup;
  platform::setPlaybackObserver([this](const platform::PlaybackEvent& event) {
    const double trim = panel->tokenVariable(kTrim);
    const auto id = static_cast<uint32_t>(event.bufferId);
    if (event.kind == platform::PlaybackEvent::Started) timeline.push_back({TimelineEntry::SoundStarted, id, trim});
    if (event.kind == platform::PlaybackEvent::Stopped) timeline.push_back({TimelineEntry::SoundStopped, id, trim});
  });
}

VantricTest::~VantricTest() {
  platform::setPlaybackObserver(nullptr);
  active = nullptr;
}

host::GaugeModule* VantricTest::load() {
  module = loadVantric();
  return module;
}

host::GaugeModule* VantricTest::install(double gate, bool writeWavFile) {
  if (writeWavFile) writeWav();
  load();
  panel->setTokenVariable(kGate, gate);
  if (module != nullptr) module->install();
  return module;
}

void VantricTest::set(double gate, double trim, double limit) {
  panel->setTokenVariable(kGate, gate);
  panel->setTokenVariable(kTrim, trim);
  panel->setTokenVariable(kLimit, limit);
}

std::vector<TimelineEntry> VantricTest::update() {
  // About the host's update rate, so that a looping sound moves on.
  platform::advanceClock(55000);
  const size_t before = timeline.size();
  module->callback(kServiceAfterUpdate);
  return std::vector<TimelineEntry>(timeline.begin() + static_cast<long>(before), timeline.end());
}

void VantricTest::tearDown() { module->callback(kServiceBeforeKill); }

bool VantricTest::trimBuffer(platform::BufferState* state) const {
  const std::vector<platform::BufferState> live = platform::buffers();
  if (live.size() != 1) return false;
  *state = live.front();
  return true;
}

bool VantricTest::soundPlaying() const {
  platform::BufferState state;
  return trimBuffer(&state) && state.playing;
}

std::vector<uint32_t> VantricTest::keyEventIds() const {
  std::vector<uint32_t> ids;
  for (const auto& event : panel->keyEvents()) ids.push_back(event.eventId);
  return ids;
}

std::vector<uint32_t> VantricTest::lookups(const std::vector<TimelineEntry>& entries) const {
  std::vector<uint32_t> tokens;
  for (const auto& entry : entries) {
    if (entry.kind == TimelineEntry::Lookup) tokens.push_back(entry.value);
  }
  return tokens;
}

std::vector<TimelineEntry> VantricTest::only(const std::vector<TimelineEntry>& entries,
                                             TimelineEntry::Kind kind) {
  std::vector<TimelineEntry> kept;
  for (const auto& entry : entries) {
    if (entry.kind == kind) kept.push_back(entry);
  }
  return kept;
}

}  // namespace testing_support
