// Reaching a destination through one upstream proxy: connect to it and, for a tunnel, finish its
// CONNECT or SOCKS handshake, all within a time limit.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "gateway/asio.h"
#include "gateway/gateway.h"
#include "gateway/wire_format.h"
#include "net/proxy_address.h"

namespace lumvex::gateway {

struct DialResult {
  std::optional<tcp::socket> socket;  // set when it worked
  UpstreamFailure failure = UpstreamFailure::kHandshakeFailed;
  int http_status = 0;  // the upstream's own reply to a CONNECT, for kProxySaid
  // The handshake went right but the upstream could not reach the destination (a SOCKS reply
  // "host unreachable", "connection refused" and the like): the site may be to blame.
  bool site_unreachable = false;
  std::string early;    // bytes the upstream sent after its handshake, the client's first
};

// `tunnel`: the upstream is asked to tunnel to `destination` (HTTP CONNECT, or SOCKS); without
// it only the connection to an HTTP upstream is made, for a forwarded request.
Task<DialResult> DialUpstream(const ProxyAddress& proxy, const Destination& destination,
                              bool tunnel, std::chrono::steady_clock::duration limit);

}  // namespace lumvex::gateway
