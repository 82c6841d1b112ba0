// The system proxy's side of a proxy address (net/proxy_address.h): the text the desktop's
// setting is shown as, and the saved-proxy caption that carries a row's address.
#pragma once

#include <string>
#include <string_view>

#include "net/proxy_address.h"
#include "sysproxy/system_proxy.h"

namespace lumvex {

// The store's address as text: "host:port", with brackets around an IPv6 address, behind
// "socks://" for the SOCKS setting (the desktop keeps one, whatever the version).
std::string DesktopProxyText(const SystemProxySetting& setting);

// The address part of a saved-proxy caption: the text before the first " | " (all of it when
// there is none).
std::string CaptionAddress(std::string_view caption);

// The saved-proxy caption of an address taken from a row: the address, then " | " and the first
// word of the location when the location holds anything but spaces.
std::string IeProxyCaption(std::string_view address, std::string_view location);

}  // namespace lumvex
