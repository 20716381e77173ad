#include "korvane3_session.h"

#include <cstdio>

namespace testing_support {

PcmFormat millisecondFormat() {
  PcmFormat format;
  format.channels = 1;
  format.sampleRate = 1000;
  format.bitsPerSample = 8;
  return format;
}

std::string slotVariable(int slot) {
  char name[16];
  std::snprintf(name, sizeof name, "korv_id_%02d", slot);
  return name;
}

std::string slotSoundPath(int slot) {
  char path[32];
  std::snprintf(path, sizeof path, "Sound/vek/korv_%02d.wav", slot);
  return path;
}

Korvane3Session::Korvane3Session(host::PanelHost& panel, const ScratchFolder& scratch, int slotCount,
                                 const std::string& extraIni)
    : panel_(panel), scratch_(scratch) {
  std::string ini = "[Config]\r\n";
  if (slotCount >= 0) ini += "MaxSounds=" + std::to_string(slotCount) + "\r\n";
  ini += extraIni;
  const std::string iniPath = scratch.write("korvane3.ini", ini);
  std::string error;
  module_ = panel.load(KORVANE3_MODULE_PATH, &error);
  if (module_ == nullptr) {
    ADD_FAILURE() << error;
    return;
  }
  module_->setParameters(iniPath.c_str());
  platform::setPlaybackObserver([this](const platform::PlaybackEvent& event) {
    if (event.kind != platform::PlaybackEvent::Played) events_.push_back(event);
  });
}

Korvane3Session::~Korvane3Session() {
  platform::setPlaybackObserver({});
  if (!disconnected_) disconnect();
}

std::vector<uint8_t> Korvane3Session::writeSound(int slot, size_t milliseconds) {
  std::vector<uint8_t> samples = patternBytes(milliseconds, static_cast<uint8_t>(slot + 1));
  scratch_.write(slotSoundPath(slot), pcmWav(millisecondFormat(), samples));
  sounds_[slot] = samples;
  return samples;
}

void Korvane3Session::windowReady() {
  if (module_ != nullptr) module_->callback(kServiceWindowReady);
}

void Korvane3Session::update() {
  if (module_ == nullptr) return;
  module_->callback(kServiceBeforeUpdate);
  noticeNewBuffers();
}

void Korvane3Session::disconnect() {
  disconnected_ = true;
  if (module_ != nullptr) module_->callback(kServiceDisconnect);
}

void Korvane3Session::set(int slot, double value) { panel_.setNamedVariable(slotVariable(slot), value); }
void Korvane3Session::setStop(double value) { panel_.setNamedVariable(kStopVariable, value); }
double Korvane3Session::value(int slot) { return panel_.namedVariable(slotVariable(slot)); }

void Korvane3Session::noticeNewBuffers() {
  for (const platform::BufferState& state : platform::buffers()) {
    if (bufferSlots_.count(state.id) != 0) continue;
    for (const auto& [slot, samples] : sounds_) {
      if (state.bytes == samples) bufferSlots_[state.id] = slot;
    }
  }
}

int Korvane3Session::slotOfBuffer(int bufferId) const {
  auto found = bufferSlots_.find(bufferId);
  return found != bufferSlots_.end() ? found->second : -1;
}

int Korvane3Session::bufferOf(int slot) {
  for (const platform::BufferState& state : platform::buffers()) {
    if (slotOfBuffer(state.id) == slot) return state.id;
  }
  return 0;
}

platform::BufferState Korvane3Session::buffer(int slot) {
  platform::BufferState state{};
  const int id = bufferOf(slot);
  if (id == 0 || !platform::bufferState(id, &state)) ADD_FAILURE() << "slot " << slot << " has no buffer";
  return state;
}

int Korvane3Session::starts(int slot, bool looping) const {
  int count = 0;
  for (const platform::PlaybackEvent& event : events_) {
    if (event.kind == platform::PlaybackEvent::Started && event.looping == looping &&
        slotOfBuffer(event.bufferId) == slot) {
      ++count;
    }
  }
  return count;
}

int Korvane3Session::stops(int slot) const {
  int count = 0;
  for (const platform::PlaybackEvent& event : events_) {
    if (event.kind == platform::PlaybackEvent::Stopped && slotOfBuffer(event.bufferId) == slot) ++count;
  }
  return count;
}

std::vector<double> Korvane3Session::writes(int slot) const {
  std::vector<double> values;
  for (const host::VariableWrite& write : panel_.gaugeWrites()) {
    if (write.name == slotVariable(slot)) values.push_back(write.value);
  }
  return values;
}

std::vector<std::string> Korvane3Session::writtenNames() const {
  std::vector<std::string> names;
  for (const host::VariableWrite& write : panel_.gaugeWrites()) names.push_back(write.name);
  return names;
}

void Korvane3Session::clearRecords() {
  events_.clear();
  panel_.clearRecords();
}

}  // namespace testing_support
