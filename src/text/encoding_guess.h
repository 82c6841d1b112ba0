// Tells GBK text from UTF-8 text by which reading makes sense. Validity alone is not enough: many
// short GBK words are also well-formed UTF-8 (未知 is CE B4 D6 AA, which UTF-8 reads as "δ֪"), so
// bytes that are valid UTF-8 are decoded both ways and each reading's non-ASCII characters are
// weighed: common Chinese characters (GB2312 level 1) cost a reading little; Greek, Hebrew,
// Cyrillic, combining marks, symbols, private-use and rare Chinese characters cost it much.
// UTF-8 wins only when it costs less; a tie goes to GBK, the program's own encoding.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/utf8_sniffer.h"

namespace lumvex::text {

class EncodingGuess {
 public:
  // Feeds the next piece of the text; pieces may cut a line or a character anywhere.
  void Feed(std::string_view bytes);
  // Whether the text fed so far reads as UTF-8. Ends the text: nothing more is fed after it.
  bool ReadsAsUtf8();
  // A byte already broke the UTF-8 form: the text is GBK whatever follows.
  bool Broken() const { return sniffer_.Broken(); }

 private:
  void ScorePending();

  Utf8Sniffer sniffer_;
  // The line being gathered while it holds non-ASCII bytes; lines are scored whole so that a
  // double-byte character is never cut in two.
  std::string pending_;
  long utf8_cost_ = 0;
  long gbk_cost_ = 0;
  std::size_t scored_characters_ = 0;
};

// The cost of a reading: the sum over its non-ASCII characters, as EncodingGuess weighs them.
// `characters` is increased by the number of non-ASCII characters seen.
long ReadingCost(std::string_view utf8, std::size_t& characters);

// Whether `c` is one of the 3,755 common characters of GB2312 level 1.
bool IsCommonHanzi(char32_t c);

}  // namespace lumvex::text
