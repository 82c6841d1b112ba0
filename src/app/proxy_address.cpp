#include "app/proxy_address.h"

namespace lumvex {
namespace {

bool IsHostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

}  // namespace

std::optional<ProxyAddress> ParseProxyAddress(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || text.find(':', colon + 1) != std::string_view::npos) {
    return std::nullopt;
  }
  const std::string_view host = text.substr(0, colon);
  const std::string_view port = text.substr(colon + 1);
  if (host.empty() || host.size() > 253 || host.front() == '-' || host.front() == '.') {
    return std::nullopt;
  }
  for (char c : host) {
    if (!IsHostChar(c)) return std::nullopt;
  }
  if (port.empty() || port.size() > 5) return std::nullopt;
  int value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return ProxyAddress{std::string(host), value};
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
