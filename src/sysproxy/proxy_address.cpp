#include "sysproxy/proxy_address.h"

#include <arpa/inet.h>

#include <array>

namespace lumvex {
namespace {

bool IsHostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

bool IsHostName(std::string_view host) {
  if (host.empty() || host.size() > 253 || host.front() == '-' || host.front() == '.') return false;
  for (char c : host) {
    if (!IsHostChar(c)) return false;
  }
  return true;
}

bool IsIpv6Address(std::string_view host) {
  // inet_pton refuses zone suffixes ("%eth0"), which no desktop proxy setting can carry anyway.
  if (host.empty() || host.size() >= INET6_ADDRSTRLEN) return false;
  in6_addr parsed;
  return inet_pton(AF_INET6, std::string(host).c_str(), &parsed) == 1;
}

// The schemes of a list row's address; the desktop has one SOCKS setting for all four.
constexpr std::array<std::string_view, 4> kSocksSchemes = {"socks4://", "socks4a://", "socks5://",
                                                           "socks5h://"};

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

std::optional<ProxyAddress> ParseProxyAddress(std::string_view text) {
  // An HTTP row keeps no scheme in its address.
  const std::string_view scheme = SchemeOf(text);
  const bool socks = !scheme.empty();
  text.remove_prefix(scheme.size());
  std::string_view host;
  std::string_view port;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find("]:");
    if (close == std::string_view::npos) return std::nullopt;
    host = text.substr(1, close - 1);
    port = text.substr(close + 2);
    if (!IsIpv6Address(host)) return std::nullopt;
  } else {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || text.find(':', colon + 1) != std::string_view::npos) {
      return std::nullopt;
    }
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (!IsHostName(host)) return std::nullopt;
  }
  if (port.empty() || port.size() > 5) return std::nullopt;
  int value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return ProxyAddress{std::string(host), value, socks};
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
