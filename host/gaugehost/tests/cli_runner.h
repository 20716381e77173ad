// Runs the gaugehost program as a panel developer would, for the tests of its
// command line: the exit code and everything it printed.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace gaugehost_testing {

struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline std::string quoted(const std::string& word) {
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs gaugehost with `arguments` in the current directory.
inline CliRun runGaugehost(const std::vector<std::string>& arguments) {
  char folder[] = "/tmp/gaugehostcliXXXXXX";
  if (mkdtemp(folder) == nullptr) return {};
  const std::string out = std::string(folder) + "/out";
  const std::string err = std::string(folder) + "/err";
  std::string command = quoted(GAUGEHOST_PATH);
  for (const std::string& argument : arguments) command += " " + quoted(argument);
  command += " >" + quoted(out) + " 2>" + quoted(err) + " </dev/null";
  const int status = std::system(command.c_str());
  CliRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  run.out = slurp(out);
  run.err = slurp(err);
  std::remove(out.c_str());
  std::remove(err.c_str());
  rmdir(folder);
  return run;
}

inline size_t countOf(const std::string& text, const std::string& piece) {
  size_t count = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size())) ++count;
  return count;
}

}  // namespace gaugehost_testing
