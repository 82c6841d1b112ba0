#include "proxylist/proxy_line_parser.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "net/proxy_address.h"
#include "net/proxy_scheme.h"
#include "proxylist/address_line_reader.h"
#include "text/codec.h"
#include "text/proxy_host.h"
#include "text/text_util.h"
#include "text/utf8_sniffer.h"

namespace lumvex {
namespace {

ProxyEntry RowOf(const std::string& address, const std::string& port, std::string location,
                 ProxyScheme scheme) {
  ProxyEntry entry;
  entry.cells[kColAddress] = address;
  entry.cells[kColPort] = port;
  entry.cells[kColType] = std::string(SchemeTypeText(scheme));
  entry.cells[kColLocation] = std::move(location);
  return entry;
}

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

// Spaces, tabs and ideographic spaces on both ends.
std::string_view TrimBlank(std::string_view text) {
  constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
  while (true) {
    if (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
      text.remove_prefix(1);
    } else if (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
      text.remove_suffix(1);
    } else if (text.starts_with(kIdeographicSpace)) {
      text.remove_prefix(kIdeographicSpace.size());
    } else if (text.ends_with(kIdeographicSpace)) {
      text.remove_suffix(kIdeographicSpace.size());
    } else {
      return text;
    }
  }
}

// The address and port at the start of `line`, and the rest of the line after the port's colon.
struct HostPort {
  std::string_view address;
  std::string_view port;
  std::string_view rest;
};

std::optional<HostPort> ReadHostPort(std::string_view line) {
  // The address ends at the first ":" (after the closing bracket of an IPv6 address); the rest
  // runs to the next ":" (the list formats never hold one in their type or location).
  const std::size_t colon = line.find(':', line.starts_with('[') ? line.find(']') : 0);
  if (colon == std::string_view::npos) return std::nullopt;
  HostPort found;
  found.address = TrimBlank(line.substr(0, colon));
  found.rest = line.substr(colon + 1);
  found.rest = found.rest.substr(0, found.rest.find(':'));
  found.port = TrimBlank(found.rest).substr(0, TrimBlank(found.rest).find_first_of(" \t@#;"));
  // The host is judged by its text before anything looks it up.
  if (!text::IsProxyHost(found.address) || !ParseProxyPort(found.port)) return std::nullopt;
  return found;
}

}  // namespace

std::vector<ProxyEntry> ParseProxyLine(std::string_view line) {
  std::vector<ProxyEntry> rows;
  line = TrimBlank(line);
  // "http://" names what a line without a scheme means; another scheme stays with the address.
  const std::optional<SchemePrefix> scheme = ReadSchemePrefix(line);
  if (!scheme) return rows;
  line.remove_prefix(scheme->length);
  if (line.starts_with(' ') || line.starts_with('\t')) return rows;
  // "user:password@" is a login only when a host and port follow it: in "1.2.3.4:8080@HTTP" the
  // "@" starts the type text.
  std::string_view login;
  if (const std::optional<text::LoginPrefix> prefix = text::ReadLoginPrefix(line);
      prefix && ReadHostPort(line.substr(prefix->length))) {
    login = line.substr(0, prefix->length);
    line.remove_prefix(prefix->length);
  }
  const std::optional<HostPort> found = ReadHostPort(line);
  if (!found) return rows;
  const std::string_view port = found->port;
  const std::string_view rest = found->rest;
  // The row keeps the login with the address, so that "address:port" is still the proxy URL.
  const std::string address_text = std::string(SchemeAddressPrefix(scheme->scheme)) +
                                   std::string(login) + std::string(found->address);
  const std::string port_text(port);
  const std::string rest_text(rest);
  if (!text::Contains(rest_text, "@")) {
    rows.push_back(RowOf(address_text, port_text, {}, scheme->scheme));
    return rows;
  }
  if (text::Contains(rest_text, "#")) {
    const std::vector<std::string> hash = text::Split(rest_text, "#");
    if (hash.size() >= 2) rows.push_back(RowOf(address_text, port_text, hash[1], scheme->scheme));
  } else {
    rows.push_back(RowOf(address_text, port_text, {}, scheme->scheme));
  }
  if (text::Contains(rest_text, ";")) {
    const std::vector<std::string> semi = text::Split(rest_text, ";");
    if (semi.size() >= 2) rows.push_back(RowOf(address_text, port_text, semi[1], scheme->scheme));
  }
  return rows;
}

std::vector<ProxyEntry> ParseProxyLines(std::string_view text) {
  std::vector<ProxyEntry> rows;
  ReadAddressLines(text, LineEncoding::kUtf8, [&rows](std::vector<ProxyEntry>&& line_rows) {
    for (ProxyEntry& row : line_rows) rows.push_back(std::move(row));
    return true;
  });
  return rows;
}

std::string ExportText(const std::vector<CompactRow>& rows) {
  std::string out;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i > 0) out += "\r\n";
    out += rows[i].Cell(kColAddress);
    out += ':';
    out += rows[i].Cell(kColPort);
  }
  return out;
}

bool IsValidUtf8(std::string_view bytes) {
  text::Utf8Sniffer sniffer;
  sniffer.Feed(bytes);
  return sniffer.Valid();
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

std::string DecodeImportBytes(std::string_view bytes) { return text::DecodeGbkOrUtf8(bytes); }

}  // namespace lumvex
