#include "text/encoding_guess.h"

#include <unicode/utf8.h>

#include <bitset>
#include <cstdint>
#include <cstring>
#include <utility>

#include "text/codec.h"

namespace lumvex::text {
namespace {

// Enough characters to tell the two readings apart; after them only validity is followed, so a
// long list costs one scan.
constexpr std::size_t kEnoughCharacters = 4096;
// A line longer than this is scored in parts (cut at a UTF-8 character boundary).
constexpr std::size_t kMaxLineBytes = 4096;

constexpr char32_t kUnifiedFirst = 0x4E00;
constexpr char32_t kUnifiedLast = 0x9FFF;
using HanziSet = std::bitset<kUnifiedLast - kUnifiedFirst + 1>;

// The characters of GB2312 rows `first_lead` to `last_lead` (trail bytes A1-FE), read through the
// GBK table: level 1 is rows B0-D7, level 2 rows D8-F7.
HanziSet RowsOfGb2312(unsigned char first_lead, unsigned char last_lead) {
  std::string bytes;
  for (unsigned lead = first_lead; lead <= last_lead; ++lead) {
    for (unsigned trail = 0xA1; trail <= 0xFE; ++trail) {
      bytes += static_cast<char>(lead);
      bytes += static_cast<char>(trail);
    }
  }
  const std::string utf8 = DecodeGbk(bytes);
  HanziSet set;
  const auto* data = reinterpret_cast<const uint8_t*>(utf8.data());
  const auto size = static_cast<int32_t>(utf8.size());
  int32_t i = 0;
  while (i < size) {
    UChar32 c;
    U8_NEXT(data, i, size, c);
    if (c >= static_cast<UChar32>(kUnifiedFirst) && c <= static_cast<UChar32>(kUnifiedLast)) {
      set.set(static_cast<std::size_t>(c) - kUnifiedFirst);
    }
  }
  return set;
}

const HanziSet& LevelOne() {
  static const HanziSet set = RowsOfGb2312(0xB0, 0xD7);
  return set;
}

const HanziSet& LevelTwo() {
  static const HanziSet set = RowsOfGb2312(0xD8, 0xF7);
  return set;
}

bool IsAscii(std::string_view bytes) {
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes.data() + i, 8);
    if ((word & 0x8080808080808080ULL) != 0) return false;
  }
  for (; i < bytes.size(); ++i) {
    if (static_cast<unsigned char>(bytes[i]) >= 0x80) return false;
  }
  return true;
}

bool IsAsciiLetter(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsLatinLetter(char32_t c) { return c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7; }

bool IsGreekOrCyrillic(char32_t c) {
  return (c >= 0x386 && c <= 0x3CE) || (c >= 0x400 && c <= 0x45F);
}

// Punctuation a Chinese text uses: ideographic space and marks, full-width forms, dashes,
// quotation marks, the ellipsis and the middle dot.
bool IsChinesePunctuation(char32_t c) {
  return (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF01 && c <= 0xFF5E) ||
         (c >= 0x2010 && c <= 0x2027) || c == 0xB7;
}

// What one non-ASCII character between `before` and `after` (0 at the text's ends) costs a
// reading, roughly the bits a model of a Chinese proxy list spends on it: common characters are
// cheap, a misread text's Greek, Hebrew or box-drawing characters dear. Costs add up per
// reading, so a reading that makes fewer characters of the same bytes (UTF-8 spends three bytes
// on a Chinese character, GBK two) also pays fewer times.
int Cost(char32_t c, char32_t before, char32_t after) {
  if (c >= kUnifiedFirst && c <= kUnifiedLast) {
    const std::size_t index = c - kUnifiedFirst;
    if (LevelOne().test(index)) return 8;
    return LevelTwo().test(index) ? 20 : 24;
  }
  if (IsChinesePunctuation(c)) return 8;
  // In a Greek or Cyrillic word (Москва): a misread GBK text makes such letters here and there,
  // and where it makes a run of them they still cost more than the common characters they were.
  if (IsGreekOrCyrillic(c)) {
    return IsGreekOrCyrillic(before) || IsGreekOrCyrillic(after) ? 10 : 24;
  }
  // An accented letter inside a Latin word (São Paulo, Bogotá) is what a UTF-8 list of place
  // names holds; alone it proves little.
  if (IsLatinLetter(c)) return IsAsciiLetter(before) || IsAsciiLetter(after) ? 6 : 20;
  // A byte-order mark inside a text: only a file's first three bytes may be one.
  if (c == 0xFEFF) return 48;
  // A byte no reading could use, and the supplementary planes (emoji, rare Chinese) that a
  // misread four-byte run lands in.
  if (c == 0xFFFD || (c >= 0x80 && c <= 0x9F) || c > 0xFFFF) return 40;
  if ((c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF)) return 24;  // rare Chinese
  // Greek, Cyrillic, Armenian, Hebrew, combining marks, IPA, Latin-1 signs, symbols, box
  // drawing, kana, private use and the rest: what a misread double-byte text turns into.
  return 24;
}

}  // namespace

