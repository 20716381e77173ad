#include "host/gaugehost/text_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace gaugehost {

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          // INI files and paths are 8-bit text of no declared code page: a byte
          // above 127 is kept as the Latin-1 character of that value, so that
          // the output stays valid UTF-8.
          if (c < 0x80) {
            out += static_cast<char>(c);
          } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
          }
        }
    }
  }
  return out + "\"";
}

std::string shortNumber(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char text[40];
  const double magnitude = std::fabs(value);
  const bool plain = magnitude == 0.0 || (magnitude >= 1e-4 && magnitude < 1e15);
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(text, sizeof text, "%.*g", precision, value);
    // 100 is "100", not "1e+02": an exponent only where plain digits would be long.
    if (plain && std::strchr(text, 'e') != nullptr) continue;
    if (std::strtod(text, nullptr) == value) break;
  }
  return text;
}

std::string roundNumber(double value) {
  if (!std::isfinite(value)) return shortNumber(value);
  char text[40];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

std::string jsonNumber(double value) {
  if (!std::isfinite(value)) return "null";
  return shortNumber(value);
}

std::string seconds(uint64_t microseconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%llu.%03llu", static_cast<unsigned long long>(microseconds / 1000000),
                static_cast<unsigned long long>(microseconds % 1000000 / 1000));
  return text;
}

std::string hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

std::string table(const std::vector<std::vector<std::string>>& rows, const std::string& indent) {
  std::vector<size_t> widths;
  for (const auto& row : rows) {
    for (size_t column = 0; column < row.size(); ++column) {
      if (widths.size() <= column) widths.push_back(0);
      if (row[column].size() > widths[column]) widths[column] = row[column].size();
    }
  }
  std::string out;
  for (const auto& row : rows) {
    std::string line = indent;
    for (size_t column = 0; column < row.size(); ++column) {
      line += row[column];
      if (column + 1 < row.size()) line += std::string(widths[column] - row[column].size() + 2, ' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + "\n";
  }
  return out;
}

}  // namespace gaugehost
