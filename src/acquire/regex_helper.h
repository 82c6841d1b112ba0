// Runs one regular expression over one text and hands out the matches and their capture groups by
// 1-based number. This is how the proxy-list scrapers cut a downloaded page into records.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lumvex {

// Matching follows ECMAScript conventions on Unicode characters: "." is one character (a Chinese
// character counts once) and never matches a line break, lazy quantifiers, groups numbered by their
// opening parenthesis, a backslash before punctuation or a non-ASCII character makes it literal.
// Texts in and out are UTF-8; results are exact byte ranges of the subject, so a match never holds
// half a character. Nothing throws: a pattern that does not compile makes Create return false and
// leaves no results; a search the engine gives up on (runaway backtracking) makes Create return
// false but keeps the matches found before it.
//
// An object is self-contained (no engine state is kept after Create), so a copy is independent and
// const queries may run on several threads at once.
class RegexHelper {
 public:
  // A byte range of the subject; begin == kNoGroup marks a group that did not take part.
  struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
  };
  static constexpr std::size_t kNoGroup = static_cast<std::size_t>(-1);

  RegexHelper() = default;

  // Compiles `pattern` and finds its matches in `subject`: all non-overlapping matches left to
  // right with `global`, otherwise the first only. `multiline` lets "^" and "$" match at line
  // starts and ends. Each call replaces the results of the previous one. False when the pattern is
  // invalid or the search was given up part way; a valid pattern without any match gives true.
  bool Create(std::string_view pattern, std::string_view subject, bool case_sensitive = false,
              bool multiline = true, bool global = true);

  // The pattern of the last Create, empty when it did not compile.
  std::string GetPattern() const;

  // The subject with the found matches replaced (all of them with `global`, else the first).
  // In `replacement`, $1..$99 stand for the groups, $& for the match, $` and $' for the text
  // before and after it, $$ for a dollar sign; anything else is copied as it stands. Empty when the
  // pattern of the last Create did not compile or Create never ran.
  std::string ReplaceMatches(std::string_view replacement) const;

  int MatchCount() const;

  // Whole text of match `i` (1-based); empty when out of range.
  std::string MatchText(int i) const;

  // Text captured by group `j` of match `i` (both 1-based); empty when either is out of range or
  // the group took no part in the match.
  std::string SubMatchText(int i, int j) const;

  // Number of capture groups of the pattern; 0 when there is no match.
  int SubMatchCount() const;

 private:
  void Clear();
  const Span* SpanOf(int i, int j) const;
  std::string TextOf(const Span& span) const;
  void AppendExpansion(std::string_view replacement, std::size_t match_index,
                       std::string& out) const;

  std::string pattern_;
  std::string subject_;
  bool ok_ = false;
  std::size_t group_count_ = 0;  // capture groups, not counting the whole match
  // Match k's whole span is at k * (group_count_ + 1), followed by its groups.
  std::vector<Span> spans_;
};

}  // namespace lumvex
