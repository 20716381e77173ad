#include "host/gaugehost/scenario_runner.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "host/gaugehost/frame_schedule.h"
#include "host/gaugehost/mixer.h"
#include "host/gaugehost/text_format.h"
#include "host/panel_host.h"
#include "platform_control.h"

namespace gaugehost {
namespace {

namespace fs = std::filesystem;

struct RuntimeError {
  std::string message;
};

std::string sameFileKey(const std::string& path) {
  std::string key = platform::nativePath(path.c_str());
  while (key.compare(0, 2, "./") == 0) key.erase(0, 2);
  return key;
}

bool compare(double value, Comparison comparison, double expected, double tolerance) {
  switch (comparison) {
    case Comparison::Equal:
      return std::isnan(expected) ? std::isnan(value) : value == expected || std::fabs(value - expected) <= tolerance;
    case Comparison::NotEqual:
      return !compare(value, Comparison::Equal, expected, tolerance);
    case Comparison::Less: return value < expected;
    case Comparison::LessOrEqual: return value <= expected;
    case Comparison::Greater: return value > expected;
    case Comparison::GreaterOrEqual: return value >= expected;
  }
  return false;
}

const char* comparisonText(Comparison comparison) {
  switch (comparison) {
    case Comparison::Equal: return "=";
    case Comparison::NotEqual: return "!=";
    case Comparison::Less: return "<";
    case Comparison::LessOrEqual: return "<=";
    case Comparison::Greater: return ">";
    case Comparison::GreaterOrEqual: return ">=";
  }
  return "?";
}

class Runner;
Runner* activeRunner = nullptr;

class Runner {
 public:
  Runner(const Scenario& scenario, const RunOptions& options, RunResult* result)
      : scenario_(scenario), options_(options), result_(*result) {}

  void run() {
    char previous[4096];
    if (getcwd(previous, sizeof previous) == nullptr) {
      result_.error = "cannot tell the current directory: " + std::string(std::strerror(errno));
      return;
    }
    if (chdir(options_.simulatorFolder.c_str()) != 0) {
      result_.error = "cannot enter the simulator folder " + options_.simulatorFolder + ": " + std::strerror(errno);
      return;
    }
    platform::reset();
    window_ = platform::createWindow("FS98MAIN", "Flight Simulator");
    host_ = std::make_unique<host::PanelHost>();
    // The gauges' key events and writes come through here first, so that
    // the timeline has them in the order they happened.
    host_->services().sendKeyEvent = keyEventService;
    host_->services().setNamedVariable = setNamedVariableService;
    if (options_.render) mixer_ = std::make_unique<Mixer>(options_.renderRate);
    activeRunner = this;
    platform::setPlaybackObserver([this](const platform::PlaybackEvent& event) { heardPlayback(event); });
    sampleTokens();

    try {
      for (const Command& command : scenario_.commands) execute(command);
    } catch (const RuntimeError& problem) {
      result_.error = problem.message;
      add("scenario", "stopped: " + problem.message);
    }
    if (!closed_) closePanel();
    finish();

    platform::setPlaybackObserver(nullptr);
    activeRunner = nullptr;
    host_.reset();
    platform::destroyWindow(window_);
    platform::clearFaults();
    if (chdir(previous) != 0) result_.error = "cannot return to " + std::string(previous);
  }

 private:
  struct Gauge {
    std::string name;
    host::GaugeModule* module = nullptr;
    GaugeKind kind = GaugeKind::Other;
    bool hasParameters = false;
    std::string parameters;
    bool started = false;
    std::set<int> slotsWithBuffer;
  };
  struct BufferInfo {
    int gauge = -1;
    int slot = -1;
    std::string source;
    int openSound = -1;  // its stretch in the recording while it plays
  };
  struct EventRecord {
    Command::Event kind;
    uint64_t at;
    uint32_t eventId;
    std::string text;
    double value;
    int bufferId;
  };

  // ---- Host services and the playback observer ----

  static void PANEL_CALL keyEventService(uint32_t eventId, uint32_t parameter) {
    host::PanelHost* panel = host::PanelHost::current();
    const double trimBefore = panel->tokenVariable(host::kTrimVariableToken);
    panel->onSendKeyEvent(eventId, parameter);
    if (activeRunner != nullptr) activeRunner->heardKeyEvent(eventId, trimBefore);
  }

