#include "judge/json_text.h"

namespace lumvex::judge {
namespace {

constexpr char kHex[] = "0123456789abcdef";

void AppendCodeUnit(std::string& out, unsigned char byte) {
  out += "\\u00";
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0F];
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  // The range the second byte must fall in rules out overlong forms, surrogates and code points
  // above U+10FFFF (the table of well-formed sequences in Unicode's chapter 3).
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  const auto second = static_cast<unsigned char>(text[at + 1]);
  if (second < low || second > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if (next < 0x80 || next > 0xBF) return 0;
  }
  return length;
}

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    switch (byte) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          AppendCodeUnit(out, byte);
        } else if (byte < 0x80) {
          out += static_cast<char>(byte);
        } else if (const std::size_t length = Utf8SequenceLength(text, i); length > 0) {
          out.append(text.substr(i, length));
          i += length;
          continue;
        } else {
          AppendCodeUnit(out, byte);
        }
    }
    ++i;
  }
  out += '"';
}

}  // namespace lumvex::judge
