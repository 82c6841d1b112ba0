// What every connection of one gateway shares. Its counters are the io thread's alone.
#pragma once

#include "gateway/address_rules.h"
#include "gateway/gateway.h"
#include "gateway/relay.h"
#include "gateway/upstream_pool.h"

namespace lumvex::gateway {

struct GatewayCore {
  GatewayCore(GatewayOptions gateway_options, GatewayEvents gateway_events)
      : options(std::move(gateway_options)),
        events(std::move(gateway_events)),
        pool(options.rotation) {}

  const GatewayOptions options;
  const GatewayEvents events;
  AllowList allow;  // set before the io thread starts
  UpstreamPool pool;
  BufferPool buffers;
  int open_connections = 0;
};

// One open client connection counted in GatewayCore::open_connections until it is closed.
class ConnectionSlot {
 public:
  explicit ConnectionSlot(GatewayCore& core) : core_(&core) { ++core.open_connections; }
  ~ConnectionSlot() {
    if (core_ != nullptr) --core_->open_connections;
  }
  ConnectionSlot(const ConnectionSlot&) = delete;
  ConnectionSlot& operator=(const ConnectionSlot&) = delete;
  // The count is handed to whatever outlives this slot (a relay): it calls the result.
  std::function<void()> HandOver() {
    GatewayCore* core = std::exchange(core_, nullptr);
    return [core] { --core->open_connections; };
  }

 private:
  GatewayCore* core_;
};

}  // namespace lumvex::gateway
