#include "proxylist/seen_addresses.h"

#include <charconv>
#include <optional>
#include <string_view>

#include "text/text_util.h"

namespace lumvex {
namespace {

// A number from 0 to `most` written in decimal digits only.
std::optional<std::uint32_t> Decimal(std::string_view text, std::uint32_t most) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value > most) {
    return std::nullopt;
  }
  return value;
}

// "A.B.C.D" and the port packed into one number, or nullopt for anything else. Leading zeros
// are refused, so that "01.2.3.4" (another text, perhaps read otherwise) stays apart.
std::optional<std::uint64_t> PackedIpv4(std::string_view address, std::string_view port) {
  std::uint64_t packed = 0;
  for (int part = 0; part < 4; ++part) {
    const std::size_t dot = part < 3 ? address.find('.') : address.size();
    if (dot == std::string_view::npos) return std::nullopt;
    const std::string_view digits = address.substr(0, dot);
    if (digits.size() > 1 && digits[0] == '0') return std::nullopt;
    const std::optional<std::uint32_t> octet = Decimal(digits, 255);
    if (!octet) return std::nullopt;
    packed = packed << 8 | *octet;
    address.remove_prefix(part < 3 ? dot + 1 : dot);
  }
  if (port.size() > 1 && port[0] == '0') return std::nullopt;
  const std::optional<std::uint32_t> number = Decimal(port, 65535);
  if (!number) return std::nullopt;
  return packed << 16 | *number;
}

}  // namespace

bool SeenAddresses::FirstTime(const ProxyEntry& row) {
  const std::string& address = row.cells[kColAddress];
  const std::string& port = row.cells[kColPort];
  if (const std::optional<std::uint64_t> packed = PackedIpv4(address, port)) {
    return ipv4_.insert(*packed).second;
  }
  return others_.insert(text::ToLowerAscii(address + ':' + port)).second;
}

}  // namespace lumvex
