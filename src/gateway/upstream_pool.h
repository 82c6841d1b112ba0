// The upstreams a gateway may relay through, which are down, and the order in which a client
// connection tries them (the rotation). Any thread: every call takes the pool's lock.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "gateway/gateway.h"
#include "net/proxy_address.h"

namespace lumvex::gateway {

struct Candidate {
  std::string address;  // as the upstream was given: the key of events and MarkUp
  ProxyAddress proxy;
  bool tunnels = false;  // seen to tunnel (Upstream::tunnels)
};

class UpstreamPool {
 public:
  using Clock = std::chrono::steady_clock;
  // How long a destination host keeps its upstream under kSticky.
  static constexpr std::chrono::minutes kStickyFor{5};

  explicit UpstreamPool(Rotation rotation) : rotation_(rotation) {}

  // An address that is no proxy address is left out.
  void Set(const std::vector<Upstream>& upstreams);
  void Add(const Upstream& upstream);
  void MarkUp(const std::string& address);
  // True when it was up until now.
  bool MarkDown(const std::string& address);
  // An HTTP upstream not known to tunnel refused a CONNECT: it is no longer tried for tunnels,
  // but still for plain requests.
  void MarkNoTunnel(const std::string& address);
  std::size_t WorkingCount() const;

  // The upstreams to try, in order, for one client connection to `host`; `tunnel` when the
  // client wants a tunnel (CONNECT, SOCKS), where upstreams known to tunnel come first.
  std::vector<Candidate> Choose(const std::string& host, bool tunnel, Clock::time_point now);
  // A connection to `host` went through `address` (kSticky keeps it for the host).
  void Used(const std::string& host, const std::string& address, Clock::time_point now);

 private:
  struct Entry {
    Upstream upstream;
    ProxyAddress proxy;
    bool no_tunnel = false;
  };
  struct Sticky {
    std::string address;
    Clock::time_point until;
  };

  // With the lock held.
  Entry* Find(const std::string& address);
  bool Working(const Entry& entry) const { return down_.count(entry.upstream.address) == 0; }

  const Rotation rotation_;
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  std::set<std::string> down_;
  std::map<std::string, Sticky> sticky_;
  std::size_t turn_ = 0;
};

}  // namespace lumvex::gateway
