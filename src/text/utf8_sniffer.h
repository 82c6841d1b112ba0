// Tells, over bytes fed in pieces, whether they are all well-formed UTF-8 and whether any of them
// is non-ASCII: the first test of EncodingGuess, which picks UTF-8 or GBK for a text.
#pragma once

#include <string_view>

namespace lumvex::text {

// What the first byte of a UTF-8 sequence says: the sequence's length (1 for ASCII, 0 for a byte
// that cannot start one) and the range its second byte must fall in, narrower after E0, ED, F0,
// F4 to rule out overlong forms, surrogates and code points above U+10FFFF (the table of
// well-formed sequences in Unicode's chapter 3).
struct Utf8Lead {
  int length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
};
Utf8Lead ReadUtf8Lead(unsigned char lead);

class Utf8Sniffer {
 public:
  // Feeds the next piece; a sequence may be split between two pieces.
  void Feed(std::string_view bytes);

  // Every byte so far belongs to a well-formed sequence and none is left open.
  bool Valid() const { return valid_ && pending_ == 0; }
  bool NonAscii() const { return non_ascii_; }
  // A byte already broke the UTF-8 form: feeding more cannot make the text valid.
  bool Broken() const { return !valid_; }

 private:
  bool valid_ = true;
  bool non_ascii_ = false;
  int pending_ = 0;  // continuation bytes still expected
  // Range of the next continuation byte (Utf8Lead).
  unsigned char low_ = 0x80;
  unsigned char high_ = 0xBF;
};

}  // namespace lumvex::text