  static void PANEL_CALL setNamedVariableService(uint32_t variableId, double value) {
    host::PanelHost* panel = host::PanelHost::current();
    panel->onSetNamedVariable(variableId, value);
    if (activeRunner != nullptr) activeRunner->heardWrite(panel->variableName(variableId), value);
  }

  void heardKeyEvent(uint32_t eventId, double trimBefore) {
    const uint64_t now = platform::nowMicroseconds();
    events_.push_back(EventRecord{Command::Key, now, eventId, "", 0.0, 0});
    result_.recording.keys.push_back(Recording::KeyMark{now, current_, eventId});
    const double trimAfter = host_->tokenVariable(host::kTrimVariableToken);
    std::string what = "sends key " + keyEventName(eventId);
    const bool moved = trimAfter != trimBefore && !(std::isnan(trimAfter) && std::isnan(trimBefore));
    if (moved) what += " (trim " + roundNumber(trimBefore) + " -> " + roundNumber(trimAfter) + ")";
    add(currentName(), what);
    sampleTokens();
  }

  void heardWrite(const std::string& name, double value) {
    const uint64_t now = platform::nowMicroseconds();
    events_.push_back(EventRecord{Command::Write, now, 0, name, value, 0});
    result_.recording.writes.push_back(Recording::VariableMark{now, current_, name, value});
    add(currentName(), "writes " + name + " = " + shortNumber(value));
  }

  void heardPlayback(const platform::PlaybackEvent& event) {
    if (mixer_) mixer_->hear(event);
    if (event.kind == platform::PlaybackEvent::Played) return;
    BufferInfo& info = bufferInfo(event.bufferId);
    const std::string who = info.gauge >= 0 ? gauges_[info.gauge].name : "panel";
    auto& sounds = result_.recording.sounds;
    if (event.kind == platform::PlaybackEvent::Started) {
      const bool wasPlaying = info.openSound >= 0;
      if (wasPlaying) {
        sounds[info.openSound].end = event.atMicroseconds;
        sounds[info.openSound].how = Recording::Sound::Relooped;
      }
      Recording::Sound sound;
      sound.gauge = info.gauge;
      sound.slot = info.slot;
      sound.bufferId = event.bufferId;
      sound.source = info.source;
      sound.start = event.atMicroseconds;
      sound.looping = event.looping;
      info.openSound = static_cast<int>(sounds.size());
      sounds.push_back(sound);
      events_.push_back(EventRecord{Command::Started, event.atMicroseconds, 0, "", 0.0, event.bufferId});
      const std::string what = describeSound(info, event.bufferId);
      if (wasPlaying) {
        add(who, "plays on " + what + (event.looping ? ", now looping" : ", now to its end"));
      } else {
        add(who, (event.looping ? "loops " + what : "plays " + what + " once") + ": " + info.source);
      }
      return;
    }
    const bool finished = event.kind == platform::PlaybackEvent::Finished;
    if (info.openSound >= 0) {
      sounds[info.openSound].end = event.atMicroseconds;
      sounds[info.openSound].how = finished ? Recording::Sound::Finished : Recording::Sound::Stopped;
      info.openSound = -1;
    }
    events_.push_back(EventRecord{finished ? Command::Finished : Command::Stopped, event.atMicroseconds, 0, "", 0.0,
                                  event.bufferId});
    result_.timeline.push_back(TimelineEntry{event.atMicroseconds, who,
                                             finished ? describeSound(info, event.bufferId) + " played to its end"
                                                      : "stops " + describeSound(info, event.bufferId)});
  }

  // What a buffer holds, learned when it is first heard of: the gauge whose
  // call made it play, its source, and for korvane3 the slot of that source.
  BufferInfo& bufferInfo(int bufferId) {
    auto found = buffers_.find(bufferId);
    if (found != buffers_.end()) return found->second;
    BufferInfo info;
    platform::BufferState state;
    if (platform::bufferState(bufferId, &state)) {
      info.source = state.source;
      auto original = buffers_.find(state.duplicateOf);
      if (state.duplicateOf != 0 && original != buffers_.end()) {
        info.gauge = original->second.gauge;
        info.slot = original->second.slot;
      }
    }
    if (info.gauge < 0) info.gauge = current_;
    if (info.slot < 0 && info.gauge >= 0) info.slot = slotOf(gauges_[info.gauge], info.gauge, info.source);
    return buffers_.emplace(bufferId, info).first->second;
  }

