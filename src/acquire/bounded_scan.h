// Running a scraper pattern over a downloaded page with a bound on the work: a hostile page (one
// line of megabytes built to make the matcher backtrack) must not hold a harvest for minutes.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "acquire/regex_helper.h"

namespace lumvex {

struct ScanLimits {
  // The matcher sees the page in chunks of at most this many bytes, cut only where a match of the
  // pattern may begin, and joined only across line breaks; its own give-up limit grows with the
  // square of the text it sees, so small chunks keep that limit low.
  std::size_t chunk_bytes = 8 * 1024;
  // A stretch from one possible match start to the next is cut off after this many bytes: no
  // record of a proxy list is this long, only a hostile line is.
  std::size_t piece_bytes = 2 * 1024;
  // Wall time the whole page may take; the scan stops at the first chunk boundary after it.
  std::chrono::milliseconds budget{1000};
  // Set from another thread (program exit): the scan stops at the next chunk boundary.
  const std::atomic<bool>* cancel = nullptr;
};

// Runs `pattern` (default flags: case-insensitive, multiline, global) over `subject` and calls
// `on_match(helper, i)` for every match in page order. Every match of `pattern` begins with
// `start_literal` (compared ignoring ASCII case); the page is cut only just before such a spot.
// An empty `start_literal` means the page cannot be cut and is matched in one piece. Returns
// false when the bound or the cancel flag ended the scan early; the matches found before were
// all handed over.
bool ScanBounded(std::string_view pattern, std::string_view start_literal, std::string_view subject,
                 const ScanLimits& limits,
                 const std::function<void(const RegexHelper&, int)>& on_match);

// AllTextsBetween under the same bound: every text between `left` and `right` (markers escaped
// with EscapeMarker, compared ignoring case, never across a line break), as prefix + text + suffix.
std::vector<std::string> AllTextsBetweenBounded(std::string_view subject, std::string_view left,
                                                std::string_view right, std::string_view prefix,
                                                std::string_view suffix, const ScanLimits& limits);

}  // namespace lumvex
