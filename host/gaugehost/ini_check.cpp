#include "host/gaugehost/ini_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include <windows.h>

#include "host/gaugehost/text_format.h"
#include "platform_control.h"
#include "sound_player/sound_bank.h"
#include "sound_player/wave_file_reader.h"

namespace gaugehost {
namespace {

constexpr size_t kLongestKeptValue = 127;   // what korvane3 keeps of an INI value
constexpr size_t kLongestParameters = 129;  // the longest INI path it uses
constexpr char kMissingKey[] = "\x01";      // a default no INI file can hold

// A value as the INI file really has it, uncut: the same platform reader the
// gauge uses, with room for any line.
bool rawIniValue(const std::string& iniPath, const char* section, const char* key, std::string* value) {
  std::vector<char> buffer(65536);
  GetPrivateProfileStringA(section, key, kMissingKey, buffer.data(), static_cast<DWORD>(buffer.size()),
                           iniPath.c_str());
  if (std::strcmp(buffer.data(), kMissingKey) == 0) return false;
  *value = buffer.data();
  return true;
}

bool isWindowsAbsolute(const std::string& path) {
  const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                     (path[2] == '\\' || path[2] == '/');
  const bool network = path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
  return drive || network;
}

// Relative to the working directory, in the simulator: also "\Sound\x.wav",
// which only names a folder of the current drive.
bool isRelative(const std::string& path) { return !isWindowsAbsolute(path) && !(!path.empty() && path[0] == '/'); }

std::string channelWords(uint16_t channels) {
  if (channels == 1) return "mono";
  if (channels == 2) return "stereo";
  return std::to_string(channels) + " channels";
}

std::string describeFormat(const SoundFileState& state) {
  char text[160];
  const std::string kind = state.formatTag == WAVE_FORMAT_PCM ? "PCM" : "format " + hex(state.formatTag);
  std::snprintf(text, sizeof text, "%s %u-bit %s %u Hz", kind.c_str(), state.bitsPerSample,
                channelWords(state.channels).c_str(), state.samplesPerSecond);
  return text;
}

std::string describeLength(const SoundFileState& state) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f s", state.seconds);
  return text;
}

// The sound bank's answer, as a panel developer can act on it.
std::string whyTheBankRefused(HRESULT result, const SoundFileState& state) {
  if (result == DSERR_BADFORMAT) {
    return "DirectSound cannot play " + describeFormat(state) + " (it takes 8- or 16-bit PCM, mono or stereo)";
  }
  if (result == DSERR_INVALIDPARAM) {
    return "DirectSound makes no buffer of " + std::to_string(state.dataBytes) + " bytes (" +
           std::to_string(DSBSIZE_MIN) + " at least)";
  }
  char text[96];
  std::snprintf(text, sizeof text, "the sound bank cannot load it (result 0x%08X)", static_cast<unsigned>(result));
  return text;
}

// Looks at one slot's file the way the gauge will: the gauge's WAV file
// reader for its format and length, then the gauge's sound bank, which makes
// and fills the DirectSound buffer the slot would play.
SoundFileState inspectSound(int index, const std::string& gaugePath) {
  SoundFileState state;
  if (isWindowsAbsolute(gaugePath)) {
    state.kind = SoundFileState::NotChecked;
    state.detail = "not checked: a Windows drive or network path";
    return state;
  }
  const std::string native = platform::nativePath(gaugePath.c_str());
  struct stat status = {};
  if (stat(native.c_str(), &status) != 0) {
    const int why = errno;
    state.kind = why == ENOENT || why == ENOTDIR ? SoundFileState::Missing : SoundFileState::Unreadable;
    state.detail = state.kind == SoundFileState::Missing ? "missing" : std::strerror(why);
    return state;
  }
  if (!S_ISREG(status.st_mode)) {
    state.kind = SoundFileState::Unreadable;
    state.detail = S_ISDIR(status.st_mode) ? "a folder, not a file" : "not a plain file";
    return state;
  }
  std::FILE* probe = std::fopen(native.c_str(), "rb");
  const bool readable = probe != nullptr && (std::fgetc(probe) != EOF || std::ferror(probe) == 0);
  const int why = errno;
  if (probe != nullptr) std::fclose(probe);
  if (!readable) {
    state.kind = SoundFileState::Unreadable;
    state.detail = std::strerror(why);
    return state;
  }

  HMMIO file = nullptr;
  WAVEFORMATEX* format = nullptr;
  MMCKINFO riff = {};
  if (FAILED(openWaveFile(gaugePath.c_str(), &file, &format, &riff))) {
    state.kind = SoundFileState::NotWav;
    state.detail = "not a WAV file (no RIFF/WAVE form with a whole \"fmt \" chunk)";
    return state;
  }
  state.hasFormat = true;
  state.formatTag = format->wFormatTag;
  state.channels = format->nChannels;
  state.samplesPerSecond = format->nSamplesPerSec;
  state.bitsPerSample = format->wBitsPerSample;
  const DWORD bytesPerSecond = format->nAvgBytesPerSec;
  std::free(format);
  MMCKINFO data = {};
  const HRESULT found = seekToData(file, &data, &riff);
  mmioClose(file, 0);
  if (FAILED(found)) {
    state.kind = SoundFileState::NotWav;
    state.detail = describeFormat(state) + ", but no \"data\" chunk";
    return state;
  }
  state.dataBytes = data.cksize;
  if (uint64_t{data.dwDataOffset} + data.cksize > static_cast<uint64_t>(status.st_size)) {
    state.kind = SoundFileState::NotWav;
    state.detail = describeFormat(state) + ", but its \"data\" chunk claims " + std::to_string(data.cksize) +
                   " bytes where the file holds " + std::to_string(status.st_size - data.dwDataOffset) + " (cut off)";
    return state;
  }
  state.seconds = bytesPerSecond != 0 ? static_cast<double>(data.cksize) / bytesPerSecond : 0.0;

  const HRESULT loaded = SoundBank::loadSlot(static_cast<uint16_t>(index), gaugePath.c_str());
  SoundBank::releaseSlot(static_cast<uint16_t>(index));
  if (FAILED(loaded)) {
    state.kind = SoundFileState::Unloadable;
    state.detail = whyTheBankRefused(loaded, state);
    return state;
  }
  state.kind = SoundFileState::Ok;
  state.detail = describeFormat(state) + ", " + describeLength(state);
  return state;
}

void checkMaxSounds(const CheckReport& report, std::vector<std::string>* warnings, std::vector<std::string>* notes) {
  const KorvaneConfiguration& configuration = report.configuration;
  std::string raw;
  if (!rawIniValue(configuration.iniPath, "Config", "MaxSounds", &raw)) {
    notes->push_back("no MaxSounds in [Config]: korvane3 configures 100 sound slots");
    return;
  }
  const std::string& kept = configuration.maxSoundsValue;
  if (raw.size() > kept.size()) {
    warnings->push_back("MaxSounds \"" + raw + "\" is read as its first four characters, \"" + kept + "\"");
  }
  char* end = nullptr;
  const long value = std::strtol(kept.c_str(), &end, 10);
  if (kept.empty()) {
    warnings->push_back("MaxSounds is empty: korvane3 configures no sound slots");
  } else if (end == kept.c_str()) {
    warnings->push_back("MaxSounds \"" + kept + "\" is not a number: korvane3 configures no sound slots");
  } else if (value > 100) {
    warnings->push_back("MaxSounds " + std::to_string(value) + " is above 100: korvane3 configures 100 sound slots");
  } else if (value <= 0) {
    warnings->push_back("MaxSounds " + std::to_string(value) + ": korvane3 configures no sound slots");
  }
}

void checkCutValues(const CheckReport& report, std::vector<std::string>* warnings) {
  const KorvaneConfiguration& configuration = report.configuration;
  const auto check = [&](const char* section, const std::string& key) {
    std::string raw;
    if (!rawIniValue(configuration.iniPath, section, key.c_str(), &raw) || raw.size() <= kLongestKeptValue) return;
    warnings->push_back(key + " is " + std::to_string(raw.size()) + " characters long: korvane3 keeps the first " +
                        std::to_string(kLongestKeptValue) + ", \"" + raw.substr(0, kLongestKeptValue) + "\"");
  };
  for (const KorvaneSlot& slot : configuration.slots) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02d", slot.index);
    check("Sounds", std::string("Sound") + digits);
    check("LVars", std::string("Lvar") + digits);
  }
  check("Config", "LvarStop");
}

