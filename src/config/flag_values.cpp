#include "config/flag_values.h"

#include <charconv>
#include <cstdio>

#include "validate/validation_run.h"

namespace lumvex {

std::optional<double> ParseSeconds(std::string_view text) {
  // Only digits and one point: from_chars alone would also take exponents, "inf" and "nan".
  if (text.empty() || text.find_first_not_of("0123456789.") != std::string_view::npos ||
      text.find('.') != text.rfind('.') || text == ".") {
    return std::nullopt;
  }
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !(value > 0) ||
      value > kMostSeconds) {
    return std::nullopt;
  }
  return value;
}

std::string SecondsError(std::string_view flag, std::string_view value) {
  char most[32];
  std::snprintf(most, sizeof most, "%g", kMostSeconds);
  return std::string(flag) + ": a number of seconds above 0, at most " + most + ": \"" +
         std::string(value) + "\"";
}

std::optional<int> ParseThreadCount(std::string_view text) {
  // Five digits at most, so the value cannot overflow.
  if (text.empty() || text.size() > 5 ||
      text.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  int value = 0;
  for (const char c : text) value = value * 10 + (c - '0');
  if (value < 1 || value > ValidationRun::kMaxThreads) return std::nullopt;
  return value;
}

}  // namespace lumvex
