#include "proxylist/proxy_line_parser.h"

#include <unicode/ucnv.h>

#include <memory>

#include "text/codec.h"
#include "text/text_util.h"

namespace lumvex {
namespace {

ProxyEntry RowOf(const std::string& address, const std::string& port, std::string location) {
  ProxyEntry entry;
  entry.cells[kColAddress] = address;
  entry.cells[kColPort] = port;
  entry.cells[kColLocation] = std::move(location);
  return entry;
}

// The first piece of `rest` split at "@" (empty when there is none).
std::string BeforeAt(const std::string& rest) {
  const std::vector<std::string> pieces = text::Split(rest, "@");
  return pieces.empty() ? std::string() : pieces.front();
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

}  // namespace

std::vector<ProxyEntry> ParseProxyLine(std::string_view line) {
  std::vector<ProxyEntry> rows;
  const std::vector<std::string> pieces = text::Split(line, ":");
  if (pieces.size() < 2) return rows;
  const std::string& address = pieces[0];
  const std::string& rest = pieces[1];
  if (!text::Contains(rest, "@")) {
    rows.push_back(RowOf(address, rest, {}));
    return rows;
  }
  if (text::Contains(rest, "#")) {
    const std::vector<std::string> hash = text::Split(rest, "#");
    if (hash.size() >= 2) rows.push_back(RowOf(address, BeforeAt(rest), hash[1]));
  } else {
    rows.push_back(RowOf(address, BeforeAt(rest), {}));
  }
  if (text::Contains(rest, ";")) {
    const std::vector<std::string> semi = text::Split(rest, ";");
    if (semi.size() >= 2) rows.push_back(RowOf(address, BeforeAt(rest), semi[1]));
  }
  return rows;
}

std::vector<std::string_view> ImportLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = next;
  }
  return lines;
}

std::vector<ProxyEntry> ParseProxyLines(std::string_view text) {
  std::vector<ProxyEntry> rows;
  for (std::string_view line : ImportLines(text)) {
    for (ProxyEntry& row : ParseProxyLine(line)) rows.push_back(std::move(row));
  }
  return rows;
}

std::string ExportText(const std::vector<ProxyEntry>& rows) {
  std::string out;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i > 0) out += "\r\n";
    out += rows[i].cells[kColAddress];
    out += ':';
    out += rows[i].cells[kColPort];
  }
  return out;
}

bool IsValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 0;
    unsigned int min = 0;
    unsigned int code = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      code = c & 0x1F;
      min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      code = c & 0x0F;
      min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      code = c & 0x07;
      min = 0x10000;
    } else {
      return false;
    }
    if (i + length > bytes.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const unsigned char t = static_cast<unsigned char>(bytes[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      code = (code << 6) | (t & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

bool IsValidGbk(std::string_view bytes) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, ConverterCloser> converter(ucnv_open("GBK", &status));
  if (U_FAILURE(status)) return false;
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  if (U_FAILURE(status)) return false;
  UChar buffer[1024];
  const char* source = bytes.data();
  const char* const limit = bytes.data() + bytes.size();
  for (;;) {
    UChar* target = buffer;
    status = U_ZERO_ERROR;
    ucnv_toUnicode(converter.get(), &target, buffer + std::size(buffer), &source, limit, nullptr,
                   true, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) continue;
    return U_SUCCESS(status);
  }
}

std::string DecodeImportBytes(std::string_view bytes) {
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom && IsValidUtf8(bytes.substr(kUtf8Bom.size()))) {
    return std::string(bytes.substr(kUtf8Bom.size()));
  }
  if (!IsValidGbk(bytes) && IsValidUtf8(bytes)) return std::string(bytes);
  return text::DecodeGbk(bytes);
}

}  // namespace lumvex