bool IsCommonHanzi(char32_t c) {
  return c >= kUnifiedFirst && c <= kUnifiedLast && LevelOne().test(c - kUnifiedFirst);
}

long ReadingCost(std::string_view utf8, std::size_t& characters) {
  std::u32string points;
  points.reserve(utf8.size());
  const auto* data = reinterpret_cast<const uint8_t*>(utf8.data());
  const auto size = static_cast<int32_t>(utf8.size());
  for (int32_t i = 0; i < size;) {
    UChar32 c;
    U8_NEXT(data, i, size, c);
    points += c < 0 ? char32_t{0xFFFD} : static_cast<char32_t>(c);
  }
  long cost = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (points[i] < 0x80) continue;
    const char32_t before = i > 0 ? points[i - 1] : 0;
    const char32_t after = i + 1 < points.size() ? points[i + 1] : 0;
    cost += Cost(points[i], before, after);
    ++characters;
  }
  return cost;
}

void EncodingGuess::ScorePending() {
  if (pending_.empty()) return;
  utf8_cost_ += ReadingCost(DecodeUtf8(pending_), scored_characters_);
  std::size_t gbk_characters = 0;
  gbk_cost_ += ReadingCost(DecodeGbk(pending_), gbk_characters);
  pending_.clear();
}

void EncodingGuess::Feed(std::string_view bytes) {
  sniffer_.Feed(bytes);
  if (sniffer_.Broken()) {
    pending_.clear();
    return;
  }
  while (!bytes.empty() && scored_characters_ < kEnoughCharacters) {
    const std::size_t end = bytes.find('\n');
    const std::string_view part = bytes.substr(0, end);
    // Only lines with non-ASCII bytes are kept; their ASCII start (if any came in an earlier
    // piece) only lends context to an accented letter.
    if (!pending_.empty() || !IsAscii(part)) pending_.append(part);
    if (end == std::string_view::npos) {
      if (pending_.size() > kMaxLineBytes) {
        // Cut before the last character's lead byte, so no character is split.
        std::size_t cut = pending_.size();
        while (cut > 0 && (static_cast<unsigned char>(pending_[cut - 1]) & 0xC0) == 0x80) --cut;
        if (cut > 0) --cut;
        std::string rest = pending_.substr(cut);
        pending_.resize(cut);
        ScorePending();
        pending_ = std::move(rest);
      }
      return;
    }
    ScorePending();
    bytes.remove_prefix(end + 1);
  }
}

bool EncodingGuess::ReadsAsUtf8() {
  if (!sniffer_.Valid() || !sniffer_.NonAscii()) return false;
  ScorePending();
  return utf8_cost_ < gbk_cost_;
}

}  // namespace lumvex::text
