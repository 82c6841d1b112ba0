#include "sysproxy/proxy_address.h"

#include <array>
#include <utility>

namespace lumvex {
namespace {

// The schemes of a list row's address; the desktop has one SOCKS setting for all four.
constexpr std::array<std::string_view, 4> kSocksSchemes = {"socks4://", "socks4a://", "socks5://",
                                                           "socks5h://"};
// What an HTTP row's address means without a scheme, as a user may write it to `proxy set`.
constexpr std::string_view kHttpScheme = "http://";

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(text[i]) != prefix[i]) return false;
  }
  return true;
}

std::string LowerText(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = Lower(c);
  return lower;
}

// The scheme `text` starts with, in small letters; empty for an HTTP row's address.
std::string_view SchemeOf(std::string_view text) {
  for (const std::string_view scheme : kSocksSchemes) {
    if (StartsWithNoCase(text, scheme)) return scheme;
  }
  return {};
}

}  // namespace

std::string ProxyAddress::Text() const {
  const std::string port_text = ":" + std::to_string(port);
  const std::string scheme = socks ? "socks://" : "";
  return scheme +
         (host.find(':') == std::string::npos ? host + port_text : "[" + host + "]" + port_text);
}

std::optional<ProxyAddress> ParseProxyAddress(std::string_view input) {
  bool socks = false;
  if (StartsWithNoCase(input, kHttpScheme)) {
    input.remove_prefix(kHttpScheme.size());
  } else {
    for (const std::string_view scheme : kSocksSchemes) {
      if (StartsWithNoCase(input, scheme)) {
        input.remove_prefix(scheme.size());
        socks = true;
        break;
      }
    }
  }
  text::ProxyLogin login;
  if (const std::optional<text::LoginPrefix> prefix = text::ReadLoginPrefix(input)) {
    login = prefix->login;
    input.remove_prefix(prefix->length);
  }
  std::string_view host;
  std::string_view port;
  if (!input.empty() && input.front() == '[') {
    const std::size_t close = input.find("]:");
    if (close == std::string_view::npos) return std::nullopt;
    host = input.substr(1, close - 1);
    port = input.substr(close + 2);
    if (!text::IsIpv6Address(host)) return std::nullopt;
  } else {
    const std::size_t colon = input.find(':');
    if (colon == std::string_view::npos || input.find(':', colon + 1) != std::string_view::npos) {
      return std::nullopt;
    }
    host = input.substr(0, colon);
    port = input.substr(colon + 1);
    if (host.starts_with('[') || !text::IsProxyHost(host)) return std::nullopt;
  }
  if (port.empty() || port.size() > 5) return std::nullopt;
  int value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return ProxyAddress{std::string(host), value, socks, std::move(login)};
}

bool SameProxyAddress(std::string_view a, std::string_view b) {
  if (a == b) return true;
  const std::optional<ProxyAddress> first = ParseProxyAddress(a);
  const std::optional<ProxyAddress> second = ParseProxyAddress(b);
  if (!first || !second) return false;
  return SchemeOf(a) == SchemeOf(b) && first->port == second->port &&
         LowerText(first->host) == LowerText(second->host);
}

std::string CaptionAddress(std::string_view caption) {
  return std::string(caption.substr(0, caption.find(" | ")));
}

std::string IeProxyCaption(std::string_view address, std::string_view location) {
  const std::size_t start = location.find_first_not_of(' ');
  if (start == std::string_view::npos) return std::string(address);
  const std::string_view rest = location.substr(start);
  return std::string(address) + " | " + std::string(rest.substr(0, rest.find(' ')));
}

}  // namespace lumvex
