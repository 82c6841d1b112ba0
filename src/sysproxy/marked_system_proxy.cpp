#include "sysproxy/marked_system_proxy.h"

#include <utility>

#include "sysproxy/mode_restoring_system_proxy.h"

namespace lumvex {

MarkedSystemProxy::MarkedSystemProxy(std::shared_ptr<SystemProxy> store, ProxyOnMarker marker)
    : ForwardingSystemProxy(
          std::make_shared<ModeRestoringSystemProxy>(std::move(store), marker.DataDirectory())),
      marker_(std::move(marker)) {}

bool MarkedSystemProxy::Enable(const std::string& host, int port, ProxyKind kind,
                               const text::ProxyLogin& login) {
  // First the marker: a crash right after the switch must still find it at the next start. A
  // marker that cannot be written does not stop the switch; the proxy is then only as safe as
  // it was without one.
  marker_.Set();
  return store_->Enable(host, port, kind, login);
}

bool MarkedSystemProxy::EnableGateway(const std::string& host, int http_port, int socks_port) {
  marker_.Set();
  return store_->EnableGateway(host, http_port, socks_port);
}

bool MarkedSystemProxy::DisableRestoring(const AutomaticModes& before) {
  const bool off = store_->DisableRestoring(before);
  // Kept while the store may still be on, so the next start tries again.
  if (off || !store_->Read().enabled) marker_.Clear();
  return off;
}

}  // namespace lumvex
