#include "host/gaugehost/scenario.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <sys/stat.h>

#include "frame/panel_abi.h"
#include "host/gaugehost/frame_schedule.h"
#include "host/panel_host.h"
#include "host/gaugehost/text_format.h"

namespace gaugehost {
namespace {

struct Word {
  std::string text;
  bool quoted;
};

struct ParseError {
  std::string message;
};

const std::map<std::string, uint32_t>& services() {
  static const std::map<std::string, uint32_t> names = {
      {"installed", kServiceInstalled},       {"before-init", kServiceBeforeInit},
      {"before-update", kServiceBeforeUpdate}, {"after-update", kServiceAfterUpdate},
      {"before-kill", kServiceBeforeKill},     {"window-ready", kServiceWindowReady},
      {"disconnect", kServiceDisconnect},
  };
  return names;
}

const std::map<std::string, uint32_t>& tokens() {
  static const std::map<std::string, uint32_t> names = {{"gate", host::kGateVariableToken},
                                                                 {"trim", host::kTrimVariableToken},
                                                                 {"limit", host::kLimitVariableToken}};
  return names;
}

const std::map<std::string, uint32_t>& keyEvents() {
  static const std::map<std::string, uint32_t> names = {{"raise", host::kTrimRaiseEventId},
                                                                 {"lower", host::kTrimLowerEventId},
                                                                 {"set", host::kTrimSetEventId}};
  return names;
}

std::vector<Word> splitWords(const std::string& line) {
  std::vector<Word> words;
  size_t at = 0;
  while (at < line.size()) {
    if (line[at] == ' ' || line[at] == '\t' || line[at] == '\r') {
      ++at;
      continue;
    }
    if (line[at] == '#') break;
    if (line[at] == '"') {
      const size_t close = line.find('"', at + 1);
      if (close == std::string::npos) throw ParseError{"a quote is not closed"};
      words.push_back(Word{line.substr(at + 1, close - at - 1), true});
      at = close + 1;
      continue;
    }
    const size_t end = line.find_first_of(" \t\r", at);
    words.push_back(Word{line.substr(at, end == std::string::npos ? std::string::npos : end - at), false});
    at = end == std::string::npos ? line.size() : end;
  }
  return words;
}

bool isComparison(const Word& word) {
  static const char* const operators[] = {"=", "!=", "<", "<=", ">", ">="};
  if (word.quoted) return false;
  for (const char* op : operators) {
    if (word.text == op) return true;
  }
  return false;
}

Comparison comparisonOf(const std::string& text) {
  if (text == "!=") return Comparison::NotEqual;
  if (text == "<") return Comparison::Less;
  if (text == "<=") return Comparison::LessOrEqual;
  if (text == ">") return Comparison::Greater;
  if (text == ">=") return Comparison::GreaterOrEqual;
  return Comparison::Equal;
}

double numberOf(const Word& word, const char* what) {
  const char* text = word.text.c_str();
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text, &end);
  if (word.text.empty() || *end != '\0' || (errno == ERANGE && std::isinf(value))) {
    throw ParseError{std::string(what) + " \"" + word.text + "\" is not a number"};
  }
  return value;
}

long wholeNumberOf(const Word& word, const char* what, long lowest, long highest) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(word.text.c_str(), &end, 0);
  if (word.text.empty() || *end != '\0' || errno != 0 || value < lowest || value > highest) {
    throw ParseError{std::string(what) + " \"" + word.text + "\" is not a whole number from " +
                     std::to_string(lowest) + " to " + std::to_string(highest)};
  }
  return value;
}

// "2s", "1.5s", "250ms"
bool timeOf(const std::string& text, uint64_t* microseconds) {
  double scale = 0.0;
  std::string number;
  if (text.size() > 2 && text.compare(text.size() - 2, 2, "ms") == 0) {
    scale = 1000.0;
    number = text.substr(0, text.size() - 2);
  } else if (text.size() > 1 && text.back() == 's') {
    scale = 1000000.0;
    number = text.substr(0, text.size() - 1);
  } else {
    return false;
  }
  char* end = nullptr;
  const double value = std::strtod(number.c_str(), &end);
  if (number.empty() || *end != '\0' || !(value >= 0.0) || value * scale > 1e13) return false;
  *microseconds = static_cast<uint64_t>(std::llround(value * scale));
  return true;
}

