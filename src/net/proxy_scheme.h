// The protocols a proxy can speak, and everything each one means to the parts of the program:
// the scheme a row writes in front of its address ("socks5://1.2.3.4:1080", none meaning an HTTP
// proxy), the type column's text, the proxy type the HTTP library is given, the kind of proxy the
// desktop is set to, and the name `lumvexip check --protocol` takes. One table holds them all.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace lumvex {

enum class ProxyScheme { kHttp, kSocks4, kSocks4a, kSocks5, kSocks5h };

// libcurl's proxy type numbers (curl_proxytype), so that this header needs no curl.h; the HTTP
// library checks them against its own.
enum class CurlProxyType : long {
  kHttp = 0,
  kSocks4 = 4,
  kSocks5 = 5,
  kSocks4a = 6,
  kSocks5Hostname = 7,
};

// The desktop keeps one HTTP and one SOCKS setting, whatever the SOCKS version.
enum class DesktopProxyKind { kHttp, kSocks };

struct SchemeInfo {
  ProxyScheme scheme;
  std::string_view prefix;  // "socks5://", in small letters
  // The type column of a row until it is checked: "SOCKS4" or "SOCKS5"; empty for HTTP (an HTTP
  // row shows its source's type text).
  std::string_view type_text;
  CurlProxyType curl_type;
  DesktopProxyKind desktop_kind;
  // The `--protocol` name that reaches a proxy this way; empty when none does.
  std::string_view protocol_name;
  // The HTTP library looks the site's name up itself before it asks the proxy (SOCKS4, SOCKS5
  // without the "h"): a thread and a socket pair of its own on top of the connection.
  bool resolves_here;
};

const SchemeInfo& InfoOf(ProxyScheme scheme);

// Bytes of the scheme at the start of `text`, "://" included: a run of letters and digits (none
// at all counts) right at the start, then "://". 0 when there is none; "://" further on (in a
// password, a location text) is not one. The scheme may be one this program does not know.
std::size_t SchemeLength(std::string_view text);

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

// InfoOf(scheme).type_text.
std::string_view SchemeTypeText(ProxyScheme scheme);

}  // namespace lumvex
