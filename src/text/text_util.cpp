#include "text/text_util.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <limits>
#include <system_error>

#include "text/utf8_sniffer.h"

namespace lumvex::text {
namespace {

// U+3000 IDEOGRAPHIC SPACE in UTF-8.
constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

constexpr char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

constexpr char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// The white space atoi and atof skip in the C locale.
constexpr bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

constexpr bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

std::size_t SkipCSpace(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  return i;
}

// from_chars reports both overflow and underflow as out of range without a value; strtod gives
// HUGE_VAL for the one and zero for the other. Decides which by the decimal exponent of the
// leading significant digit in the decimal number `num` (no sign, no white space).
bool DecimalOverflows(std::string_view num) {
  long long digit_exponent = 0;  // Power of ten of the first significant digit, plus one.
  bool seen_significant = false;
  bool after_point = false;
  std::size_t i = 0;
  for (; i < num.size(); ++i) {
    const char c = num[i];
    if (c == '.') {
      after_point = true;
    } else if (IsDigit(c)) {
      if (!seen_significant && c != '0') seen_significant = true;
      if (seen_significant && !after_point) {
        ++digit_exponent;
      } else if (!seen_significant && after_point) {
        --digit_exponent;
      }
    } else {
      break;
    }
  }
  if (!seen_significant) return false;
  if (i < num.size() && (num[i] == 'e' || num[i] == 'E')) {
    std::size_t j = i + 1;
    bool negative = false;
    if (j < num.size() && (num[j] == '+' || num[j] == '-')) negative = num[j++] == '-';
    long long exponent = 0;
    for (; j < num.size() && IsDigit(num[j]); ++j) {
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (num[j] - '0');
    }
    digit_exponent += negative ? -exponent : exponent;
  }
  return digit_exponent > 0;
}

// The same decision for a hexadecimal number without its "0x": a negative binary exponent, or no
// significant digit before the point, makes an underflow.
bool HexOverflows(std::string_view num) {
  const std::size_t p = num.find_first_of("pP");
  if (p != std::string_view::npos && p + 1 < num.size() && num[p + 1] == '-') return false;
  for (const char c : num) {
    if (!IsHexDigit(c)) return false;
    if (c != '0') return true;
  }
  return false;
}

// The pieces of Split, with the delimiters where `find(text, delimiter, from)` finds them.
template <typename Find>
std::vector<std::string> SplitAt(std::string_view text, std::string_view delimiter, Find find) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  if (delimiter.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  std::size_t start = 0;
  while (true) {
    const std::size_t pos = find(text, delimiter, start);
    if (pos == std::string_view::npos) {
      if (start < text.size()) pieces.emplace_back(text.substr(start));
      break;
    }
    pieces.emplace_back(text.substr(start, pos - start));
    start = pos + delimiter.size();
  }
  return pieces;
}

}  // namespace

std::vector<std::string> Split(std::string_view text, std::string_view delimiter) {
  return SplitAt(text, delimiter, [](std::string_view t, std::string_view d, std::size_t from) {
    return t.find(d, from);
  });
}

std::vector<std::string> SplitGbk(std::string_view gbk, std::string_view delimiter) {
  return SplitAt(gbk, delimiter, [](std::string_view t, std::string_view d, std::size_t from) {
    for (std::size_t i = from; i < t.size();
         i += (static_cast<unsigned char>(t[i]) & 0x80) != 0 ? 2 : 1) {
      if (t.compare(i, d.size(), d) == 0) return i;
    }
    return std::string_view::npos;
  });
}

std::string Trim(std::string_view text) { return std::string(TrimView(text)); }

std::string_view TrimView(std::string_view text) {
  while (true) {
    if (!text.empty() && text.front() == ' ') {
      text.remove_prefix(1);
    } else if (text.starts_with(kIdeographicSpace)) {
      text.remove_prefix(kIdeographicSpace.size());
    } else {
      break;
    }
  }
  while (true) {
    if (!text.empty() && text.back() == ' ') {
      text.remove_suffix(1);
    } else if (text.ends_with(kIdeographicSpace)) {
      text.remove_suffix(kIdeographicSpace.size());
    } else {
      break;
    }
  }
  return text;
}

std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

std::size_t Find(std::string_view haystack, std::string_view needle, std::size_t from,
                 bool ignore_case) {
  if (!ignore_case) return haystack.find(needle, from);
  if (from > haystack.size() || needle.size() > haystack.size() - from) {
    return std::string_view::npos;
  }
  if (needle.empty()) return from;
  // Case folding touches ASCII letters only, and every byte of a multi-byte UTF-8 character has
  // the high bit set, so a byte-wise comparison never matches across a character boundary that
  // the exact search would not.
  const char first_lower = FoldAscii(needle.front());
  const char first_upper = UpperAscii(first_lower);
  const std::size_t last_start = haystack.size() - needle.size();
  for (std::size_t i = from; i <= last_start; ++i) {
    const char c = haystack[i];
    if (c != first_lower && c != first_upper) continue;
    if (EqualsIgnoreCase(haystack.substr(i + 1, needle.size() - 1), needle.substr(1))) return i;
  }
  return std::string_view::npos;
}

bool Contains(std::string_view haystack, std::string_view needle, bool ignore_case) {
  return Find(haystack, needle, 0, ignore_case) != std::string_view::npos;
}

bool StartsWith(std::string_view text, std::string_view prefix, bool ignore_case) {
  if (prefix.size() > text.size()) return false;
  if (!ignore_case) return text.starts_with(prefix);
  return EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

std::string EscapeControls(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b >= 0x20 && b < 0x7F) {
      if (b == '\\') out += '\\';
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    std::size_t length = 0;
    if (b >= 0xC2 && b <= 0xDF) length = 2;
    if (b >= 0xE0 && b <= 0xEF) length = 3;
    if (b >= 0xF0 && b <= 0xF4) length = 4;
    Utf8Sniffer sniffer;
    if (length > 0 && i + length <= text.size()) sniffer.Feed(text.substr(i, length));
    if (length == 0 || i + length > text.size() || !sniffer.Valid()) {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 0x0F];
      ++i;
      continue;
    }
    const auto second = static_cast<unsigned char>(text[i + 1]);
    const auto third = length == 3 ? static_cast<unsigned char>(text[i + 2]) : 0;
    // E2 80 AA..AE is U+202A..U+202E, E2 81 A6..A9 U+2066..U+2069.
    const bool bidi = b == 0xE2 && ((second == 0x80 && third >= 0xAA && third <= 0xAE) ||
                                    (second == 0x81 && third >= 0xA6 && third <= 0xA9));
    if (b == 0xC2 && second <= 0x9F) {
      out += "\\u00";
      out += kHex[second >> 4];
      out += kHex[second & 0x0F];
    } else if (bidi) {
      const unsigned code = 0x2000 | ((second & 0x3Fu) << 6) | (third & 0x3Fu);
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(code >> shift) & 0x0F];
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  return out;
}

std::string ToLowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = FoldAscii(c);
  return out;
}

