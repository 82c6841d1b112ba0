// A store that wraps another and passes every call on to it: the base of the stores that add one
// thing around switching (the "proxy on" marker, the automatic mode put back), so each writes only
// the calls it changes.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "sysproxy/system_proxy.h"

namespace lumvex {

class ForwardingSystemProxy : public SystemProxy {
 public:
  explicit ForwardingSystemProxy(std::shared_ptr<SystemProxy> store) : store_(std::move(store)) {}

  bool Available() const override { return store_->Available(); }
  using SystemProxy::Enable;
  bool Enable(const std::string& host, int port, ProxyKind kind,
              const text::ProxyLogin& login) override {
    return store_->Enable(host, port, kind, login);
  }
  bool EnableGateway(const std::string& host, int http_port, int socks_port) override {
    return store_->EnableGateway(host, http_port, socks_port);
  }
  bool DisableRestoring(const AutomaticModes& before) override {
    return store_->DisableRestoring(before);
  }
  AutomaticModes ModesToRestore(const AutomaticModes& kept) const override {
    return store_->ModesToRestore(kept);
  }
  SystemProxySetting Read() const override { return store_->Read(); }
  std::string Name() const override { return store_->Name(); }

 protected:
  const std::shared_ptr<SystemProxy> store_;
};

}  // namespace lumvex
