// The local gateway: an HTTP proxy (absolute-form requests and CONNECT tunnels) and a SOCKS5
// proxy on local ports, relaying every client connection through one upstream proxy chosen from
// the checked working rows, and moving on to the next upstream when one fails before the reply
// has begun. It has no Qt and runs on threads of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumvex::gateway {

// How an upstream is chosen for a client connection.
enum class Rotation {
  kBest,    // the highest score
  kEach,    // a new upstream per connection, in score order
  kSticky,  // the same upstream per destination host for a few minutes, then the best
};

// An address block clients may come from: "127.0.0.1/32", "10.0.0.0/8", "::1/128".
struct AllowRange {
  std::string address;  // the network's address, as text
  int bits = 0;
};

struct GatewayOptions {
  // "127.0.0.1:8080", "[::1]:8080"; port 0 takes any free port. An empty text: no such listener.
  std::string http_listen;
  std::string socks_listen;
  // The clients allowed: with no ranges, loopback ones only (127.0.0.0/8, ::1); with ranges, only
  // those in a range. A listen address that is not loopback needs at least one range (Start
  // refuses otherwise). A client not allowed is disconnected at once.
  std::vector<AllowRange> allow;
  Rotation rotation = Rotation::kSticky;
  // Bounds: open client connections; seconds for an upstream to connect and finish its handshake,
  // and again for the first byte of its reply to a forwarded request (the client's time for all
  // the upstreams tried together is `client_seconds`); seconds a relayed connection may stay
  // silent both ways.
  int max_connections = 10000;
  double upstream_seconds = 5;
  double client_seconds = 30;
  double idle_seconds = 300;
  // Seconds a client has to send its request head (HTTP) or its greeting and request (SOCKS5).
  double head_seconds = 10;
};

// One checked working row: its address text as the list keeps it
// ("[scheme://][user:password@]host:port"), whether it was seen to tunnel (CONNECT), and its score
// (higher is better).
struct Upstream {
  std::string address;
  bool tunnels = false;
  double score = 0;
};

// Why an upstream was left.
enum class UpstreamFailure {
  kRefused,          // the connection to it was refused
  kTimeout,          // it did not connect or finish its handshake in time
  kHandshakeFailed,  // it refused or botched its SOCKS or CONNECT handshake
  kProxySaid,        // it answered with its own 403, 407 or 5xx before relaying
};

struct GatewayEvents {
  // The upstream `address` failed a client's connection and is marked down; the gateway no longer
  // chooses it until MarkUp. `http_status` for kProxySaid. (A 5xx of its own, which says it could
  // not reach the site, only sends the connection on to the next upstream: the site may be what
  // is down.)
  std::function<void(const std::string& address, UpstreamFailure failure, int http_status)> down;
  // A client connection went through `address`: whether bytes of a reply came back, and the
  // seconds from the client's request to the upstream's first reply byte (or to the failure).
  std::function<void(const std::string& address, bool ok, double seconds)> used;
};

class Gateway {
 public:
  // Events are called on the gateway's own threads; they must be quick and must not wait for the
  // thread that calls Stop.
  Gateway(GatewayOptions options, GatewayEvents events);
  ~Gateway();  // Stop()
  Gateway(const Gateway&) = delete;
  Gateway& operator=(const Gateway&) = delete;

  // Binds the listeners and starts relaying; an error text ("address in use", "a listen address
  // that is not loopback needs --allow") when it could not, and then nothing listens.
  std::optional<std::string> Start();
  // The ports bound (0 for a listener not asked for).
  int HttpPort() const;
  int SocksPort() const;

  // Replaces the upstreams; a connection under way keeps the one it has. An address that was
  // down stays down. Any thread.
  void SetUpstreams(std::vector<Upstream> upstreams);
  // Adds one upstream, or updates the score and tunnel flag of one it has. Any thread.
  void AddUpstream(const Upstream& upstream);
  // An upstream marked down passed a check again and may be chosen. Any thread.
  void MarkUp(const std::string& address);
  // Upstreams it would choose now (not down).
  std::size_t WorkingCount() const;

  // Closes the listeners and every connection, and waits for its threads. Any thread but its own.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace lumvex::gateway
