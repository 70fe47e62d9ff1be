#include "timefmt.h"

#include <array>
#include <cstdio>

namespace simcli {
namespace {

struct Unit {
  std::string_view name;
  uint64_t ns;
};

// Longest names first so that "ms" is not taken for "m" followed by garbage.
constexpr std::array<Unit, 5> kUnits = {{
    {"ns", 1},
    {"us", 1'000},
    {"ms", 1'000'000},
    {"s", 1'000'000'000},
    {"m", 60'000'000'000},
}};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

__extension__ typedef unsigned __int128 Wide;

}  // namespace

std::optional<uint64_t> parseTimeNs(std::string_view text) {
  size_t pos = 0;
  const size_t intStart = pos;
  while (pos < text.size() && isDigit(text[pos])) ++pos;
  const std::string_view intDigits = text.substr(intStart, pos - intStart);
  if (intDigits.empty()) return std::nullopt;

  std::string_view fracDigits;
  if (pos < text.size() && text[pos] == '.') {
    const size_t fracStart = ++pos;
    while (pos < text.size() && isDigit(text[pos])) ++pos;
    fracDigits = text.substr(fracStart, pos - fracStart);
    if (fracDigits.empty()) return std::nullopt;  // "1.s" is a typo, not a time
  }

  const std::string_view unitName = text.substr(pos);
  uint64_t unitNs = 0;
  for (const Unit& u : kUnits) {
    if (u.name == unitName) unitNs = u.ns;
  }
  if (unitNs == 0) return std::nullopt;

  // Whole units, with overflow checks on every step.
  uint64_t whole = 0;
  for (char c : intDigits) {
    const uint64_t d = static_cast<uint64_t>(c - '0');
    if (whole > (UINT64_MAX - d) / 10) return std::nullopt;
    whole = whole * 10 + d;
  }
  if (whole > UINT64_MAX / unitNs) return std::nullopt;
  uint64_t total = whole * unitNs;

  // Fraction: floor(0.fff * unitNs). Eighteen digits are exact in 128-bit arithmetic for every
  // unit; further digits change the result by far less than a nanosecond and are ignored.
  if (!fracDigits.empty()) {
    Wide numerator = 0;
    Wide denominator = 1;
    for (size_t i = 0; i < fracDigits.size() && i < 18; ++i) {
      numerator = numerator * 10 + static_cast<unsigned>(fracDigits[i] - '0');
      denominator *= 10;
    }
    const uint64_t part = static_cast<uint64_t>(numerator * unitNs / denominator);
    if (total > UINT64_MAX - part) return std::nullopt;
    total += part;
  }
  return total;
}

std::string formatTime(uint64_t ns) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%llu.%06llu s",
                static_cast<unsigned long long>(ns / 1'000'000'000),
                static_cast<unsigned long long>(ns % 1'000'000'000 / 1'000));
  return buf;
}

std::string formatDuration(uint64_t ns) {
  if (ns == 0) return "0s";
  // Largest unit that divides the value exactly.
  for (auto it = kUnits.rbegin(); it != kUnits.rend(); ++it) {
    if (ns % it->ns == 0) return std::to_string(ns / it->ns) + std::string(it->name);
  }
  return std::to_string(ns) + "ns";  // not reached: every value is a whole number of ns
}

}  // namespace simcli