  // korvane3 loads a slot once and plays it at once; of the slots that name
  // this file and have no buffer yet, the one whose variable asks for sound is
  // the one being loaded.
  int slotOf(Gauge& gauge, int gaugeIndex, const std::string& source) {
    const Recording::Gauge& recorded = result_.recording.gauges[gaugeIndex];
    if (gauge.kind != GaugeKind::Korvane3 || !recorded.configured) return -1;
    int fallback = -1;
    for (const KorvaneSlot& slot : recorded.configuration.slots) {
      if (slot.path != source || gauge.slotsWithBuffer.count(slot.index) != 0) continue;
      const double value = host_->hasVariable(slot.variable) ? host_->namedVariable(slot.variable) : 0.0;
      if (value >= 1.0 && value < 3.0) {
        gauge.slotsWithBuffer.insert(slot.index);
        return slot.index;
      }
      if (fallback < 0) fallback = slot.index;
    }
    if (fallback >= 0) gauge.slotsWithBuffer.insert(fallback);
    return fallback;
  }

  std::string describeSound(const BufferInfo& info, int bufferId) const {
    if (info.slot >= 0) return "slot " + std::to_string(info.slot);
    if (info.gauge >= 0 && gauges_[info.gauge].kind == GaugeKind::Vantric) return "the trim sound";
    return "buffer " + std::to_string(bufferId);
  }

  // ---- Timeline ----

  std::string currentName() const { return current_ >= 0 ? gauges_[current_].name : "panel"; }

  void add(const std::string& who, const std::string& what) {
    result_.timeline.push_back(TimelineEntry{platform::nowMicroseconds(), who, what});
  }

  void sampleTokens() {
    Recording::TokenSample sample{platform::nowMicroseconds(), host_->tokenVariable(host::kGateVariableToken),
                                  host_->tokenVariable(host::kTrimVariableToken), host_->tokenVariable(host::kLimitVariableToken)};
    auto& samples = result_.recording.tokens;
    const auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    if (!samples.empty() && same(samples.back().gate, sample.gate) && same(samples.back().trim, sample.trim) &&
        same(samples.back().limit, sample.limit)) {
      return;
    }
    samples.push_back(sample);
  }

  void noteBoxes() {
    const auto& boxes = platform::messageBoxes();
    for (; boxesSeen_ < boxes.size(); ++boxesSeen_) {
      const platform::MessageBoxRecord& box = boxes[boxesSeen_];
      const uint64_t now = platform::nowMicroseconds();
      events_.push_back(EventRecord{Command::Box, now, 0, box.text, 0.0, 0});
      result_.recording.boxes.push_back(Recording::BoxMark{now, current_, box.text});
      add(currentName(), "shows a message box \"" + box.caption + "\": " + box.text);
    }
  }

  // ---- Host calls ----

  void call(int index, uint32_t service, GaugeExtra extra, bool extraGiven) {
    Gauge& gauge = gauges_[index];
    Recording::Gauge& recorded = result_.recording.gauges[index];
    if (service == kServiceBeforeUpdate && gauge.kind == GaugeKind::Korvane3 && !recorded.configured) {
      // Read beside the gauge, from the same file at the same moment, by the
      // gauge's own code; an injected failure stays the gauge's.
      platform::holdFaults(true);
      recorded.configuration = readKorvaneConfiguration(gauge.hasParameters ? gauge.parameters.c_str() : nullptr);
      platform::holdFaults(false);
      recorded.configured = true;
    }
    current_ = index;
    if (service == kServiceInstalled && !extraGiven) {
      gauge.module->install();
    } else {
      gauge.module->callback(service, extra);
    }
    noteBoxes();
    current_ = -1;
  }

  void startGauge(int index) {
    Gauge& gauge = gauges_[index];
    gauge.started = true;
    add(gauge.name, "installed, before-init, window-ready");
    call(index, kServiceInstalled, 0, false);
    call(index, kServiceBeforeInit, 0, false);
    call(index, kServiceWindowReady, 0, false);
  }

  void update() {
    for (size_t i = 0; i < gauges_.size(); ++i) {
      if (!gauges_[i].started) startGauge(static_cast<int>(i));
    }
    for (size_t i = 0; i < gauges_.size(); ++i) call(static_cast<int>(i), kServiceBeforeUpdate, 0, false);
    for (size_t i = 0; i < gauges_.size(); ++i) call(static_cast<int>(i), kServiceAfterUpdate, 0, false);
    const uint64_t now = platform::nowMicroseconds();
    const uint64_t end = schedule_.endOfUpdate(now);
    platform::advanceClock(end - now);
    sampleTokens();
  }

