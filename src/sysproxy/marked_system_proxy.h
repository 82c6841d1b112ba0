// A system proxy store that keeps the "proxy on" marker in step with what it writes: the marker
// goes in place before the proxy is switched on and goes away once the store reads back off. It
// also puts back the automatic configuration the proxy replaced (ModeRestoringSystemProxy).
// The window and `lumvexip proxy guard` use it; `lumvexip proxy set` does not (a proxy set from
// the command line is the user's deliberate choice and must survive the next start).
#pragma once

#include <memory>
#include <string>

#include "sysproxy/forwarding_system_proxy.h"
#include "sysproxy/proxy_on_marker.h"

namespace lumvex {

class MarkedSystemProxy : public ForwardingSystemProxy {
 public:
  MarkedSystemProxy(std::shared_ptr<SystemProxy> store, ProxyOnMarker marker);

  using SystemProxy::Enable;
  bool Enable(const std::string& host, int port, ProxyKind kind,
              const text::ProxyLogin& login) override;
  bool EnableGateway(const std::string& host, int http_port, int socks_port) override;
  bool DisableRestoring(const AutomaticModes& before) override;

  const ProxyOnMarker& Marker() const { return marker_; }

 private:
  ProxyOnMarker marker_;
};

}  // namespace lumvex