std::string ToUpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperAscii(c);
  return out;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  while (true) {
    const std::size_t pos = text.find(from, start);
    if (pos == std::string_view::npos) break;
    out.append(text.substr(start, pos - start));
    out.append(to);
    start = pos + from.size();
  }
  out.append(text.substr(start));
  return out;
}

int AtoI(std::string_view text) {
  std::size_t i = SkipCSpace(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulates towards the sign so that INT_MIN is reachable without overflow.
  long long value = 0;
  constexpr long long kMax = static_cast<long long>(INT_MAX);
  constexpr long long kMin = static_cast<long long>(INT_MIN);
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    const int digit = text[i] - '0';
    value = negative ? value * 10 - digit : value * 10 + digit;
    if (value > kMax) return INT_MAX;
    if (value < kMin) return INT_MIN;
  }
  return static_cast<int>(value);
}

double AtoF(std::string_view text) {
  std::size_t i = SkipCSpace(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::string_view rest = text.substr(i);
  // from_chars would read a second minus sign as the number's own; strtod reads no number there.
  if (rest.empty() || rest[0] == '-' || rest[0] == '+') return 0.0;
  // from_chars takes neither a sign nor the "0x" prefix that strtod accepts.
  std::chars_format format = std::chars_format::general;
  if (rest.size() > 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X') &&
      (IsHexDigit(rest[2]) || (rest[2] == '.' && rest.size() > 3 && IsHexDigit(rest[3])))) {
    format = std::chars_format::hex;
    rest.remove_prefix(2);
  }
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value, format);
  if (ec == std::errc::result_out_of_range) {
    const bool overflow =
        format == std::chars_format::hex ? HexOverflows(rest) : DecimalOverflows(rest);
    value = overflow ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (ec != std::errc()) {
    return 0.0;  // no number: strtod gives zero without the sign
  }
  return negative ? -value : value;
}

std::string FormatInt(std::int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
  return std::string(buffer, result.ptr);
}

std::string FormatReal(double value) {
  // "%.13g" needs at most 1 sign + 13 digits + point + "e+308": well under 32 bytes; "-nan" and
  // "-inf" are shorter still.
  char buffer[32];
  const auto result =
      std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::general, 13);
  if (result.ec != std::errc()) return std::string();
  return std::string(buffer, result.ptr);
}

}  // namespace lumvex::text
