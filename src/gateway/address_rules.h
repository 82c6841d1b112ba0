// Where the gateway may listen and whom it serves: listen addresses, loopback, the allow list.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/asio.h"
#include "gateway/gateway.h"

namespace lumvex::gateway {

// "A.B.C.D:PORT" or "[IPV6]:PORT", the port 0 to 65535 (0: any free one); nullopt otherwise.
std::optional<tcp::endpoint> ParseListenAddress(std::string_view text);

// 127.0.0.0/8 or ::1 (an IPv4 address written as IPv6, ::ffff:127.x.x.x, too).
bool IsLoopback(const asio::ip::address& address);

// "ADDRESS/BITS" or a lone address (all its bits); nullopt for anything else, or bits beyond
// the address's 32 or 128.
std::optional<AllowRange> ParseAllowRange(std::string_view text);

// The clients a gateway serves.
class AllowList {
 public:
  // nullopt when a range is no address block; `error` then says which.
  static std::optional<AllowList> Of(const std::vector<AllowRange>& ranges, std::string* error);

  // With no ranges, loopback clients only; with ranges, those inside one of them.
  bool Allows(const asio::ip::address& client) const;
  bool Empty() const { return ranges_.empty(); }

 private:
  struct Range {
    asio::ip::address network;
    int bits = 0;
  };
  std::vector<Range> ranges_;
};

}  // namespace lumvex::gateway
