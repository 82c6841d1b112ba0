// A proxy address as the system proxy takes it: "host:port" or "[IPv6]:port", the port 1 to 65535,
// perhaps behind a scheme ("socks5://host:port", "http://host:port") and with a login in front of
// the host ("user:password@host:port").
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "text/proxy_host.h"

namespace lumvex {

struct ProxyAddress {
  std::string host;  // an IPv6 address without its brackets
  int port = 0;
  // A SOCKS proxy (any of the SOCKS schemes); otherwise an HTTP proxy.
  bool socks = false;
  // Empty when the address has none.
  text::ProxyLogin login = {};

  // "host:port", with the brackets put back around an IPv6 address; "socks://" in front of a
  // SOCKS proxy's (the desktop keeps one SOCKS setting, whatever the version). The login is not
  // part of it.
  std::string Text() const;
  friend bool operator==(const ProxyAddress&, const ProxyAddress&) = default;
};

// nullopt unless `text` is a host (text::IsProxyHost: an IPv4 address, a DNS name, an IPv6
// address in brackets), then one ':' and a decimal port from 1 to 65535, without spaces: ":" (an
// empty row), "1.2.3.4:", "a b:80", "::1:80", "-rf:80" and "1.2.3.4:65536" are refused. In front
// of the host may stand a login, "user:password@"; in front of that a scheme, in any letter
// case: "http://" (what no scheme means) or a SOCKS row's "socks4://", "socks4a://", "socks5://"
// or "socks5h://".
std::optional<ProxyAddress> ParseProxyAddress(std::string_view text);

// `a` and `b` name the same proxy: the same scheme (none, "socks4://", ...), host and port,
// letter case aside ("SOCKS5://Host:80" and "socks5://host:80"; "1.2.3.4:080" and "1.2.3.4:80").
// Harvests keep duplicate rows, and moving from one to another changes nothing. Text that is no
// address is the same only as the very same text.
bool SameProxyAddress(std::string_view a, std::string_view b);

// The address part of a saved-proxy caption: the text before the first " | " (all of it when
// there is none).
std::string CaptionAddress(std::string_view caption);

// The saved-proxy caption of an address taken from a row: the address, then " | " and the first
// word of the location when the location holds anything but spaces.
std::string IeProxyCaption(std::string_view address, std::string_view location);

}  // namespace lumvex
