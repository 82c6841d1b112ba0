// The protocol an address line names for its proxy: a scheme in front of the address
// ("socks5://1.2.3.4:1080"), none meaning an HTTP proxy. A row keeps the scheme in its address
// column, so the list file keeps its six columns and every "address:port" built from a row is
// the proxy URL the HTTP library takes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lumvex {

enum class ProxyScheme { kHttp, kSocks4, kSocks4a, kSocks5, kSocks5h };

struct SchemePrefix {
  ProxyScheme scheme = ProxyScheme::kHttp;
  std::size_t length = 0;  // bytes of the prefix, "://" included; 0 when there is none
};

// The scheme at the start of `address` (any letter case). kHttp with length 0 when the text does
// not start with letters and digits followed by "://"; nullopt when it does but they name a
// scheme that is not one of the five.
std::optional<SchemePrefix> ReadSchemePrefix(std::string_view address);

// The prefix a row keeps in its address column: "" for kHttp, else "socks5://" and the like.
std::string_view SchemeAddressPrefix(ProxyScheme scheme);

// What the type column shows for a row of `scheme` until it is checked: "SOCKS4" or "SOCKS5";
// empty for kHttp (an HTTP row shows its source's type text).
std::string_view SchemeTypeText(ProxyScheme scheme);

}  // namespace lumvex
