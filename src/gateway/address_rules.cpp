#include "gateway/address_rules.h"

#include <array>
#include <cstdint>

namespace lumvex::gateway {
namespace {

// An IPv4 address written as IPv6 (::ffff:a.b.c.d) is the IPv4 one: a dual-stack listener sees
// IPv4 clients so.
asio::ip::address Plain(const asio::ip::address& address) {
  if (address.is_v6() && address.to_v6().is_v4_mapped()) {
    return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
  }
  return address;
}

std::optional<asio::ip::address> AddressOf(std::string_view text) {
  ErrorCode error;
  const asio::ip::address address = asio::ip::make_address(std::string(text), error);
  if (error) return std::nullopt;
  return address;
}

std::optional<int> Number(std::string_view text, int most) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > most) return std::nullopt;
  return value;
}

// The first `bits` bits of `a` and `b` (bytes in network order) agree.
template <std::size_t N>
bool SamePrefix(const std::array<unsigned char, N>& a, const std::array<unsigned char, N>& b,
                int bits) {
  for (std::size_t i = 0; i < N && bits > 0; ++i, bits -= 8) {
    const unsigned mask = bits >= 8 ? 0xffu : (0xffu << (8 - bits)) & 0xffu;
    if ((a[i] & mask) != (b[i] & mask)) return false;
  }
  return true;
}

}  // namespace

std::optional<tcp::endpoint> ParseListenAddress(std::string_view text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string_view host = text.substr(0, colon);
  const std::optional<int> port = Number(text.substr(colon + 1), 65535);
  if (!port) return std::nullopt;
  const bool bracketed = host.size() > 2 && host.front() == '[' && host.back() == ']';
  if (bracketed) host = host.substr(1, host.size() - 2);
  const std::optional<asio::ip::address> address = AddressOf(host);
  // An IPv6 address needs its brackets; an IPv4 one has none.
  if (!address || address->is_v6() != bracketed) return std::nullopt;
  return tcp::endpoint(*address, static_cast<unsigned short>(*port));
}

bool IsLoopback(const asio::ip::address& address) { return Plain(address).is_loopback(); }

std::optional<AllowRange> ParseAllowRange(std::string_view text) {
  const std::size_t slash = text.find('/');
  const std::optional<asio::ip::address> address = AddressOf(text.substr(0, slash));
  if (!address) return std::nullopt;
  const int most = address->is_v4() ? 32 : 128;
  int bits = most;
  if (slash != std::string_view::npos) {
    const std::optional<int> given = Number(text.substr(slash + 1), most);
    if (!given) return std::nullopt;
    bits = *given;
  }
  return AllowRange{address->to_string(), bits};
}

std::optional<AllowList> AllowList::Of(const std::vector<AllowRange>& ranges,
                                       std::string* error) {
  AllowList list;
  for (const AllowRange& range : ranges) {
    const std::optional<asio::ip::address> address = AddressOf(range.address);
    if (!address || range.bits < 0 || range.bits > (address->is_v4() ? 32 : 128)) {
      if (error) *error = "not an address block: " + range.address + "/" + std::to_string(range.bits);
      return std::nullopt;
    }
    list.ranges_.push_back({Plain(*address), range.bits});
  }
  return list;
}

bool AllowList::Allows(const asio::ip::address& client) const {
  const asio::ip::address plain = Plain(client);
  if (ranges_.empty()) return plain.is_loopback();
  for (const Range& range : ranges_) {
    if (range.network.is_v4() && plain.is_v4() &&
        SamePrefix(range.network.to_v4().to_bytes(), plain.to_v4().to_bytes(), range.bits)) {
      return true;
    }
    if (range.network.is_v6() && plain.is_v6() &&
        SamePrefix(range.network.to_v6().to_bytes(), plain.to_v6().to_bytes(), range.bits)) {
      return true;
    }
  }
  return false;
}

}  // namespace lumvex::gateway
