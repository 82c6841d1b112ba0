// Code-page conversions at the program's boundaries (files, pages, request bodies). Invalid input
// bytes decode to U+FFFD and decoding goes on; characters GBK cannot hold encode as "?".
#pragma once

#include <string>
#include <string_view>

namespace lumvex::text {

// GBK (code page 936) bytes to UTF-8 text, and back.
std::string DecodeGbk(std::string_view gbk);
std::string EncodeGbk(std::string_view utf8);

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
