// The system proxy of the running desktop: every store the desktop's programs read, switched
// together. On KDE that is kioslaverc and, where its schema is installed, GSettings; elsewhere
// GSettings alone.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sysproxy/system_proxy.h"

namespace lumvex {

class DesktopSystemProxy : public SystemProxy {
 public:
  // `stores` in order of priority: the first available one is the one read back.
  explicit DesktopSystemProxy(std::vector<std::unique_ptr<SystemProxy>> stores);

  // Some store is available.
  bool Available() const override;
  // Every available store; when one of them fails, all are switched off again, so the desktop
  // never points at a proxy the program reports as not set.
  using SystemProxy::Enable;
  bool Enable(const std::string& host, int port, ProxyKind kind,
              const text::ProxyLogin& login) override;
  bool EnableGateway(const std::string& host, int http_port, int socks_port) override;
  // Every available store (all are tried even when one fails).
  bool DisableRestoring(const AutomaticModes& before) override;
  // The modes of every available store together.
  AutomaticModes ModesToRestore(const AutomaticModes& kept) const override;
  SystemProxySetting Read() const override;
  // The available stores' names joined by "+", "" when there are none.
  std::string Name() const override;

 private:
  // Calls `enable` on every store there is; when one refuses, those that took it go back.
  bool EnableEach(const std::function<bool(SystemProxy&)>& enable);
  std::vector<std::unique_ptr<SystemProxy>> stores_;
};

// The stores of this session, as the environment names them: XDG_CURRENT_DESKTOP containing
// "KDE" adds kioslaverc (XDG_CONFIG_HOME / HOME), its reparse signal going to the session bus
// when one exists; GSettings follows GSETTINGS_BACKEND. `getenv` reads one variable.
std::unique_ptr<SystemProxy> MakeDesktopSystemProxy(
    const std::function<const char*(const char*)>& getenv);
// The same with the process environment.
std::unique_ptr<SystemProxy> MakeDesktopSystemProxy();

}  // namespace lumvex