void checkSharedVariables(const CheckReport& report, std::vector<std::string>* warnings) {
  std::map<std::string, std::vector<int>> slotsByVariable;
  for (const KorvaneSlot& slot : report.configuration.slots) slotsByVariable[slot.variable].push_back(slot.index);
  for (const auto& [variable, slots] : slotsByVariable) {
    if (slots.size() < 2) continue;
    std::string list;
    for (size_t i = 0; i < slots.size(); ++i) {
      list += (i == 0 ? "" : i + 1 == slots.size() ? " and " : ", ") + std::to_string(slots[i]);
    }
    warnings->push_back("slots " + list + " share the variable " + variable +
                        ": one write drives them all, and each answers it");
  }
  auto stop = slotsByVariable.find(report.configuration.stopVariable);
  if (stop != slotsByVariable.end()) {
    warnings->push_back("the stop-all variable " + stop->first + " is also the variable of slot " +
                        std::to_string(stop->second.front()));
  }
}

}  // namespace

const char* kindName(SoundFileState::Kind kind) {
  switch (kind) {
    case SoundFileState::Ok: return "ok";
    case SoundFileState::Missing: return "missing";
    case SoundFileState::Unreadable: return "unreadable";
    case SoundFileState::NotWav: return "not-wav";
    case SoundFileState::Unloadable: return "unloadable";
    case SoundFileState::NotChecked: return "not-checked";
  }
  return "?";
}