uint64_t timeWord(const Word& word) {
  uint64_t microseconds = 0;
  if (!timeOf(word.text, &microseconds)) {
    throw ParseError{"\"" + word.text + "\" is not a time such as 2s, 1.5s or 250ms"};
  }
  return microseconds;
}

uint32_t tokenOf(const Word& word) {
  auto named = tokens().find(word.text);
  if (named != tokens().end()) return named->second;
  return static_cast<uint32_t>(wholeNumberOf(word, "token", 0, 0xFFFFFFFFL));
}

uint32_t keyEventOf(const Word& word) {
  auto named = keyEvents().find(word.text);
  if (named != keyEvents().end()) return named->second;
  return static_cast<uint32_t>(wholeNumberOf(word, "key event", 0, 0xFFFFFFFFL));
}

bool fileExists(const std::string& path) {
  struct stat status = {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::string joinPath(const std::string& folder, const std::string& path) {
  if (path.empty() || path[0] == '/' || folder.empty()) return path;
  return folder + "/" + path;
}

// A path below the simulator folder: a scenario may make files there, never elsewhere.
void checkInsideSimulator(const std::string& path) {
  const std::string native = [&] {
    std::string copy = path;
    for (char& c : copy) {
      if (c == '\\') c = '/';
    }
    return copy;
  }();
  if (native.empty() || native[0] == '/' || (native.size() > 1 && native[1] == ':')) {
    throw ParseError{"\"" + path + "\" must be a path inside the simulator folder"};
  }
  std::stringstream parts(native);
  std::string part;
  while (std::getline(parts, part, '/')) {
    if (part == "..") throw ParseError{"\"" + path + "\" must not leave the simulator folder"};
  }
}

class Parser {
 public:
  Parser(const ModuleDefaults& modules, Scenario* scenario) : modules_(modules), scenario_(scenario) {}

  void parseLine(const std::string& line, int number) {
    std::vector<Word> words = splitWords(line);
    if (words.empty()) return;
    Command command{};
    command.line = number;
    const size_t first = line.find_first_not_of(" \t");
    const size_t last = line.find_last_not_of(" \t\r");
    command.source = line.substr(first, last - first + 1);
    if (!words[0].quoted && words[0].text == "at") {
      if (words.size() < 2) throw ParseError{"at wants a time, such as: at 1.5s set my_var 1"};
      Command at = command;
      at.kind = Command::At;
      at.microseconds = timeWord(words[1]);
      if (at.microseconds < clock_) {
        throw ParseError{"at " + words[1].text + " lies before the time the lines above reach (" +
                         seconds(clock_) + " s)"};
      }
      advanceTo(at.microseconds);
      scenario_->commands.push_back(at);
      words.erase(words.begin(), words.begin() + 2);
      if (words.empty()) return;
    }
    parseCommand(words, command);
    scenario_->commands.push_back(command);
  }

 private:
  struct KnownGauge {
    bool maybeKorvane3;
  };

  void want(const std::vector<Word>& words, size_t lowest, size_t highest, const char* usage) {
    if (words.size() < lowest || words.size() > highest) throw ParseError{std::string("usage: ") + usage};
  }

  void requireOpen(const std::string& what) {
    if (closed_) throw ParseError{what + " after close: the panel is closed"};
  }

  const std::string& knownGauge(const Word& word) {
    if (gauges_.count(word.text) == 0) {
      throw ParseError{"no gauge named " + word.text + " is loaded above this line"};
    }
    return word.text;
  }

  void advanceTo(uint64_t microseconds) {
    while (clock_ < microseconds) clock_ = schedule_.endOfUpdate(clock_);
  }

  // slot N [of GAUGE] | file PATH | buffer ID | GAUGE
  size_t parseTarget(const std::vector<Word>& words, size_t at, SoundTarget* target) {
    if (at >= words.size()) throw ParseError{"name a sound: slot N [of GAUGE], file PATH, buffer ID or a gauge"};
    const Word& word = words[at];
    if (!word.quoted && word.text == "slot") {
      if (at + 1 >= words.size()) throw ParseError{"slot wants its number"};
      target->kind = SoundTarget::Slot;
      target->slot = static_cast<int>(wholeNumberOf(words[at + 1], "slot", 0, 99));
      if (at + 2 < words.size() && !words[at + 2].quoted && words[at + 2].text == "of") {
        if (at + 3 >= words.size()) throw ParseError{"of wants a gauge name"};
        target->gauge = knownGauge(words[at + 3]);
        return at + 4;
      }
      std::vector<std::string> candidates;
      for (const auto& [name, gauge] : gauges_) {
        if (gauge.maybeKorvane3) candidates.push_back(name);
      }
      if (candidates.empty()) throw ParseError{"slot " + words[at + 1].text + ": no korvane3 is loaded above this line"};
      if (candidates.size() > 1) throw ParseError{"several gauges have slots: say slot N of GAUGE"};
      target->gauge = candidates.front();
      return at + 2;
    }
    if (!word.quoted && word.text == "file") {
      if (at + 1 >= words.size()) throw ParseError{"file wants the path the gauge opens"};
      target->kind = SoundTarget::File;
      target->file = words[at + 1].text;
      return at + 2;
    }
    if (!word.quoted && word.text == "buffer") {
      if (at + 1 >= words.size()) throw ParseError{"buffer wants its id"};
      target->kind = SoundTarget::Buffer;
      target->buffer = static_cast<int>(wholeNumberOf(words[at + 1], "buffer", 1, 1000000000));
      return at + 2;
    }
    target->kind = SoundTarget::Gauge;
    target->gauge = knownGauge(word);
    return at + 1;
  }

  // [times N] at the end of an event expectation
  void parseTimes(const std::vector<Word>& words, size_t at, Command& command) {
    if (at == words.size()) return;
    if (at + 2 == words.size() && words[at].text == "times") {
      command.times = wholeNumberOf(words[at + 1], "times", 0, 1000000000);
      if (command.negated) throw ParseError{"\"no\" and \"times\" do not go together: use times 0"};
      return;
    }
    throw ParseError{"unexpected \"" + words[at].text + "\" (only \"times N\" may follow)"};
  }

  void parseExpect(const std::vector<Word>& words, Command& command) {
    if (words.size() < 2) throw ParseError{"expect what? see docs/gaugehost.md"};
    // A named variable: expect NAME OP VALUE [within E]
    if (words.size() >= 4 && isComparison(words[2])) {
      command.kind = Command::ExpectVariable;
      command.text = words[1].text;
      parseComparison(words, 2, command);
      return;
    }
    const std::string& what = words[1].text;
    if (what == "token") {
      if (words.size() < 5 || !isComparison(words[3])) {
        throw ParseError{"usage: expect token TOKEN OP VALUE [within TOLERANCE]"};
      }
      command.kind = Command::ExpectToken;
      command.token = tokenOf(words[2]);
      parseComparison(words, 3, command);
      return;
    }
    if (what == "playing" || what == "looping" || what == "silent") {
      command.kind = Command::ExpectSound;
      command.sound = what == "playing" ? Command::Playing : what == "looping" ? Command::Looping : Command::Silent;
      const size_t end = parseTarget(words, 2, &command.target);
      command.hasTarget = true;
      if (end != words.size()) throw ParseError{"unexpected \"" + words[end].text + "\""};
      return;
    }
    size_t at = 1;
    command.kind = Command::ExpectEvents;
    if (words[at].text == "no") {
      command.negated = true;
      command.times = 0;
      ++at;
      if (at >= words.size()) throw ParseError{"expect no what? key, write, box, started, stopped or finished"};
    }
    const std::string& event = words[at++].text;
    if (event == "key") {
      command.event = Command::Key;
      if (at < words.size() && words[at].text != "times") {
        command.hasEventId = true;
        command.eventId = keyEventOf(words[at++]);
      }
    } else if (event == "write") {
      command.event = Command::Write;
      if (at < words.size() && words[at].text != "times") {
        command.text = words[at++].text;
        command.hasText = true;
        if (at < words.size() && words[at].text == "=") {
          if (at + 1 >= words.size()) throw ParseError{"= wants a value"};
          command.hasValue = true;
          command.number = numberOf(words[at + 1], "value");
          at += 2;
        }
      }
    } else if (event == "box") {
      command.event = Command::Box;
      if (at < words.size() && words[at].text != "times") {
        command.text = words[at++].text;
        command.hasText = true;
      }
    } else if (event == "started" || event == "stopped" || event == "finished") {
      command.event = event == "started" ? Command::Started : event == "stopped" ? Command::Stopped : Command::Finished;
      if (at < words.size() && words[at].text != "times") {
        at = parseTarget(words, at, &command.target);
        command.hasTarget = true;
      }
    } else {
      throw ParseError{"expect: \"" + event +
                       "\" is not something to expect (a variable needs an operator: expect NAME = VALUE)"};
    }
    parseTimes(words, at, command);
  }

  void parseComparison(const std::vector<Word>& words, size_t at, Command& command) {
    command.comparison = comparisonOf(words[at].text);
    if (at + 1 >= words.size()) throw ParseError{"the comparison wants a value"};
    command.number = numberOf(words[at + 1], "value");
    at += 2;
    if (at == words.size()) return;
    if (at + 2 == words.size() && words[at].text == "within" &&
        (command.comparison == Comparison::Equal || command.comparison == Comparison::NotEqual)) {
      command.tolerance = numberOf(words[at + 1], "tolerance");
      if (!(command.tolerance >= 0.0)) throw ParseError{"a tolerance is 0 or more"};
      return;
    }
    throw ParseError{"unexpected \"" + words[at].text + "\" (only = and != take \"within TOLERANCE\")"};
  }

  void parseLoad(const std::vector<Word>& words, Command& command) {
    if (words.size() < 2) throw ParseError{"usage: load korvane3|vantric|MODULE-FILE [as NAME] [PARAMETERS]"};
    requireOpen("load");
    command.kind = Command::Load;
    const std::string& which = words[1].text;
    bool maybeKorvane3 = true;
    const bool isPath = which.find('/') != std::string::npos ||
                        (which.size() > 3 && which.compare(which.size() - 3, 3, ".so") == 0);
    if (which == "korvane3") {
      command.path = modules_.korvane3;
    } else if (which == "vantric") {
      command.path = modules_.vantric;
      maybeKorvane3 = false;
    } else if (isPath) {
      command.path = joinPath(scenario_->folder, which);
    } else {
      throw ParseError{"load: \"" + which + "\" is neither korvane3, vantric nor a module file (a path with a / or .so)"};
    }
    if (!fileExists(command.path)) throw ParseError{"load: no module file " + command.path};
    std::string name = which;
    const size_t slash = name.find_last_of('/');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".so") == 0) name.resize(name.size() - 3);
    size_t at = 2;
    if (at + 1 < words.size() && !words[at].quoted && words[at].text == "as") {
      name = words[at + 1].text;
      at += 2;
    }
    if (name.empty() || name == "scenario" || name == "slot" || name == "file" || name == "buffer") {
      throw ParseError{"load: \"" + name + "\" cannot name a gauge"};
    }
    if (gauges_.count(name) != 0) throw ParseError{"load: a gauge named " + name + " is loaded already; add: as OTHER-NAME"};
    if (at < words.size()) {
      command.text = words[at].text;
      command.hasText = true;
      ++at;
    }
    if (at != words.size()) {
      throw ParseError{"load: unexpected \"" + words[at].text + "\" (quote a parameter string with blanks)"};
    }
    command.gauge = name;
    gauges_[name] = KnownGauge{maybeKorvane3};
  }

  void parseCommand(const std::vector<Word>& words, Command& command) {
    const std::string& verb = words[0].text;
    if (verb == "fps") {
      want(words, 2, 2, "fps UPDATES-PER-SECOND");
      command.kind = Command::Fps;
      command.number = static_cast<double>(wholeNumberOf(words[1], "fps", 1, 1000));
      schedule_.setFps(static_cast<uint64_t>(command.number), clock_);
    } else if (verb == "load") {
      parseLoad(words, command);
    } else if (verb == "set") {
      if (words.size() == 4 && words[1].text == "token") {
        command.kind = Command::SetToken;
        command.token = tokenOf(words[2]);
        command.number = numberOf(words[3], "value");
      } else {
        want(words, 3, 3, "set NAME VALUE, or set token TOKEN VALUE");
        command.kind = Command::SetNamed;
        command.text = words[1].text;
        command.number = numberOf(words[2], "value");
      }
    } else if (verb == "trim-model") {
      want(words, 2, 2, "trim-model STEP, or trim-model off");
      command.kind = Command::TrimModel;
      command.number = words[1].text == "off" ? 0.0 : numberOf(words[1], "step");
      if (!std::isfinite(command.number)) throw ParseError{"trim-model wants a finite step"};
    } else if (verb == "run") {
      want(words, 2, 3, "run N [updates], or run TIME (2s, 250ms)");
      requireOpen("run");
      uint64_t microseconds = 0;
      if (words.size() == 2 && timeOf(words[1].text, &microseconds)) {
        command.kind = Command::RunTime;
        command.microseconds = microseconds;
        advanceTo(clock_ + microseconds);
      } else {
        if (words.size() == 3 && words[2].text != "updates" && words[2].text != "update") {
          throw ParseError{"usage: run N [updates], or run TIME (2s, 250ms)"};
        }
        command.kind = Command::RunUpdates;
        command.count = wholeNumberOf(words[1], "run: the count of updates", 0, 100000000);
        for (long i = 0; i < command.count; ++i) clock_ = schedule_.endOfUpdate(clock_);
      }
    } else if (verb == "send") {
      want(words, 3, 4, "send GAUGE SERVICE [EXTRA]");
      requireOpen("send");
      command.kind = Command::Send;
      command.gauge = knownGauge(words[1]);
      auto named = services().find(words[2].text);
      command.service = named != services().end()
                            ? named->second
                            : static_cast<uint32_t>(wholeNumberOf(words[2], "service", 0, 0xFFFFFFFFL));
      if (words.size() == 4) command.extra = static_cast<uint64_t>(wholeNumberOf(words[3], "extra", 0, 0xFFFFFFFFL));
    } else if (verb == "close") {
      want(words, 1, 1, "close");
      requireOpen("close");
      command.kind = Command::Close;
      closed_ = true;
    } else if (verb == "fail") {
      parseFail(words, command);
    } else if (verb == "lose") {
      command.kind = Command::Lose;
      size_t at = parseTarget(words, 1, &command.target);
      command.hasTarget = true;
      if (at + 2 == words.size() && words[at].text == "restores-fail") {
        command.count = wholeNumberOf(words[at + 1], "restores-fail", 0, 1000000);
      } else if (at != words.size()) {
        throw ParseError{"usage: lose TARGET [restores-fail N]"};
      }
    } else if (verb == "copy") {
      if (words.size() != 4 || words[2].text != "to") throw ParseError{"usage: copy SOURCE to PATH"};
      command.kind = Command::Copy;
      command.path = joinPath(scenario_->folder, words[1].text);
      if (!fileExists(command.path)) throw ParseError{"copy: no file " + command.path};
      checkInsideSimulator(words[3].text);
      command.text = words[3].text;
    } else if (verb == "move") {
      if (words.size() != 4 || words[2].text != "to") throw ParseError{"usage: move PATH to PATH"};
      command.kind = Command::Move;
      checkInsideSimulator(words[1].text);
      checkInsideSimulator(words[3].text);
      command.path = words[1].text;
      command.text = words[3].text;
    } else if (verb == "remove") {
      want(words, 2, 2, "remove PATH");
      command.kind = Command::Remove;
      checkInsideSimulator(words[1].text);
      command.text = words[1].text;
    } else if (verb == "clear") {
      want(words, 1, 1, "clear");
      command.kind = Command::Clear;
    } else if (verb == "expect") {
      parseExpect(words, command);
    } else {
      throw ParseError{"unknown command \"" + verb + "\""};
    }
  }

  void parseFail(const std::vector<Word>& words, Command& command) {
    if (words.size() == 2 && words[1].text == "off") {
      command.kind = Command::ClearFaults;
      return;
    }
    if (words.size() < 2) throw ParseError{"usage: fail CALL [NTH] [times N | always], or fail off"};
    command.kind = Command::Fail;
    command.text = words[1].text;
    bool known = false;
    for (const std::string& name : failableCalls()) known = known || name == command.text;
    if (!known) {
      std::string list;
      for (const std::string& name : failableCalls()) list += " " + name;
      throw ParseError{"fail: the platform cannot fail \"" + command.text + "\"; it can fail:" + list};
    }
    command.count = 1;
    command.times = 1;
    size_t at = 2;
    if (at < words.size() && words[at].text != "times" && words[at].text != "always") {
      command.count = wholeNumberOf(words[at++], "fail: the call number", 1, 1000000000);
    }
    if (at + 1 == words.size() && words[at].text == "always") {
      command.times = -1;
    } else if (at + 2 == words.size() && words[at].text == "times") {
      command.times = wholeNumberOf(words[at + 1], "times", 1, 1000000000);
    } else if (at != words.size()) {
      throw ParseError{"usage: fail CALL [NTH] [times N | always]"};
    }
  }

  const ModuleDefaults& modules_;
  Scenario* scenario_;
  std::map<std::string, KnownGauge> gauges_;
  FrameSchedule schedule_;
  uint64_t clock_ = 0;  // where the lines so far take the clock, at the least
  bool closed_ = false;
};

}  // namespace

