// Switching a system proxy store on to an address or off, with the outcome told apart: the one
// write the window's proxy switch and `lumvexip proxy set|off` share.
#pragma once

#include <string_view>

#include "sysproxy/proxy_address.h"
#include "sysproxy/system_proxy.h"

namespace lumvex {

enum class ProxyApplyResult : int {
  kApplied = 0,  // the store holds the change
  kInvalid,      // the address is not [scheme://]host:port (nothing was written)
  kUnavailable,  // no store to write (no schema, not KDE)
  kFailed,       // the store refused the change or lost it
  kSocksLogin,   // a SOCKS proxy with a login: the desktop keeps none for SOCKS (nothing written)
};

// How the desktop is to use `address`: a SOCKS proxy for everything; an HTTP proxy for http, and
// for https too only when it `tunnels` (it has been seen to pass a CONNECT probe), so a proxy that
// cannot tunnel never breaks the user's https browsing.
ProxyKind KindOf(const ProxyAddress& address, bool tunnels);

// Whether the desktop can take `address` as its proxy: a SOCKS proxy's login has no place in its
// setting (GNOME keeps logins for http only), and the proxy set without it would refuse every
// connection, so such an address is refused instead.
bool DesktopCanTake(const ProxyAddress& address);

// Writes `store` only: enabled with `address` (used as KindOf says, with its login), or off keeping
// the address it holds (`address` is not used then). A refused switch-on leaves the store off.
ProxyApplyResult ApplyProxy(SystemProxy& store, std::string_view address, bool enable,
                            bool tunnels = false);

}  // namespace lumvex