bool CheckReport::clean() const {
  if (!warnings.empty() || !readError.empty()) return false;
  for (const SlotReport& slot : slots) {
    if (slot.sound.kind != SoundFileState::Ok && slot.sound.kind != SoundFileState::NotChecked) return false;
  }
  return true;
}

bool checkIni(const std::string& iniPath, const std::string& simulatorFolder, CheckReport* report,
              std::string* error) {
  const std::string native = platform::nativePath(iniPath.c_str());
  struct stat status = {};
  std::FILE* file = nullptr;
  if (stat(native.c_str(), &status) != 0 || S_ISDIR(status.st_mode) ||
      (file = std::fopen(native.c_str(), "rb")) == nullptr) {
    *error = "cannot read INI file " + iniPath + ": " +
             (S_ISDIR(status.st_mode) ? "it is a folder" : std::strerror(errno));
    return false;
  }
  std::fclose(file);

  report->iniArgument = iniPath;
  report->simulatorFolder = simulatorFolder;
  report->configuration = readKorvaneConfiguration(iniPath.c_str());
  const KorvaneConfiguration& configuration = report->configuration;

  if (configuration.iniPath.empty()) {
    report->warnings.push_back("the INI path is " + std::to_string(iniPath.size()) +
                               " characters long: korvane3 takes at most " + std::to_string(kLongestParameters) +
                               " and runs on its defaults, as if the file were missing");
  } else {
    if (iniPath.find_first_of("/\\") == std::string::npos) {
      report->warnings.push_back("the INI path names no folder: Windows looks for such a file in its own folder, "
                                 "so korvane3 runs on its defaults; write .\\" + iniPath);
    }
    checkMaxSounds(*report, &report->warnings, &report->notes);
    checkCutValues(*report, &report->warnings);
  }
  checkSharedVariables(*report, &report->warnings);

  // The WAVs are found as the simulator finds them: from its own folder. The
  // sound bank needs the host's window and a connected device to make buffers.
  char previous[4096];
  if (getcwd(previous, sizeof previous) == nullptr || chdir(simulatorFolder.c_str()) != 0) {
    *error = "cannot enter the simulator folder " + simulatorFolder + ": " + std::strerror(errno);
    return false;
  }
  char here[4096];
  const std::string folder = getcwd(here, sizeof here) != nullptr ? here : simulatorFolder;
  HWND window = platform::createWindow("FS98MAIN", "Flight Simulator");
  SoundBank::connect();
  size_t relativeCount = 0;
  for (const KorvaneSlot& slot : configuration.slots) {
    SlotReport row{slot, isRelative(slot.path), "", inspectSound(slot.index, slot.path)};
    const std::string native = platform::nativePath(slot.path.c_str());
    row.resolvedPath = row.relative ? folder + "/" + native : native;
    if (row.relative) ++relativeCount;
    if (row.sound.kind == SoundFileState::Unreadable && report->readError.empty()) {
      report->readError = "cannot read sound file " + slot.path + " of slot " + std::to_string(slot.index) + ": " +
                          row.sound.detail;
    }
    report->slots.push_back(row);
  }
  SoundBank::disconnect();
  platform::destroyWindow(window);
  if (chdir(previous) != 0) {
    *error = std::string("cannot return to ") + previous;
    return false;
  }
  report->simulatorFolder = folder;
  size_t missing = 0;
  for (const SlotReport& slot : report->slots) missing += slot.sound.kind == SoundFileState::Missing ? 1 : 0;
  if (missing > 1 && missing == relativeCount && missing == report->slots.size()) {
    report->notes.push_back("none of the WAV files is there: is " + folder + " the simulator's folder? (--sim-dir)");
  }
  if (relativeCount > 0) {
    report->notes.push_back(std::to_string(relativeCount) + " of " + std::to_string(configuration.slots.size()) +
                            " WAV paths are relative: the simulator finds them from its working directory "
                            "(checked here against " + folder + ")");
  }
  return true;
}