  void closePanel() {
    for (const Gauge& gauge : gauges_) add(gauge.name, "before-kill, disconnect");
    current_ = -1;
    host_->closePanel();
    noteBoxes();
    closed_ = true;
  }

  void finish() {
    const uint64_t now = platform::nowMicroseconds();
    Recording& recording = result_.recording;
    recording.endMicroseconds = now;
    sampleTokens();
    for (Recording::Sound& sound : recording.sounds) {
      if (sound.how == Recording::Sound::Running) sound.end = now;
    }
    if (mixer_) result_.audio = mixer_->samples(now);
  }

  // ---- Commands ----

  int gaugeIndex(const std::string& name) const {
    for (size_t i = 0; i < gauges_.size(); ++i) {
      if (gauges_[i].name == name) return static_cast<int>(i);
    }
    return -1;
  }

  std::string where(const Command& command) const { return scenario_.path + ":" + std::to_string(command.line); }

  void failed(const Command& command, const std::string& message) {
    result_.failures.push_back(where(command) + ": " + message);
    add("scenario", "FAILED (line " + std::to_string(command.line) + "): " + message);
  }

  bool matches(int bufferId, const SoundTarget& target) {
    const BufferInfo& info = bufferInfo(bufferId);
    switch (target.kind) {
      case SoundTarget::Slot: return info.gauge == gaugeIndex(target.gauge) && info.slot == target.slot;
      case SoundTarget::File: return sameFileKey(info.source) == sameFileKey(target.file);
      case SoundTarget::Gauge: return info.gauge == gaugeIndex(target.gauge);
      case SoundTarget::Buffer: return bufferId == target.buffer;
    }
    return false;
  }

  std::string describe(const SoundTarget& target) const {
    switch (target.kind) {
      case SoundTarget::Slot: return "slot " + std::to_string(target.slot) + " of " + target.gauge;
      case SoundTarget::File: return "file " + target.file;
      case SoundTarget::Gauge: return target.gauge;
      case SoundTarget::Buffer: return "buffer " + std::to_string(target.buffer);
    }
    return "?";
  }

  void requireSlots(const Command& command, const SoundTarget& target) {
    if (target.kind != SoundTarget::Slot) return;
    const int index = gaugeIndex(target.gauge);
    if (index >= 0 && gauges_[index].kind != GaugeKind::Korvane3) {
      throw RuntimeError{where(command) + ": " + target.gauge + " is not korvane3 and has no slots"};
    }
  }

  // The live buffers the target names, among those heard of.
  std::vector<int> liveBuffers(const SoundTarget& target) {
    std::vector<int> ids;
    if (target.kind == SoundTarget::Buffer) {
      if (platform::bufferState(target.buffer, nullptr)) ids.push_back(target.buffer);
      return ids;
    }
    for (const auto& entry : buffers_) {
      if (platform::bufferState(entry.first, nullptr) && matches(entry.first, target)) ids.push_back(entry.first);
    }
    return ids;
  }

