#include "net/proxy_address.h"

#include <utility>

#include "text/text_util.h"

namespace lumvex {

std::string ProxyAddress::HostPort() const {
  const std::string port_text = ":" + std::to_string(port);
  return host.find(':') == std::string::npos ? host + port_text : "[" + host + "]" + port_text;
}

std::optional<int> ParseProxyPort(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return value;
}

std::optional<ProxyAddress> ParseProxyAddress(std::string_view input) {
  // A scheme this program does not know is not taken off: "x://pw@host:80" is the login "x" with
  // the password "//pw", as a user may have meant it.
  const SchemePrefix scheme = ReadSchemePrefix(input).value_or(SchemePrefix{});
  input.remove_prefix(scheme.length);
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
  const std::optional<int> value = ParseProxyPort(port);
  if (!value) return std::nullopt;
  return ProxyAddress{scheme.scheme, std::string(host), *value, std::move(login)};
}

bool SameProxyAddress(std::string_view a, std::string_view b) {
  if (a == b) return true;
  const std::optional<ProxyAddress> first = ParseProxyAddress(a);
  const std::optional<ProxyAddress> second = ParseProxyAddress(b);
  if (!first || !second) return false;
  return first->scheme == second->scheme && first->port == second->port &&
         text::ToLowerAscii(first->host) == text::ToLowerAscii(second->host);
}

}  // namespace lumvex
