// Code-page conversions at the program's boundaries (files, pages, request bodies). Invalid input
// bytes decode to U+FFFD and decoding goes on.
#pragma once

#include <string>
#include <string_view>

namespace lumvex::text {

// GBK (code page 936) bytes to UTF-8 text, and back. A character GBK cannot hold is encoded as
// its GB18030 four-byte sequence (decoding reads those back), so GBK text keeps its bytes and
// nothing else is lost; U+FFFD, lone surrogates and the few characters GB18030 keeps on two-byte
// codes that mean something else in GBK become "?".
std::string DecodeGbk(std::string_view gbk);
std::string EncodeGbk(std::string_view utf8);

// Bytes of a text file or page that is GBK unless it shows itself to be UTF-8: a UTF-8 byte-order
// mark (dropped), or bytes that are all valid UTF-8, hold non-ASCII bytes and make more sense
// read as UTF-8 than as GBK (EncodingGuess): short GBK words are often valid UTF-8 too.
std::string DecodeGbkOrUtf8(std::string_view bytes);
// Whether DecodeGbkOrUtf8 reads `bytes` as UTF-8.
bool LooksLikeUtf8(std::string_view bytes);

// UTF-8 bytes as received (possibly malformed) to valid UTF-8 text.
std::string DecodeUtf8(std::string_view bytes);

// Big5 (code page 950) bytes to UTF-8 text with Traditional characters mapped to Simplified.
std::string DecodeBig5Simplified(std::string_view big5);

// Traditional to Simplified Chinese on UTF-8 text.
std::string ToSimplified(std::string_view utf8);

// The two page conversions, as byte-to-byte code-page conversions: UTF-8 page to GBK bytes, and
// Big5 page to simplified GBK bytes.
std::string Utf8ToGbk(std::string_view utf8_bytes);
std::string Big5ToGbkSimplified(std::string_view big5_bytes);

}  // namespace lumvex::text
