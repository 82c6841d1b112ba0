// A proxy address, taken apart: "host:port" or "[IPv6]:port", the port 1 to 65535, perhaps
// behind a scheme ("socks5://host:port", "http://host:port") and with a login in front of the
// host ("user:password@host:port"). Rows keep the text as the list has it; this is what the code
// reads out of it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "net/proxy_scheme.h"
#include "text/proxy_host.h"

namespace lumvex {

struct ProxyAddress {
  ProxyScheme scheme = ProxyScheme::kHttp;
  std::string host;  // an IPv6 address without its brackets
  int port = 0;
  // Empty when the address has none.
  text::ProxyLogin login = {};

  // Any of the SOCKS schemes; otherwise an HTTP proxy.
  bool IsSocks() const { return scheme != ProxyScheme::kHttp; }
  // "host:port", with the brackets put back around an IPv6 address; neither scheme nor login.
  std::string HostPort() const;
  friend bool operator==(const ProxyAddress&, const ProxyAddress&) = default;
};

// The value of a port written as 1 to 5 decimal digits, nothing else, from 1 to 65535 ("080" is
// 80); nullopt otherwise.
std::optional<int> ParseProxyPort(std::string_view text);

// nullopt unless `text` is a host (text::IsProxyHost: an IPv4 address, a DNS name, an IPv6
// address in brackets), then one ':' and a decimal port from 1 to 65535, without spaces: ":" (an
// empty row), "1.2.3.4:", "a b:80", "::1:80", "-rf:80" and "1.2.3.4:65536" are refused. In front
// of the host may stand a login, "user:password@"; in front of that one of the five schemes, in
// any letter case ("http://" is what no scheme means). Leading letters before "://" that name no
// scheme are read as the start of a login.
std::optional<ProxyAddress> ParseProxyAddress(std::string_view text);

// `a` and `b` name the same proxy: the same scheme (none and "http://" being one), host and
// port, letter case aside ("SOCKS5://Host:80" and "socks5://host:80"; "1.2.3.4:080" and
// "1.2.3.4:80"). Harvests keep duplicate rows, and moving from one to another changes nothing.
// Text that is no address is the same only as the very same text.
bool SameProxyAddress(std::string_view a, std::string_view b);

}  // namespace lumvex
