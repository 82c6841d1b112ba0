// Cutting every text that stands between two markers out of a page.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "acquire/regex_helper.h"

namespace lumvex {

// `marker` with a backslash put before each of ? * + [ ] ( ) { }. Nothing else is escaped: a
// full stop, backslash, "^", "$" or "|" in a marker keeps its pattern meaning (a full stop matches
// any character there), which the link markers of the source pages rely on.
std::string EscapeMarker(std::string_view marker);

// The pattern of a text between `left` and `right`: the escaped markers around the shortest text,
// which is sub-match 1.
std::string BetweenPattern(std::string_view left, std::string_view right);

// Sub-match 1 of match `i` of a BetweenPattern, wrapped as prefix + text + suffix.
std::string FramedText(const RegexHelper& helper, int i, std::string_view prefix,
                       std::string_view suffix);

// Every text between `left` and `right` in `subject`, left to right, each wrapped as
// prefix + text + suffix. Markers are compared without regard to case, and a text never runs over
// a line break, so each one lies within a single line; the shortest text is taken each time.
std::vector<std::string> AllTextsBetween(std::string_view subject, std::string_view left,
                                         std::string_view right, std::string_view prefix = {},
                                         std::string_view suffix = {});

}  // namespace lumvex