  void execute(const Command& command) {
    switch (command.kind) {
      case Command::Fps:
        schedule_.setFps(static_cast<uint64_t>(command.number), platform::nowMicroseconds());
        add("scenario", command.source);
        return;
      case Command::Load: {
        std::string error;
        host::GaugeModule* module = host_->load(command.path, &error);
        if (module == nullptr) throw RuntimeError{where(command) + ": " + error};
        module->setParameters(command.hasText ? command.text.c_str() : nullptr);
        Gauge gauge;
        gauge.name = command.gauge;
        gauge.module = module;
        const std::string headerName = module->header()->name != nullptr ? module->header()->name : "";
        gauge.kind = headerName == "korvane3" ? GaugeKind::Korvane3
                     : headerName == "TRIM"   ? GaugeKind::Vantric
                                              : GaugeKind::Other;
        gauge.hasParameters = command.hasText;
        gauge.parameters = command.text;
        gauges_.push_back(gauge);
        Recording::Gauge recorded;
        recorded.name = gauge.name;
        recorded.kind = gauge.kind;
        result_.recording.gauges.push_back(recorded);
        add("scenario", command.source);
        return;
      }
      case Command::SetNamed:
        host_->setNamedVariable(command.text, command.number);
        result_.recording.sets.push_back(
            Recording::VariableMark{platform::nowMicroseconds(), -1, command.text, command.number});
        add("scenario", "set " + command.text + " = " + shortNumber(command.number));
        return;
      case Command::SetToken:
        host_->setTokenVariable(command.token, command.number);
        sampleTokens();
        add("scenario", "set token " + tokenName(command.token) + " = " + shortNumber(command.number));
        return;
      case Command::TrimModel:
        if (command.number == 0.0) {
          host_->clearTrimModel();
        } else {
          host_->setTrimModel(command.number);
        }
        add("scenario", command.source);
        return;
      case Command::RunUpdates:
        for (long i = 0; i < command.count; ++i) update();
        return;
      case Command::RunTime: {
        const uint64_t until = platform::nowMicroseconds() + command.microseconds;
        while (platform::nowMicroseconds() < until) update();
        return;
      }
      case Command::At:
        while (platform::nowMicroseconds() < command.microseconds) update();
        return;
      case Command::Send: {
        const int index = gaugeIndex(command.gauge);
        add("scenario", command.source);
        gauges_[index].started = true;
        call(index, command.service, static_cast<GaugeExtra>(command.extra), command.extra != 0);
        return;
      }
      case Command::Close:
        closePanel();
        return;
      case Command::Fail:
        platform::failCall(command.text, command.count, command.times);
        add("scenario", command.source);
        return;
      case Command::ClearFaults:
        platform::clearFaults();
        add("scenario", command.source);
        return;
      case Command::Lose: {
        // Counted with the expectations: it expects the target to have a buffer.
        ++result_.expectations;
        requireSlots(command, command.target);
        const std::vector<int> ids = liveBuffers(command.target);
        add("scenario", command.source);
        if (ids.empty()) {
          failed(command, "there is no sound buffer of " + describe(command.target) + " to lose");
          return;
        }
        for (int id : ids) platform::loseBuffer(id, static_cast<int>(command.count));
        return;
      }
      case Command::Copy: {
        const fs::path destination = platform::nativePath(command.text.c_str());
        std::error_code problem;
        if (destination.has_parent_path()) fs::create_directories(destination.parent_path(), problem);
        fs::copy_file(command.path, destination, fs::copy_options::overwrite_existing, problem);
        if (problem) throw RuntimeError{where(command) + ": cannot copy to " + command.text + ": " + problem.message()};
        add("scenario", command.source);
        return;
      }
      case Command::Remove: {
        std::error_code problem;
        fs::remove(platform::nativePath(command.text.c_str()), problem);
        if (problem) throw RuntimeError{where(command) + ": cannot remove " + command.text + ": " + problem.message()};
        add("scenario", command.source);
        return;
      }
      case Command::Move: {
        std::error_code problem;
        const fs::path destination = platform::nativePath(command.text.c_str());
        if (destination.has_parent_path()) fs::create_directories(destination.parent_path(), problem);
        fs::rename(platform::nativePath(command.path.c_str()), destination, problem);
        if (problem) {
          throw RuntimeError{where(command) + ": cannot move " + command.path + " to " + command.text + ": " +
                             problem.message()};
        }
        add("scenario", command.source);
        return;
      }
      case Command::Clear:
        events_.clear();
        clearedAtLine_ = command.line;
        add("scenario", command.source);
        return;
      case Command::ExpectVariable:
      case Command::ExpectToken:
        checkValue(command);
        return;
      case Command::ExpectEvents:
        checkEvents(command);
        return;
      case Command::ExpectSound:
        checkSound(command);
        return;
    }
  }

  void checkValue(const Command& command) {
    ++result_.expectations;
    double value = 0.0;
    std::string name;
    if (command.kind == Command::ExpectVariable) {
      name = command.text;
      if (!host_->hasVariable(name)) {
        failed(command, "there is no variable " + name + " (no gauge registered it and nothing set it)");
        return;
      }
      value = host_->namedVariable(name);
    } else {
      name = "token " + tokenName(command.token);
      value = host_->tokenVariable(command.token);
    }
    if (compare(value, command.comparison, command.number, command.tolerance)) return;
    std::string expected = name + " " + comparisonText(command.comparison) + " " + shortNumber(command.number);
    if (command.tolerance > 0.0) expected += " within " + shortNumber(command.tolerance);
    failed(command, "expected " + expected + ", but it is " + shortNumber(value));
  }

