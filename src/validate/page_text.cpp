#include "validate/page_text.h"

#include <unicode/ucnv.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <limits>
#include <optional>

#include "text/text_util.h"

namespace lumvex {
namespace {

// Browsers look for a <meta> charset only this far into a page.
constexpr std::size_t kMetaScanBytes = 4096;

bool IsValidUtf8(std::string_view bytes) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const auto length = static_cast<std::int32_t>(bytes.size());
  std::int32_t i = 0;
  while (i < length) {
    UChar32 c;
    U8_NEXT(data, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

bool IsCharsetChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.' || c == ':';
}

// The value after the first "charset" of `text` that is followed by "=" (spaces and one quote
// allowed around it); empty when there is none.
std::string CharsetParameter(std::string_view text) {
  const std::string lower = text::ToLowerAscii(text);
  for (std::size_t at = lower.find("charset"); at != std::string::npos;
       at = lower.find("charset", at + 1)) {
    std::size_t i = at + 7;
    while (i < lower.size() && lower[i] == ' ') ++i;
    if (i >= lower.size() || lower[i] != '=') continue;
    ++i;
    while (i < lower.size() && (lower[i] == ' ' || lower[i] == '"' || lower[i] == '\'')) ++i;
    std::size_t end = i;
    while (end < lower.size() && IsCharsetChar(lower[end])) ++end;
    if (end > i) return lower.substr(i, end - i);
  }
  return {};
}

// The charset named by a <meta> tag in the first bytes of the page.
std::string MetaCharset(std::string_view body) {
  const std::string head = text::ToLowerAscii(body.substr(0, kMetaScanBytes));
  for (std::size_t at = head.find("<meta"); at != std::string::npos;
       at = head.find("<meta", at + 1)) {
    const std::size_t end = head.find('>', at);
    const std::string found = CharsetParameter(
        std::string_view(head).substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (!found.empty()) return found;
  }
  return {};
}

// The converter name for a charset label, or nothing when no converter knows it.
std::optional<std::string> ConverterName(const std::string& label) {
  if (label.empty()) return std::nullopt;
  static constexpr std::string_view kGbkLabels[] = {
      "gb2312", "gbk", "x-gbk", "chinese", "csgb2312", "gb_2312", "gb_2312-80", "iso-ir-58"};
  for (std::string_view gbk : kGbkLabels) {
    if (label == gbk) return "GBK";
  }
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(label.c_str(), &error);
  if (U_FAILURE(error) || converter == nullptr) return std::nullopt;
  ucnv_close(converter);
  return label;
}

}  // namespace

std::string PageCharset(std::string_view body, std::string_view content_type) {
  if (auto name = ConverterName(CharsetParameter(content_type))) return *name;
  if (auto name = ConverterName(MetaCharset(body))) return *name;
  return IsValidUtf8(body) ? "UTF-8" : "GBK";
}

std::string PageText(std::string_view body, std::string_view content_type) {
  if (body.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    body = body.substr(0, static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()));
  }
  const std::string charset = PageCharset(body, content_type);
  const icu::UnicodeString decoded(body.data(), static_cast<std::int32_t>(body.size()),
                                   charset.c_str());
  std::string text;
  decoded.toUTF8String(text);
  return text;
}

}  // namespace lumvex