std::string formatCheckText(const CheckReport& report) {
  const KorvaneConfiguration& configuration = report.configuration;
  std::string out = "INI " + report.iniArgument + ": ";
  if (configuration.iniPath.empty()) {
    out += "not used, defaults";
  } else {
    out += "MaxSounds \"" + configuration.maxSoundsValue + "\"";
  }
  out += ", " + std::to_string(configuration.slots.size()) + " sound slot" +
         (configuration.slots.size() == 1 ? "" : "s") + "\n";
  std::vector<std::vector<std::string>> rows{{"slot", "variable", "WAV file", "sound"}};
  for (const SlotReport& slot : report.slots) {
    rows.push_back({std::to_string(slot.slot.index), slot.slot.variable, slot.slot.path,
                    slot.sound.kind == SoundFileState::Ok ? slot.sound.detail
                                                          : std::string(kindName(slot.sound.kind)) +
                                                                (slot.sound.kind == SoundFileState::Missing
                                                                     ? ""
                                                                     : ": " + slot.sound.detail)});
  }
  rows.push_back({"stop", configuration.stopVariable, "", "stops every slot but the last"});
  out += table(rows, "  ");
  for (const std::string& warning : report.warnings) out += "warning: " + warning + "\n";
  for (const SlotReport& slot : report.slots) {
    if (slot.sound.kind == SoundFileState::Missing) {
      out += "warning: slot " + std::to_string(slot.slot.index) + ": " + slot.resolvedPath + " is missing\n";
    }
  }
  for (const std::string& note : report.notes) out += "note: " + note + "\n";
  out += report.clean() ? "ok\n" : "problems found\n";
  return out;
}

std::string formatCheckJson(const CheckReport& report) {
  const KorvaneConfiguration& configuration = report.configuration;
  std::string out = "{\n";
  out += "  \"ini\": " + jsonString(report.iniArgument) + ",\n";
  out += "  \"iniUsed\": " + (configuration.iniPath.empty() ? std::string("null") : jsonString(configuration.iniPath)) + ",\n";
  out += "  \"simulatorFolder\": " + jsonString(report.simulatorFolder) + ",\n";
  out += "  \"maxSounds\": " + jsonString(configuration.maxSoundsValue) + ",\n";
  out += "  \"slotCount\": " + std::to_string(configuration.slots.size()) + ",\n";
  out += "  \"stopVariable\": " + jsonString(configuration.stopVariable) + ",\n";
  out += "  \"slots\": [";
  for (size_t i = 0; i < report.slots.size(); ++i) {
    const SlotReport& slot = report.slots[i];
    const SoundFileState& sound = slot.sound;
    out += i == 0 ? "\n" : ",\n";
    out += "    {\"index\": " + std::to_string(slot.slot.index) + ", \"variable\": " + jsonString(slot.slot.variable) +
           ", \"path\": " + jsonString(slot.slot.path) + ", \"resolved\": " + jsonString(slot.resolvedPath) +
           ", \"relative\": " + (slot.relative ? "true" : "false") + ", \"state\": " +
           jsonString(kindName(sound.kind)) + ", \"detail\": " + jsonString(sound.detail);
    if (sound.hasFormat) {
      out += ", \"format\": {\"tag\": " + std::to_string(sound.formatTag) + ", \"channels\": " +
             std::to_string(sound.channels) + ", \"samplesPerSecond\": " + std::to_string(sound.samplesPerSecond) +
             ", \"bitsPerSample\": " + std::to_string(sound.bitsPerSample) + "}";
      if (sound.kind == SoundFileState::Ok || sound.kind == SoundFileState::Unloadable) {
        out += ", \"dataBytes\": " + std::to_string(sound.dataBytes) + ", \"seconds\": " + jsonNumber(sound.seconds);
      }
    }
    out += "}";
  }
  out += report.slots.empty() ? "],\n" : "\n  ],\n";
  const auto list = [](const std::vector<std::string>& items) {
    std::string text = "[";
    for (size_t i = 0; i < items.size(); ++i) text += (i == 0 ? "" : ", ") + jsonString(items[i]);
    return text + "]";
  };
  out += "  \"warnings\": " + list(report.warnings) + ",\n";
  out += "  \"notes\": " + list(report.notes) + ",\n";
  out += "  \"ok\": " + std::string(report.clean() ? "true" : "false") + "\n}\n";
  return out;
}

}  // namespace gaugehost
