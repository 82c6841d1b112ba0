#include "judge/json_text.h"

#include "text/utf8_sniffer.h"

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
  const text::Utf8Lead lead = text::ReadUtf8Lead(static_cast<unsigned char>(text[at]));
  const auto length = static_cast<std::size_t>(lead.length);
  if (length <= 1) return length;
  if (at + length > text.size()) return 0;
  const auto second = static_cast<unsigned char>(text[at + 1]);
  if (second < lead.low || second > lead.high) return 0;
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
          const auto second = static_cast<unsigned char>(text[i + 1]);
          if (byte == 0xC2 && second <= 0x9F) {
            AppendCodeUnit(out, second);  // a C1 control, U+0080-U+009F, escaped like C0
          } else {
            out.append(text.substr(i, length));
          }
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
