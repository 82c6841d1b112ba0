// The bounds that make the judge safe to leave running on a public address.
#pragma once

#include <chrono>
#include <cstddef>

namespace lumvex::judge {

struct JudgeLimits {
  // The judge's clients are proxies, and many proxies share one exit address (a provider's
  // gateway with a port per proxy, a host running many): checking 1,000 of them at once is
  // 1,000 requests at once from one address, and every one must be answered. The per-client
  // bounds are set for that; they still keep one address to a quarter of the connections, so a
  // flood from one address cannot lock the others out.
  //
  // Connections open at once. A connection past it pushes out the oldest one that is still
  // sending its head or was answered already; when every one is taking its answer, the new one
  // is refused (503).
  int max_connections = 4096;
  // Connections open at once from one client (an IPv4 address, an IPv6 /64); past it, 503.
  int max_per_client = 1024;
  // Requests a second per client, in bursts of as many; past it the answer is 429.
  double rate = 1000;
  // Time to send the whole request head (from the connection's start), and the longest pause
  // while the answer is taken; past it the connection ends.
  std::chrono::milliseconds head_timeout{10000};
  // Longest request head, through its empty line; a longer one gets 431.
  std::size_t max_head = 16 * 1024;
  // Bytes read and thrown away after the answer (a body nobody asked for), so that closing does
  // not reset the connection before the client read the answer.
  std::size_t max_drain = 64 * 1024;
  // Clients remembered for the rate and per-client caps.
  std::size_t max_clients = 4096;
};

}  // namespace lumvex::judge
