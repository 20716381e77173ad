// Small text helpers shared by the reports: JSON strings, numbers without
// noise, seconds, a fixed-width table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gaugehost {

std::string jsonString(const std::string& text);
// A double as JSON has it: the shortest text that reads back the same; null
// for values JSON cannot hold (NaN, infinities).
std::string jsonNumber(double value);
// A value as a person reads it: 0, 1, -0.25, 1e+30, nan.
std::string shortNumber(double value);
// Six significant digits, for values that carry rounding noise (a trim moved
// step by step): -0.35, 1.38778e-17.
std::string roundNumber(double value);
std::string seconds(uint64_t microseconds);  // "1.234"
std::string hex(uint32_t value);             // "0x100AA"

// Columns padded to their widest cell; the last column is not padded.
std::string table(const std::vector<std::vector<std::string>>& rows, const std::string& indent = "");

}  // namespace gaugehost
