// The proxies a command has met already, so that each is checked and printed once however often
// a list repeats it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "proxylist/proxy_entry.h"

namespace lumvex {

// Rows are the same proxy when their "address:port" is, letters in any case (a SOCKS scheme in
// front of the address is part of it: "socks5://1.2.3.4:1080" is another proxy than
// "1.2.3.4:1080"). Memory grows with the distinct proxies met: an IPv4 address with its port is
// kept in 8 bytes, any other as its text.
class SeenAddresses {
 public:
  // True the first time the proxy of `row` is met, false after.
  bool FirstTime(const ProxyEntry& row);

  std::size_t size() const { return ipv4_.size() + others_.size(); }

 private:
  std::unordered_set<std::uint64_t> ipv4_;
  std::unordered_set<std::string> others_;
};

}  // namespace lumvex
