#include "validate/check_protocol.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace lumvex {
namespace {

struct ProtocolName {
  CheckProtocol protocol;
  std::string_view name;
  // What the HTTP library is given in front of host:port. SOCKS5 lets the proxy resolve the host
  // name, as an HTTP proxy does; SOCKS4 is asked in its first form, which every SOCKS4 server
  // speaks (Dante, for one, refuses the 4a extension), with the name resolved here.
  std::string_view proxy_prefix;
};

constexpr std::array<ProtocolName, 4> kNames = {{
    {CheckProtocol::kHttp, "http", "http://"},
    {CheckProtocol::kConnect, "connect", "http://"},
    {CheckProtocol::kSocks4, "socks4", "socks4://"},
    {CheckProtocol::kSocks5, "socks5", "socks5h://"},
}};

const ProtocolName& NameOf(CheckProtocol protocol) {
  for (const ProtocolName& name : kNames) {
    if (name.protocol == protocol) return name;
  }
  return kNames[0];
}

}  // namespace

std::string_view CheckProtocolName(CheckProtocol protocol) { return NameOf(protocol).name; }

std::optional<CheckProtocol> ParseCheckProtocol(std::string_view name) {
  for (const ProtocolName& entry : kNames) {
    if (entry.name == name) return entry.protocol;
  }
  return std::nullopt;
}

void ApplyCheckProtocol(http::FetchOptions& options, std::string_view proxy,
                        CheckProtocol protocol) {
  // The row's own scheme names what it was listed as, not what is being tried now. Only a
  // leading run of letters and digits is a scheme: "://" later on is part of a password.
  if (const std::size_t separator = proxy.find("://");
      separator != std::string_view::npos &&
      std::all_of(proxy.begin(), proxy.begin() + static_cast<std::ptrdiff_t>(separator),
                  [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; })) {
    proxy.remove_prefix(separator + 3);
  }
  options.proxy = std::string(NameOf(protocol).proxy_prefix) + std::string(proxy);
  options.proxy_tunnel = protocol == CheckProtocol::kConnect;
}

std::string CheckProtocolList(const std::vector<CheckProtocol>& protocols) {
  if (protocols.empty()) return "-";
  std::string list;
  for (const CheckProtocol protocol : protocols) {
    if (!list.empty()) list += ',';
    list += CheckProtocolName(protocol);
  }
  return list;
}

}  // namespace lumvex
