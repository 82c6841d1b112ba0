// The value rules that the readers of some flags apply beyond the grammar of the option table:
// a number of seconds and the number of checks at once. The window applies the same rules to
// what its settings files hold.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumvex {

// Longest number of seconds a flag accepts: a day.
inline constexpr double kMostSeconds = 86400;

// The grammar of every number of seconds (--check-timeout, --guard-interval, --interval): decimal
// digits with an optional fraction ("5", "0.5"), above 0 and at most kMostSeconds. Signs,
// exponents, blanks and units are refused.
std::optional<double> ParseSeconds(std::string_view text);

// The message for a value that ParseSeconds refused.
std::string SecondsError(std::string_view flag, std::string_view value);

// The checks at once of `check --threads`: one to five decimal digits giving 1 to
// ValidationRun::kMaxThreads; nullopt for anything else (empty, 0, signs, blanks, text).
std::optional<int> ParseThreadCount(std::string_view text);

}  // namespace lumvex
