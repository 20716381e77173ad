// GetPrivateProfileStringA over real INI files.
//
// What INI files written for the simulator hold: section and key names in any
// case, blanks around '=' and at line ends, ';' comment lines, CRLF line ends,
// values in double quotes. A bare file name (no folder) is looked for in the
// Windows folder, as Windows does.
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "world.h"

namespace {

std::string trimmed(const std::string& text) {
  const char* blanks = " \t\r\n";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return "";
  const size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

bool sameName(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

std::string profilePath(const char* fileName) {
  std::string path = platform::nativePath(fileName);
  if (path.find('/') != std::string::npos) return path;
  const std::string& windowsDirectory = platform::world().windowsDirectory;
  if (windowsDirectory.empty()) return "";
  return windowsDirectory + "/" + path;
}

// The value of key in section, or false when the file, section or key is missing.
bool findValue(const std::string& path, const char* section, const char* key, std::string* value) {
  if (path.empty()) return false;
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::string line;
  bool inSection = false;
  while (std::getline(file, line)) {
    const std::string text = trimmed(line);
    if (text.empty() || text[0] == ';') continue;
    if (text[0] == '[') {
      const size_t close = text.find(']');
      const std::string name = trimmed(text.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      // Only the first section of a name counts; a later one of the same name is passed over.
      if (inSection) return false;
      inSection = sameName(name, section);
      continue;
    }
    if (!inSection) continue;
    const size_t equals = text.find('=');
    if (equals == std::string::npos) continue;
    if (!sameName(trimmed(text.substr(0, equals)), key)) continue;
    std::string found = trimmed(text.substr(equals + 1));
    if (found.size() >= 2 && (found.front() == '"' || found.front() == '\'') && found.back() == found.front()) {
      found = found.substr(1, found.size() - 2);
    }
    *value = found;
    return true;
  }
  return false;
}

}  // namespace

extern "C" DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue,
                                                 LPSTR buffer, DWORD size, LPCSTR fileName) {
  if (buffer == nullptr || size == 0) return 0;
  std::string value;
  // A failed read is what Windows shows for an unreadable file: the default.
  const bool failed = platform::shouldFail("GetPrivateProfileStringA");
  if (failed || section == nullptr || key == nullptr || fileName == nullptr ||
      !findValue(profilePath(fileName), section, key, &value)) {
    value = trimmed(defaultValue != nullptr ? defaultValue : "");
  }
  const size_t count = value.size() < size - 1 ? value.size() : size - 1;
  std::memcpy(buffer, value.data(), count);
  buffer[count] = '\0';
  return static_cast<DWORD>(count);
}