const std::vector<std::string>& failableCalls() {
  static const std::vector<std::string> names = {GAUGEHOST_FAILABLE_CALLS};
  return names;
}

std::string serviceName(uint32_t service) {
  for (const auto& [name, id] : services()) {
    if (id == service) return name;
  }
  return std::to_string(service);
}

std::string tokenName(uint32_t token) {
  for (const auto& [name, id] : tokens()) {
    if (id == token) return name + " (" + std::to_string(token) + ")";
  }
  return std::to_string(token);
}

std::string keyEventName(uint32_t eventId) {
  for (const auto& [name, id] : keyEvents()) {
    if (id == eventId) return hex(eventId) + " " + (name == "set" ? "set trim to 0" : name + " trim");
  }
  return hex(eventId);
}

bool parseScenarioText(const std::string& path, const std::string& text, const ModuleDefaults& modules,
                       Scenario* scenario, std::string* error) {
  scenario->path = path;
  // Absolute: the run takes place in the simulator folder, not here.
  std::error_code ignored;
  scenario->folder = std::filesystem::absolute(path, ignored).parent_path().string();
  scenario->commands.clear();
  Parser parser(modules, scenario);
  std::stringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    try {
      parser.parseLine(line, number);
    } catch (const ParseError& problem) {
      *error = path + ":" + std::to_string(number) + ": " + problem.message;
      return false;
    }
  }
  return true;
}

bool parseScenario(const std::string& path, const ModuleDefaults& modules, Scenario* scenario, std::string* error) {
  struct stat status = {};
  std::ifstream file(path, std::ios::binary);
  if (stat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode) || !file) {
    *error = "cannot read scenario " + path + ": " + (S_ISDIR(status.st_mode) ? "it is a folder" : std::strerror(errno));
    return false;
  }
  std::stringstream text;
  text << file.rdbuf();
  return parseScenarioText(path, text.str(), modules, scenario, error);
}

}  // namespace gaugehost