  std::string eventWords(const Command& command) const {
    switch (command.event) {
      case Command::Key:
        return "key " + (command.hasEventId ? keyEventName(command.eventId) : std::string("event"));
      case Command::Write:
        return "write" + (command.hasText ? " of " + command.text : std::string()) +
               (command.hasValue ? " = " + shortNumber(command.number) : std::string());
      case Command::Box:
        return "message box" + (command.hasText ? " \"" + command.text + "\"" : std::string());
      case Command::Started:
      case Command::Stopped:
      case Command::Finished: {
        const char* verb = command.event == Command::Started   ? "started"
                           : command.event == Command::Stopped ? "stopped"
                                                               : "finished";
        return std::string(verb) + " " + (command.hasTarget ? describe(command.target) : std::string("sound"));
      }
    }
    return "?";
  }

  void checkEvents(const Command& command) {
    ++result_.expectations;
    long seen = 0;
    uint64_t firstAt = 0;
    for (const EventRecord& event : events_) {
      if (event.kind != command.event) continue;
      bool match = true;
      switch (command.event) {
        case Command::Key: match = !command.hasEventId || event.eventId == command.eventId; break;
        case Command::Write:
          match = (!command.hasText || event.text == command.text) &&
                  (!command.hasValue || compare(event.value, Comparison::Equal, command.number, 0.0));
          break;
        case Command::Box: match = !command.hasText || event.text == command.text; break;
        default: match = !command.hasTarget || matches(event.bufferId, command.target); break;
      }
      if (!match) continue;
      if (seen++ == 0) firstAt = event.at;
    }
    const bool held = command.times < 0 ? seen > 0 : seen == command.times;
    if (held) return;
    const std::string since =
        clearedAtLine_ > 0 ? " since line " + std::to_string(clearedAtLine_) : std::string(" so far");
    const std::string what = eventWords(command);
    if (command.times < 0) {
      failed(command, "expected " + what + since + ", but there was none");
    } else if (command.times == 0) {
      failed(command, "expected no " + what + since + ", but there " + (seen == 1 ? "was 1" : "were " + std::to_string(seen)) +
                          " (the first at " + seconds(firstAt) + " s)");
    } else {
      failed(command, "expected " + what + " " + std::to_string(command.times) + " times" + since + ", but saw it " +
                          std::to_string(seen) + " times");
    }
  }

  void checkSound(const Command& command) {
    ++result_.expectations;
    requireSlots(command, command.target);
    bool playing = false;
    bool looping = false;
    for (int id : liveBuffers(command.target)) {
      platform::BufferState state;
      if (!platform::bufferState(id, &state) || !state.playing) continue;
      playing = true;
      looping = looping || state.looping;
    }
    const std::string now = playing ? (looping ? "looping" : "playing once") : "silent";
    const std::string target = describe(command.target);
    switch (command.sound) {
      case Command::Playing:
        if (!playing) failed(command, "expected " + target + " playing, but it is silent");
        return;
      case Command::Looping:
        if (!looping) failed(command, "expected " + target + " looping, but it is " + now);
        return;
      case Command::Silent:
        if (playing) failed(command, "expected " + target + " silent, but it is " + now);
        return;
    }
  }

  const Scenario& scenario_;
  const RunOptions& options_;
  RunResult& result_;
  HWND window_ = nullptr;
  std::unique_ptr<host::PanelHost> host_;
  std::unique_ptr<Mixer> mixer_;
  std::vector<Gauge> gauges_;
  std::map<int, BufferInfo> buffers_;
  std::vector<EventRecord> events_;  // since the last `clear`
  int clearedAtLine_ = 0;
  int current_ = -1;                 // the gauge whose call is running
  size_t boxesSeen_ = 0;
  FrameSchedule schedule_;
  bool closed_ = false;
};

}  // namespace

RunResult runScenario(const Scenario& scenario, const RunOptions& options) {
  RunResult result;
  Runner runner(scenario, options, &result);
  runner.run();
  return result;
}

std::string formatTimeline(const RunResult& result) {
  std::vector<std::vector<std::string>> rows{{"time (s)", "who", "what"}};
  for (const TimelineEntry& entry : result.timeline) {
    std::string time = seconds(entry.at);
    if (time.size() < 8) time = std::string(8 - time.size(), ' ') + time;
    rows.push_back({time, entry.who, entry.what});
  }
  return table(rows, "  ");
}

}  // namespace gaugehost
