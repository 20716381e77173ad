// gaugehost: runs the gauges headless, for panel developers. `check` tells
// what korvane3 makes of an INI file and its WAV files; `run` plays scenario
// files through the simulated host and shows, renders and plots what happened.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/gaugehost/ini_check.h"
#include "host/gaugehost/mixer.h"
#include "host/gaugehost/scenario.h"
#include "host/gaugehost/scenario_runner.h"
#include "host/gaugehost/svg_plot.h"

namespace {

namespace fs = std::filesystem;
using namespace gaugehost;

constexpr int kOk = 0;
constexpr int kExpectationFailed = 1;
constexpr int kBadInput = 2;

const char kUsage[] =
    "usage: gaugehost check INI [--sim-dir DIR] [--json]\n"
    "       gaugehost run SCENARIO... [--sim-dir DIR] [--scratch] [--modules DIR]\n"
    "                 [--render OUT.wav] [--rate HZ] [--plot OUT.svg] [--quiet]\n"
    "       gaugehost --help\n";

const char kHelp[] =
    "\n"
    "Runs the korvane3 and vantric gauges headless against a simulated panel host.\n"
    "\n"
    "check INI     What korvane3 makes of the INI file (its path as the gauge's\n"
    "              parameter string) with the gauge's own code: one row per sound\n"
    "              slot with its variable, WAV path and the WAV's format and length\n"
    "              (or missing, not a WAV file, a format the sound bank cannot\n"
    "              load), the stop-all variable, then warnings. Exit 0 when the\n"
    "              sound set is sound, 1 when anything is wrong with it.\n"
    "  --sim-dir DIR   the simulator folder relative WAV paths are found from\n"
    "                  (default: the current directory)\n"
    "  --json          the same as JSON\n"
    "\n"
    "run SCENARIO...   Runs scenario files (see docs/gaugehost.md) and prints a\n"
    "              timeline of what the host saw. Exit 0 when every expectation\n"
    "              held, 1 when one failed (reported as file:line).\n"
    "  --sim-dir DIR   the simulator folder: the current directory of the run\n"
    "  --scratch       run in a fresh copy of the simulator folder, so that the\n"
    "                  scenario's copy and remove lines leave it untouched\n"
    "  --modules DIR   take korvane3.so and vantric.so from DIR\n"
    "  --render OUT    mix everything that played into a 16-bit stereo WAV file\n"
    "  --rate HZ       the render's sample rate (default 44100)\n"
    "  --plot OUT      draw the run as an SVG picture\n"
    "                  With several scenarios, OUT is a folder (ending in /) that\n"
    "                  gets NAME.wav or NAME.svg for each scenario NAME.scn.\n"
    "  --quiet         print no timeline, only failures and the summary\n"
    "\n"
    "Exit 2: bad usage, a scenario line that is wrong (file:line), or input that\n"
    "cannot be read (INI, WAV, module without its exports).\n";

int usageError(const std::string& message) {
  std::fprintf(stderr, "gaugehost: %s\n%s", message.c_str(), kUsage);
  return kBadInput;
}

int inputError(const std::string& message) {
  std::fprintf(stderr, "gaugehost: %s\n", message.c_str());
  return kBadInput;
}

struct Arguments {
  std::vector<std::string> positional;
  std::string simulatorFolder = ".";
  bool json = false;
  bool scratch = false;
  bool quiet = false;
  std::string modules;
  std::string render;
  std::string plot;
  long rate = 44100;
};

bool parseArguments(const std::string& command, int argc, char** argv, Arguments* out, std::string* error) {
  const bool run = command == "run";
  for (int i = 2; i < argc; ++i) {
    const std::string word = argv[i];
    const auto value = [&](std::string* into) {
      if (i + 1 >= argc) {
        *error = word + " wants a value";
        return false;
      }
      *into = argv[++i];
      return true;
    };
    if (word == "--sim-dir") {
      if (!value(&out->simulatorFolder)) return false;
    } else if (word == "--json" && !run) {
      out->json = true;
    } else if (word == "--scratch" && run) {
      out->scratch = true;
    } else if (word == "--quiet" && run) {
      out->quiet = true;
    } else if (word == "--modules" && run) {
      if (!value(&out->modules)) return false;
    } else if (word == "--render" && run) {
      if (!value(&out->render)) return false;
    } else if (word == "--plot" && run) {
      if (!value(&out->plot)) return false;
    } else if (word == "--rate" && run) {
      std::string text;
      if (!value(&text)) return false;
      char* end = nullptr;
      out->rate = std::strtol(text.c_str(), &end, 10);
      if (text.empty() || *end != '\0' || out->rate < 8000 || out->rate > 192000) {
        *error = "--rate wants a sample rate from 8000 to 192000";
        return false;
      }
    } else if (word.size() > 1 && word[0] == '-') {
      *error = "unknown option " + word + " for " + command;
      return false;
    } else {
      out->positional.push_back(word);
    }
  }
  return true;
}

bool isFolder(const std::string& path) {
  std::error_code ignored;
  return fs::is_directory(path, ignored);
}

int check(const Arguments& arguments) {
  if (arguments.positional.size() != 1) return usageError("check wants one INI file");
  if (!isFolder(arguments.simulatorFolder)) return inputError("no simulator folder " + arguments.simulatorFolder);
  CheckReport report;
  std::string error;
  if (!checkIni(arguments.positional[0], arguments.simulatorFolder, &report, &error)) return inputError(error);
  std::fputs((arguments.json ? formatCheckJson(report) : formatCheckText(report)).c_str(), stdout);
  if (!report.readError.empty()) return inputError(report.readError);
  return report.clean() ? kOk : kExpectationFailed;
}

// Where a scenario's render or plot goes: the path itself for one scenario,
// NAME.ext in the folder for several.
std::string outputFor(const std::string& option, const std::string& scenario, const char* extension, bool several) {
  if (option.empty()) return "";
  const bool folder = option.back() == '/' || isFolder(option);
  if (!folder && !several) return option;
  return (fs::path(option) / (fs::path(scenario).stem().string() + extension)).string();
}

bool copyFolder(const std::string& from, std::string* scratch, std::string* error) {
  char name[] = "/tmp/gaugehostXXXXXX";
  if (mkdtemp(name) == nullptr) {
    *error = "cannot make a scratch folder: " + std::string(std::strerror(errno));
    return false;
  }
  std::error_code problem;
  fs::copy(from, name, fs::copy_options::recursive, problem);
  if (problem) {
    fs::remove_all(name, problem);
    *error = "cannot copy the simulator folder " + from + ": " + problem.message();
    return false;
  }
  *scratch = name;
  return true;
}

bool writeText(const std::string& path, const std::string& text, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out.flush()) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

int run(const Arguments& arguments) {
  if (arguments.positional.empty()) return usageError("run wants at least one scenario file");
  if (!isFolder(arguments.simulatorFolder)) return inputError("no simulator folder " + arguments.simulatorFolder);
  const bool several = arguments.positional.size() > 1;
  for (const std::string* option : {&arguments.render, &arguments.plot}) {
    if (option->empty()) continue;
    const bool folder = option->back() == '/' || isFolder(*option);
    if (several && !folder) return usageError("with several scenarios, --render and --plot name a folder (end it in /)");
    if (folder) {
      std::error_code problem;
      fs::create_directories(*option, problem);
      if (problem) return inputError("cannot make the folder " + *option + ": " + problem.message());
    }
  }

  ModuleDefaults modules{KORVANE3_MODULE_PATH, VANTRIC_MODULE_PATH};
  if (!arguments.modules.empty()) {
    const std::string folder = fs::absolute(arguments.modules).string();
    modules = ModuleDefaults{folder + "/korvane3.so", folder + "/vantric.so"};
  }
  // Every scenario is read and checked before any runs.
  std::vector<Scenario> scenarios(arguments.positional.size());
  for (size_t i = 0; i < scenarios.size(); ++i) {
    std::string error;
    if (!parseScenario(arguments.positional[i], modules, &scenarios[i], &error)) return inputError(error);
  }

  int status = kOk;
  for (const Scenario& scenario : scenarios) {
    RunOptions options;
    options.render = !arguments.render.empty();
    options.renderRate = static_cast<uint32_t>(arguments.rate);
    std::string scratch;
    std::string error;
    if (arguments.scratch) {
      if (!copyFolder(arguments.simulatorFolder, &scratch, &error)) return inputError(error);
      options.simulatorFolder = scratch;
    } else {
      options.simulatorFolder = arguments.simulatorFolder;
    }
    const std::string renderPath = outputFor(arguments.render, scenario.path, ".wav", several);
    const std::string plotPath = outputFor(arguments.plot, scenario.path, ".svg", several);

    const RunResult result = runScenario(scenario, options);
    if (!scratch.empty()) {
      std::error_code ignored;
      fs::remove_all(scratch, ignored);
    }
    if (!arguments.quiet) {
      std::printf("== %s\n%s", scenario.path.c_str(), formatTimeline(result).c_str());
    }
    for (const std::string& failure : result.failures) std::fprintf(stderr, "%s\n", failure.c_str());
    if (!result.error.empty()) {
      std::fprintf(stderr, "gaugehost: %s\n", result.error.c_str());
      status = kBadInput;
      continue;
    }
    const int failed = static_cast<int>(result.failures.size());
    std::printf("%s: %s (%d of %d expectations held)\n", scenario.path.c_str(), failed == 0 ? "passed" : "FAILED",
                result.expectations - failed, result.expectations);
    if (failed != 0 && status == kOk) status = kExpectationFailed;

    if (!renderPath.empty() && !writeStereoWav(renderPath, options.renderRate, result.audio, &error)) {
      return inputError(error);
    }
    if (!plotPath.empty() && !writeText(plotPath, plotSvg(result.recording, fs::path(scenario.path).filename().string()), &error)) {
      return inputError(error);
    }
  }
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usageError("say check or run");
  const std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::printf("%s%s", kUsage, kHelp);
    return kOk;
  }
  if (command != "check" && command != "run") return usageError("unknown command " + command);
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::printf("%s%s", kUsage, kHelp);
      return kOk;
    }
  }
  Arguments arguments;
  std::string error;
  if (!parseArguments(command, argc, argv, &arguments, &error)) return usageError(error);
  return command == "check" ? check(arguments) : run(arguments);
}
