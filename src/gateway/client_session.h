// One client connection from its first byte to its end: what it asks for, the upstreams tried
// in turn until one carries it, and the relay.
#pragma once

#include "gateway/asio.h"
#include "gateway/gateway_core.h"

namespace lumvex::gateway {

// `socks`: the client came to the SOCKS5 listener. The connection is counted in `core` until
// it is closed.
Task<void> ServeClient(GatewayCore& core, tcp::socket client, bool socks);

}  // namespace lumvex::gateway
