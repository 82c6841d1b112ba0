#include "http/url_text.h"

#include <algorithm>
#include <cstdio>

#include "text/text_util.h"

namespace lumvex::http {
namespace {

constexpr std::string_view kQuoteMarker = "#引号";

std::size_t StartIndex(int start) { return start < 1 ? 0 : static_cast<std::size_t>(start - 1); }

// The path as both URL readers find it: the first "/" at or after the host.
// The host is looked for after a leading scheme, so that a host such as "h" or "tp" is not found
// inside "http://".
std::string PathAfterHost(std::string_view url, std::string_view host) {
  std::size_t from = 0;
  if (text::StartsWith(url, "http://", true)) from = 7;
  if (text::StartsWith(url, "https://", true)) from = 8;
  std::size_t host_at = text::Find(url, host, from, true);
  if (host_at == std::string_view::npos) return "/";
  std::size_t slash = url.find('/', host_at);
  if (slash == std::string_view::npos) return "/";
  return std::string(url.substr(slash));
}

int PortOfAuthority(std::string_view authority) {
  std::size_t colon = authority.find(':');
  if (colon == std::string_view::npos) return 80;
  return text::AtoI(authority.substr(colon + 1));
}

std::string_view Authority(std::string_view url) {
  if (text::StartsWith(url, "http://", true)) {
    std::string_view rest = url.substr(7);
    return rest.substr(0, rest.find('/'));
  }
  return url.substr(0, url.find('/'));
}

}  // namespace

std::string UrlHost(std::string_view url) {
  std::string host = text::ReplaceAll(url, "https://", "");
  host = text::ReplaceAll(host, "http://", "");
  host = host.substr(0, host.find('/'));
  host = host.substr(0, host.find(':'));
  return text::ToLowerAscii(host);
}

std::string UrlPath(std::string_view url) { return PathAfterHost(url, UrlHost(url)); }

int UrlPort(std::string_view url) { return PortOfAuthority(Authority(url)); }

std::string TextBetween(std::string_view text, std::string_view left, std::string_view right,
                        int start, bool case_sensitive) {
  std::string left_marker = text::ReplaceAll(left, kQuoteMarker, "\"");
  std::string right_marker = text::ReplaceAll(right, kQuoteMarker, "\"");
  std::size_t from = StartIndex(start);
  if (from > text.size()) return {};
  std::size_t left_at = text::Find(text, left_marker, from, !case_sensitive);
  if (left_at == std::string_view::npos) return {};
  std::size_t inner = left_at + left_marker.size();
  std::size_t right_at = text::Find(text, right_marker, inner, !case_sensitive);
  if (right_at == std::string_view::npos) return {};
  return std::string(text.substr(inner, right_at - inner));
}

std::string TextBefore(std::string_view text, std::string_view marker, int start,
                       bool ignore_case) {
  std::size_t from = StartIndex(start);
  if (from > text.size()) return {};
  std::size_t at = text::Find(text, marker, from, ignore_case);
  if (at == std::string_view::npos) return {};
  return std::string(text.substr(0, at));
}

RawUrlParts SplitRawRequestUrl(std::string_view url) {
  RawUrlParts parts;
  std::string_view authority = Authority(url);
  parts.host = text::ToLowerAscii(authority.substr(0, authority.find(':')));
  parts.port = PortOfAuthority(authority);
  parts.path = PathAfterHost(url, parts.host);
  return parts;
}

namespace {

bool IsHostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}

// curl refuses raw spaces and control bytes in a URL; everything else goes out as given.
std::string EscapePath(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (char c : path) {
    auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string ComposeUrl(bool https, std::string_view host, int port, std::string_view path) {
  if (host.empty() || !std::all_of(host.begin(), host.end(), IsHostChar)) return {};
  if (port < 0 || port > 65535) return {};
  int default_port = https ? 443 : 80;
  std::string url = https ? "https://" : "http://";
  url += host;
  if (port != 0 && port != default_port) url += ":" + std::to_string(port);
  url += path.empty() || path[0] != '/' ? "/" + EscapePath(path) : EscapePath(path);
  return url;
}

}  // namespace lumvex::http
