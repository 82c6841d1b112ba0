#include "acquire/regex_helper.h"

#include <unicode/umachine.h>

#include <boost/regex/icu.hpp>
#include <climits>
#include <cstdint>
#include <mutex>
#include <optional>

#if defined(__SANITIZE_THREAD__)
#define LUMVEX_REGEX_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define LUMVEX_REGEX_UNDER_TSAN 1
#endif
#endif

namespace lumvex {
namespace {

// Bytes that are not part of valid UTF-8 become code points in the low-surrogate range
// U+DC80..U+DCFF. Well-formed UTF-8 never encodes surrogates, so these stand for exactly one byte
// each: every code point's byte length follows from its value, and a match maps back to the very
// bytes it covered, invalid ones included.
constexpr UChar32 kRawByteBase = 0xDC00;

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Decodes one well-formed sequence at p (p < end); returns its length, or 0 when the bytes there
// do not form one (overlong forms, surrogates and values above U+10FFFF included).
std::size_t DecodeSequence(const unsigned char* p, const unsigned char* end, UChar32& out) {
  const unsigned char c = p[0];
  const std::size_t avail = static_cast<std::size_t>(end - p);
  if (c >= 0xC2 && c <= 0xDF) {
    if (avail < 2 || !IsContinuation(p[1])) return 0;
    out = ((c & 0x1F) << 6) | (p[1] & 0x3F);
    return 2;
  }
  if (c >= 0xE0 && c <= 0xEF) {
    if (avail < 3 || !IsContinuation(p[1]) || !IsContinuation(p[2])) return 0;
    if (c == 0xE0 && p[1] < 0xA0) return 0;  // overlong
    if (c == 0xED && p[1] > 0x9F) return 0;  // surrogate
    out = ((c & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (avail < 4 || !IsContinuation(p[1]) || !IsContinuation(p[2]) || !IsContinuation(p[3])) {
      return 0;
    }
    if (c == 0xF0 && p[1] < 0x90) return 0;  // overlong
    if (c == 0xF4 && p[1] > 0x8F) return 0;  // above U+10FFFF
    out = ((c & 0x07) << 18) | ((p[1] & 0x3F) << 12) | ((p[2] & 0x3F) << 6) | (p[3] & 0x3F);
    return 4;
  }
  return 0;
}

std::vector<UChar32> ToCodePoints(std::string_view text) {
  std::vector<UChar32> out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    if (*p < 0x80) {
      out.push_back(*p++);
      continue;
    }
    UChar32 cp = 0;
    const std::size_t len = DecodeSequence(p, end, cp);
    if (len == 0) {
      out.push_back(kRawByteBase + *p++);
    } else {
      out.push_back(cp);
      p += len;
    }
  }
  return out;
}

std::size_t ByteLength(UChar32 cp) {
  if (cp < 0x80) return 1;
  if (cp < 0x800) return 2;
  if (cp >= 0xDC80 && cp <= 0xDCFF) return 1;  // a stand-in for one invalid byte
  if (cp < 0x10000) return 3;
  return 4;
}

// Converts code point positions to byte offsets. Match positions arrive roughly in order, so a
// cursor that walks from the previous answer costs about one step per character overall, with no
// table as large as the subject.
class OffsetMapper {
 public:
  explicit OffsetMapper(const std::vector<UChar32>& code_points) : code_points_(code_points) {}

  std::size_t ByteOffset(std::size_t index) {
    while (index_ < index) byte_ += ByteLength(code_points_[index_++]);
    while (index_ > index) byte_ -= ByteLength(code_points_[--index_]);
    return byte_;
  }

 private:
  const std::vector<UChar32>& code_points_;
  std::size_t index_ = 0;
  std::size_t byte_ = 0;
};

#ifdef LUMVEX_REGEX_UNDER_TSAN
// Boost hands the matcher's backtracking blocks from thread to thread through a lock-free cache
// compiled into the (uninstrumented) Boost library, so ThreadSanitizer cannot see that hand-over
// and reports the reuse of a block as a race. Only in such builds, searches take turns so the
// hand-over is ordered by a lock it can see; other builds search in parallel.
std::mutex& SearchTurn() {
  static std::mutex mutex;
  return mutex;
}
#endif

// Appends the spans of every match (the first only without `global`) to `spans`. Throws what the
// engine throws; the spans of the matches found before that stay in place.
void FindMatches(const boost::u32regex& regex, const std::vector<UChar32>& text, bool global,
                 std::vector<RegexHelper::Span>& spans) {
  const UChar32* const begin = text.data();
  const UChar32* const end = begin + text.size();
  const std::size_t groups = regex.mark_count();
  OffsetMapper mapper(text);
  boost::match_results<const UChar32*> match;
  const UChar32* pos = begin;
#ifdef LUMVEX_REGEX_UNDER_TSAN
  const std::lock_guard<std::mutex> turn(SearchTurn());
#endif
  while (true) {
    boost::match_flag_type flags = boost::match_default | boost::match_not_dot_newline;
    if (pos != begin) flags |= boost::match_prev_avail;
    if (!boost::regex_search(pos, end, match, regex, flags, begin)) return;
    for (std::size_t k = 0; k <= groups; ++k) {
      const auto& sub = match[static_cast<int>(k)];
      if (!sub.matched) {
        spans.push_back({RegexHelper::kNoGroup, RegexHelper::kNoGroup});
        continue;
      }
      const std::size_t first = mapper.ByteOffset(static_cast<std::size_t>(sub.first - begin));
      const std::size_t second = mapper.ByteOffset(static_cast<std::size_t>(sub.second - begin));
      spans.push_back({first, second});
    }
    if (!global) return;
    // As in ECMAScript, the next search starts where this match ended, one character further
    // when the match was empty, so an empty match can never repeat forever.
    pos = match[0].second;
    if (match[0].first == match[0].second) {
      if (pos == end) return;
      ++pos;
    }
  }
}

}  // namespace

bool RegexHelper::Create(std::string_view pattern, std::string_view subject, bool case_sensitive,
                         bool multiline, bool global) {
  Clear();
  std::optional<boost::u32regex> regex;
  try {
    const std::vector<UChar32> pattern_points = ToCodePoints(pattern);
    // ECMAScript (Perl-style) syntax; no_mod_s keeps "." off line breaks even if the search flags
    // were to change, no_mod_m confines "^" and "$" to the ends of the subject.
    boost::regex_constants::syntax_option_type syntax =
        boost::regex_constants::ECMAScript | boost::regex_constants::no_mod_s;
    if (!case_sensitive) syntax |= boost::regex_constants::icase;
    if (!multiline) syntax |= boost::regex_constants::no_mod_m;
    regex.emplace(boost::make_u32regex(pattern_points.data(),
                                       pattern_points.data() + pattern_points.size(), syntax));
    pattern_.assign(pattern);
    subject_.assign(subject);
  } catch (...) {
    // An invalid pattern (boost::regex_error) or exhausted memory: no results at all.
    Clear();
    return false;
  }
  group_count_ = regex->mark_count();
  bool complete = true;
  try {
    FindMatches(*regex, ToCodePoints(subject), global, spans_);
  } catch (...) {
    // The engine gave up on one search (runaway backtracking: error_complexity, error_stack) or
    // memory ran out. The matches found before it are sound and stay available, so a page with
    // one pathological spot still yields its earlier records; false tells the search is partial.
    complete = false;
    spans_.resize(spans_.size() - spans_.size() % (group_count_ + 1));
  }
  ok_ = true;
  return complete;
}

void RegexHelper::Clear() {
  pattern_.clear();
  subject_.clear();
  spans_.clear();
  group_count_ = 0;
  ok_ = false;
}

std::string RegexHelper::GetPattern() const { return ok_ ? pattern_ : std::string(); }

int RegexHelper::MatchCount() const {
  const std::size_t count = spans_.size() / (group_count_ + 1);
  return count > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(count);
}

int RegexHelper::SubMatchCount() const {
  if (MatchCount() == 0) return 0;
  return group_count_ > static_cast<std::size_t>(INT_MAX) ? INT_MAX
                                                          : static_cast<int>(group_count_);
}

const RegexHelper::Span* RegexHelper::SpanOf(int i, int j) const {
  if (i < 1 || i > MatchCount() || j < 0 || static_cast<std::size_t>(j) > group_count_) {
    return nullptr;
  }
  const Span& span =
      spans_[(static_cast<std::size_t>(i) - 1) * (group_count_ + 1) + static_cast<std::size_t>(j)];
  return span.begin == kNoGroup ? nullptr : &span;
}

std::string RegexHelper::TextOf(const Span& span) const {
  return subject_.substr(span.begin, span.end - span.begin);
}

std::string RegexHelper::MatchText(int i) const {
  const Span* span = SpanOf(i, 0);
  return span == nullptr ? std::string() : TextOf(*span);
}

std::string RegexHelper::SubMatchText(int i, int j) const {
  if (j < 1) return std::string();
  const Span* span = SpanOf(i, j);
  return span == nullptr ? std::string() : TextOf(*span);
}

std::string RegexHelper::ReplaceMatches(std::string_view replacement) const {
  if (!ok_) return std::string();
  std::string out;
  out.reserve(subject_.size());
  std::size_t copied = 0;
  const std::size_t stride = group_count_ + 1;
  for (std::size_t k = 0; k < spans_.size() / stride; ++k) {
    const Span& whole = spans_[k * stride];
    out.append(subject_, copied, whole.begin - copied);
    AppendExpansion(replacement, k, out);
    copied = whole.end;
  }
  out.append(subject_, copied, std::string::npos);
  return out;
}

// The ECMAScript substitution rules: "$nn" names group nn when that group exists, otherwise "$n"
// names group n followed by a literal digit; a reference to a missing group stays literal text.
void RegexHelper::AppendExpansion(std::string_view replacement, std::size_t match_index,
                                  std::string& out) const {
  const std::size_t stride = group_count_ + 1;
  const Span* spans = &spans_[match_index * stride];
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  const auto append_group = [&](std::size_t group) {
    if (spans[group].begin != kNoGroup) {
      out.append(subject_, spans[group].begin, spans[group].end - spans[group].begin);
    }
  };
  std::size_t i = 0;
  while (i < replacement.size()) {
    const char c = replacement[i];
    if (c != '$' || i + 1 >= replacement.size()) {
      out.push_back(c);
      ++i;
      continue;
    }
    const char next = replacement[i + 1];
    if (next == '$') {
      out.push_back('$');
      i += 2;
    } else if (next == '&') {
      append_group(0);
      i += 2;
    } else if (next == '`') {
      out.append(subject_, 0, spans[0].begin);
      i += 2;
    } else if (next == '\'') {
      out.append(subject_, spans[0].end, std::string::npos);
      i += 2;
    } else if (is_digit(next)) {
      const std::size_t one = static_cast<std::size_t>(next - '0');
      std::size_t two = 0;
      const bool has_two = i + 2 < replacement.size() && is_digit(replacement[i + 2]);
      if (has_two) two = one * 10 + static_cast<std::size_t>(replacement[i + 2] - '0');
      if (has_two && two >= 1 && two <= group_count_) {
        append_group(two);
        i += 3;
      } else if (one >= 1 && one <= group_count_) {
        append_group(one);
        i += 2;
      } else {
        out.push_back('$');
        ++i;
      }
    } else {
      out.push_back('$');
      ++i;
    }
  }
}

}  // namespace lumvex
