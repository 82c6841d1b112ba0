#include "acquire/bounded_scan.h"

#include "acquire/text_between.h"
#include "text/text_util.h"

namespace lumvex {
namespace {

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// `length` shortened so that the cut does not fall inside a UTF-8 sequence.
std::size_t CutAtCharacter(std::string_view text, std::size_t length) {
  if (length >= text.size()) return text.size();
  while (length > 0 && IsUtf8Continuation(text[length])) --length;
  return length;
}

bool Stopped(const ScanLimits& limits, std::chrono::steady_clock::time_point deadline) {
  if (limits.cancel != nullptr && limits.cancel->load(std::memory_order_relaxed)) return true;
  return std::chrono::steady_clock::now() >= deadline;
}

// The part of a marker that is matched literally: up to its first character that keeps a
// pattern meaning after EscapeMarker (a full stop, backslash, "^", "$" or "|").
std::string_view LiteralPrefix(std::string_view marker) {
  const std::size_t special = marker.find_first_of(".\\^$|");
  return marker.substr(0, special);
}

}  // namespace

bool ScanBounded(std::string_view pattern, std::string_view start_literal, std::string_view subject,
                 const ScanLimits& limits,
                 const std::function<void(const RegexHelper&, int)>& on_match) {
  const auto deadline = std::chrono::steady_clock::now() + limits.budget;
  // Spots where a match may begin, in page order.
  std::vector<std::size_t> starts;
  if (start_literal.empty()) {
    starts.push_back(0);
  } else {
    for (std::size_t at = text::Find(subject, start_literal, 0, true); at != std::string_view::npos;
         at = text::Find(subject, start_literal, at + 1, true)) {
      starts.push_back(at);
    }
  }
  const std::size_t chunk_limit = limits.chunk_bytes == 0 ? 1 : limits.chunk_bytes;
  // A page that cannot be cut is matched whole.
  const std::size_t piece_limit = start_literal.empty()     ? std::string_view::npos
                                  : limits.piece_bytes == 0 ? 1
                                                            : limits.piece_bytes;
  RegexHelper helper;
  std::size_t k = 0;
  while (k < starts.size()) {
    if (Stopped(limits, deadline)) return false;
    // One chunk: whole pieces from starts[k] on while they fit, or one piece cut to its limit.
    const std::size_t begin = starts[k];
    std::size_t end = k + 1 < starts.size() ? starts[k + 1] : subject.size();
    std::size_t next = k + 1;
    if (end - begin > piece_limit) {
      end = begin + CutAtCharacter(subject.substr(begin), piece_limit);
      if (end == begin) end = begin + 1;
    } else {
      // Pieces are joined only across line breaks: many possible starts on one line are what
      // makes a matcher backtrack without end, so each of those is matched on its own.
      while (next < starts.size() &&
             subject.substr(starts[next - 1], end - starts[next - 1]).find('\n') !=
                 std::string_view::npos) {
        const std::size_t piece_end = next + 1 < starts.size() ? starts[next + 1] : subject.size();
        if (piece_end - begin > chunk_limit || piece_end - starts[next] > piece_limit) break;
        end = piece_end;
        ++next;
      }
    }
    helper.Create(pattern, subject.substr(begin, end - begin));
    const int count = helper.MatchCount();
    for (int i = 1; i <= count; ++i) on_match(helper, i);
    k = next;
  }
  return true;
}

std::vector<std::string> AllTextsBetweenBounded(std::string_view subject, std::string_view left,
                                                std::string_view right, std::string_view prefix,
                                                std::string_view suffix, const ScanLimits& limits) {
  std::vector<std::string> texts;
  ScanBounded(BetweenPattern(left, right), LiteralPrefix(left), subject, limits,
              [&](const RegexHelper& helper, int i) {
                texts.push_back(FramedText(helper, i, prefix, suffix));
              });
  return texts;
}

}  // namespace lumvex
