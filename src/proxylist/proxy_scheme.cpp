#include "proxylist/proxy_scheme.h"

#include <array>
#include <utility>

#include "text/text_util.h"

namespace lumvex {
namespace {

struct SchemeName {
  ProxyScheme scheme;
  std::string_view prefix;
  std::string_view type_text;
};

constexpr std::array<SchemeName, 5> kSchemes = {{
    {ProxyScheme::kHttp, "http://", ""},
    {ProxyScheme::kSocks4, "socks4://", "SOCKS4"},
    {ProxyScheme::kSocks4a, "socks4a://", "SOCKS4"},
    {ProxyScheme::kSocks5, "socks5://", "SOCKS5"},
    {ProxyScheme::kSocks5h, "socks5h://", "SOCKS5"},
}};

const SchemeName& NameOf(ProxyScheme scheme) {
  for (const SchemeName& name : kSchemes) {
    if (name.scheme == scheme) return name;
  }
  return kSchemes[0];
}

}  // namespace

std::optional<SchemePrefix> ReadSchemePrefix(std::string_view address) {
  // A scheme is a run of letters and digits right at the start; "://" anywhere later (in a
  // location text, say) is not one.
  const std::size_t separator =
      address.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
  if (separator == std::string_view::npos || separator == 0 ||
      address.substr(separator, 3) != "://") {
    return SchemePrefix{};
  }
  const std::string prefix = text::ToLowerAscii(address.substr(0, separator + 3));
  for (const SchemeName& name : kSchemes) {
    if (prefix == name.prefix) return SchemePrefix{name.scheme, prefix.size()};
  }
  return std::nullopt;
}

std::string_view SchemeAddressPrefix(ProxyScheme scheme) {
  return scheme == ProxyScheme::kHttp ? std::string_view() : NameOf(scheme).prefix;
}

std::string_view SchemeTypeText(ProxyScheme scheme) { return NameOf(scheme).type_text; }

}  // namespace lumvex
