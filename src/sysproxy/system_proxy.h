// The per-user system proxy that desktop programs (browsers, GTK and KDE programs) follow: one
// proxy address, an HTTP proxy's (for http, and for https when it tunnels) or a SOCKS proxy's (for
// every connection), switched on or off. Back ends live beside it in sysproxy/.
#pragma once

#include <map>
#include <string>

#include "text/proxy_host.h"

namespace lumvex {

// The automatic configurations a switch-off puts back, by store name (SystemProxy::Name): the mode
// a store held before the program put its manual proxy in, when that mode was automatic
// (GSettings "auto": a PAC address or WPAD; KDE ProxyType "2" PAC, "3" WPAD, "4" the environment).
using AutomaticModes = std::map<std::string, std::string>;

// How desktop programs are to reach the proxy being switched on.
enum class ProxyKind {
  kHttp,        // an HTTP proxy, for http only: https stays direct
  kHttpTunnel,  // an HTTP proxy seen to tunnel (CONNECT): for http and https
  kSocks,       // a SOCKS proxy, for every connection
};

// What the store holds: whether the proxy is on, and the address kept for it (also while off).
struct SystemProxySetting {
  bool enabled = false;
  std::string host;
  int port = 0;
  // The address is the SOCKS proxy's; otherwise the HTTP proxy's.
  bool socks = false;

  friend bool operator==(const SystemProxySetting&, const SystemProxySetting&) = default;
};

// Calls come from one thread at a time (the UI thread, or the thread of a headless subcommand).
class SystemProxy {
 public:
  virtual ~SystemProxy() = default;

  // Whether there is a store to write at all (the schema is installed, the desktop is KDE).
  virtual bool Available() const = 0;
  // Writes host and port for the uses `kind` names and clears the other proxy addresses (an
  // address left there would still draw that traffic), then switches the proxy on. An HTTP
  // proxy's `login` is written with it (an empty one clears the last), so programs that follow
  // the setting can log in; a store that cannot keep a SOCKS proxy's login refuses it. True only
  // when the store reads back exactly that afterwards; a write that was lost is a failure.
  virtual bool Enable(const std::string& host, int port, ProxyKind kind,
                      const text::ProxyLogin& login) = 0;
  // The same for a proxy without a login. A store that overrides Enable brings this one back
  // into view with `using SystemProxy::Enable`.
  bool Enable(const std::string& host, int port, ProxyKind kind) {
    return Enable(host, port, kind, text::ProxyLogin{});
  }
  // The local gateway on `host`: http and https go to its HTTP port, every other connection to
  // its SOCKS port; no login. True only when the store reads back exactly that afterwards. A
  // store that cannot tell the uses apart refuses it.
  virtual bool EnableGateway(const std::string& /*host*/, int /*http_port*/, int /*socks_port*/) {
    return false;
  }
  // Switches a manual proxy off and leaves the address as it is; an automatic configuration or no
  // proxy is left untouched. True when no store is on a manual proxy afterwards.
  virtual bool Disable() { return DisableRestoring({}); }
  // The same, but a store on a manual proxy that `before` names goes back to that mode, not off.
  virtual bool DisableRestoring(const AutomaticModes& before) = 0;
  // What a switch-off should put back after an Enable now: a store on a manual proxy keeps its
  // entry of `kept` (the mode it had before that proxy), any other store gives its own mode when
  // that is automatic.
  virtual AutomaticModes ModesToRestore(const AutomaticModes& kept) const = 0;
  // The store as it is now; off with an empty address when nothing is available.
  virtual SystemProxySetting Read() const = 0;
  // Short name of the store for messages ("GSettings", "KDE").
  virtual std::string Name() const = 0;
};

}  // namespace lumvex
