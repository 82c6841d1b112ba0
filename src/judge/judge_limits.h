// The bounds that make the judge safe to leave running on a public address.
#pragma once

#include <chrono>
#include <cstddef>

namespace lumvex::judge {

struct JudgeLimits {
  // Connections open at once. A connection past it pushes out the oldest one that is still
  // sending its head or was answered already; when every one is taking its answer, the new one
  // is accepted and closed at once.
  int max_connections = 512;
  // Connections open at once from one client (an IPv4 address, an IPv6 /64).
  int max_per_client = 32;
  // Requests a second per client, in bursts of as many; past it the answer is 429.
  double rate = 20;
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
