#include "validate/check_protocol.h"

#include <array>

namespace lumvex {
namespace {

// Each protocol is a scheme of the scheme table, which also gives its name; an HTTP proxy is
// reached in two ways, the second through its CONNECT tunnel.
struct ProtocolWay {
  CheckProtocol protocol;
  ProxyScheme scheme;
  bool tunnel;
};

constexpr std::array<ProtocolWay, 4> kWays = {{
    {CheckProtocol::kHttp, ProxyScheme::kHttp, false},
    {CheckProtocol::kConnect, ProxyScheme::kHttp, true},
    {CheckProtocol::kSocks4, ProxyScheme::kSocks4, false},
    {CheckProtocol::kSocks5, ProxyScheme::kSocks5h, false},
}};

constexpr std::string_view kTunnelName = "connect";

const ProtocolWay& WayOf(CheckProtocol protocol) {
  for (const ProtocolWay& way : kWays) {
    if (way.protocol == protocol) return way;
  }
  return kWays[0];
}

}  // namespace

std::string_view CheckProtocolName(CheckProtocol protocol) {
  const ProtocolWay& way = WayOf(protocol);
  return way.tunnel ? kTunnelName : InfoOf(way.scheme).protocol_name;
}

std::optional<CheckProtocol> ParseCheckProtocol(std::string_view name) {
  for (const ProtocolWay& way : kWays) {
    if (CheckProtocolName(way.protocol) == name) return way.protocol;
  }
  return std::nullopt;
}

ProxyScheme CheckProtocolScheme(CheckProtocol protocol) { return WayOf(protocol).scheme; }

void ApplyCheckProtocol(http::FetchOptions& options, std::string_view proxy,
                        CheckProtocol protocol) {
  // The row's own scheme names what it was listed as, not what is being tried now. Only a
  // leading run of letters and digits is a scheme: "://" later on is part of a password.
  proxy.remove_prefix(SchemeLength(proxy));
  const ProtocolWay& way = WayOf(protocol);
  options.proxy = std::string(InfoOf(way.scheme).prefix) + std::string(proxy);
  options.proxy_tunnel = way.tunnel;
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
