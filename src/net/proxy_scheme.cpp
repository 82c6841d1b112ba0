#include "net/proxy_scheme.h"

#include <array>

#include "text/text_util.h"

namespace lumvex {
namespace {

// SOCKS4 in its first form resolves the name here; 4a and 5h hand the name to the proxy, as an
// HTTP proxy is handed the whole URL. `check --protocol socks5` lets the proxy resolve, as an
// HTTP proxy does; `socks4` asks in the first form, which every SOCKS4 server speaks (Dante, for
// one, refuses the 4a extension).
constexpr std::array<SchemeInfo, 5> kSchemes = {{
    {ProxyScheme::kHttp, "http://", "", CurlProxyType::kHttp, DesktopProxyKind::kHttp, "http",
     false},
    {ProxyScheme::kSocks4, "socks4://", "SOCKS4", CurlProxyType::kSocks4, DesktopProxyKind::kSocks,
     "socks4", true},
    {ProxyScheme::kSocks4a, "socks4a://", "SOCKS4", CurlProxyType::kSocks4a,
     DesktopProxyKind::kSocks, "", false},
    {ProxyScheme::kSocks5, "socks5://", "SOCKS5", CurlProxyType::kSocks5, DesktopProxyKind::kSocks,
     "", true},
    {ProxyScheme::kSocks5h, "socks5h://", "SOCKS5", CurlProxyType::kSocks5Hostname,
     DesktopProxyKind::kSocks, "socks5", false},
}};

}  // namespace

const SchemeInfo& InfoOf(ProxyScheme scheme) {
  for (const SchemeInfo& info : kSchemes) {
    if (info.scheme == scheme) return info;
  }
  return kSchemes[0];
}

std::size_t SchemeLength(std::string_view text) {
  const std::size_t separator =
      text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
  if (separator == std::string_view::npos || text.substr(separator, 3) != "://") return 0;
  return separator + 3;
}

std::optional<SchemePrefix> ReadSchemePrefix(std::string_view address) {
  const std::size_t length = SchemeLength(address);
  // "://" with nothing in front names no scheme.
  if (length <= 3) return SchemePrefix{};
  for (const SchemeInfo& info : kSchemes) {
    if (info.prefix.size() == length && text::StartsWith(address, info.prefix, true)) {
      return SchemePrefix{info.scheme, length};
    }
  }
  return std::nullopt;
}

std::string_view SchemeAddressPrefix(ProxyScheme scheme) {
  return scheme == ProxyScheme::kHttp ? std::string_view() : InfoOf(scheme).prefix;
}

std::string_view SchemeTypeText(ProxyScheme scheme) { return InfoOf(scheme).type_text; }

}  // namespace lumvex
