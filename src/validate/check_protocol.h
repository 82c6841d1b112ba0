// The ways a check can reach a proxy when the caller chooses one instead of the row's own scheme
// (`lumvexip check --protocol`): the discovery of which protocols an address speaks tries each.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "http/fetch_request.h"
#include "net/proxy_scheme.h"

namespace lumvex {

enum class CheckProtocol {
  kHttp,     // the request handed to an HTTP proxy (absolute form)
  kConnect,  // the request sent through an HTTP proxy's CONNECT tunnel
  kSocks4,
  kSocks5,
};

// Every protocol, in the order discovery tries and reports them.
inline constexpr CheckProtocol kAllCheckProtocols[] = {
    CheckProtocol::kHttp, CheckProtocol::kConnect, CheckProtocol::kSocks4, CheckProtocol::kSocks5};

// "http", "connect", "socks4", "socks5".
std::string_view CheckProtocolName(CheckProtocol protocol);
std::optional<CheckProtocol> ParseCheckProtocol(std::string_view name);

// The scheme the HTTP library is given to reach a proxy by `protocol`.
ProxyScheme CheckProtocolScheme(CheckProtocol protocol);

// `options` set to reach `proxy` ("host:port", a scheme in front ignored) by `protocol`.
void ApplyCheckProtocol(http::FetchOptions& options, std::string_view proxy,
                        CheckProtocol protocol);

// The names of `protocols` joined by ",", or "-" when there are none.
std::string CheckProtocolList(const std::vector<CheckProtocol>& protocols);

}  // namespace lumvex
