#include "sysproxy/desktop_system_proxy.h"

#include <cstdlib>
#include <string_view>
#include <utility>

#include "sysproxy/gsettings_proxy.h"
#include "sysproxy/kde_proxy.h"
#include "sysproxy/kde_reparse_signal.h"

namespace lumvex {

DesktopSystemProxy::DesktopSystemProxy(std::vector<std::unique_ptr<SystemProxy>> stores)
    : stores_(std::move(stores)) {}

bool DesktopSystemProxy::Available() const {
  for (const auto& store : stores_) {
    if (store->Available()) return true;
  }
  return false;
}

bool DesktopSystemProxy::EnableEach(const std::function<bool(SystemProxy&)>& enable) {
  // Taken first: a store that took the proxy before another refused goes back to its own mode.
  const AutomaticModes before = ModesToRestore({});
  bool all = Available();
  for (const auto& store : stores_) {
    if (store->Available() && !enable(*store)) all = false;
  }
  if (!all) DisableRestoring(before);
  return all;
}

bool DesktopSystemProxy::Enable(const std::string& host, int port, ProxyKind kind,
                                const text::ProxyLogin& login) {
  return EnableEach([&](SystemProxy& store) { return store.Enable(host, port, kind, login); });
}

bool DesktopSystemProxy::EnableGateway(const std::string& host, int http_port, int socks_port) {
  return EnableEach(
      [&](SystemProxy& store) { return store.EnableGateway(host, http_port, socks_port); });
}

bool DesktopSystemProxy::DisableRestoring(const AutomaticModes& before) {
  bool all = Available();
  for (const auto& store : stores_) {
    if (store->Available() && !store->DisableRestoring(before)) all = false;
  }
  return all;
}

AutomaticModes DesktopSystemProxy::ModesToRestore(const AutomaticModes& kept) const {
  AutomaticModes modes;
  for (const auto& store : stores_) {
    if (store->Available()) modes.merge(store->ModesToRestore(kept));
  }
  return modes;
}

SystemProxySetting DesktopSystemProxy::Read() const {
  for (const auto& store : stores_) {
    if (store->Available()) return store->Read();
  }
  return {};
}

std::string DesktopSystemProxy::Name() const {
  std::string names;
  for (const auto& store : stores_) {
    if (!store->Available()) continue;
    if (!names.empty()) names += "+";
    names += store->Name();
  }
  return names;
}

std::unique_ptr<SystemProxy> MakeDesktopSystemProxy(
    const std::function<const char*(const char*)>& getenv) {
  std::vector<std::unique_ptr<SystemProxy>> stores;
  const char* desktop = getenv("XDG_CURRENT_DESKTOP");
  if (desktop != nullptr && std::string_view(desktop).find("KDE") != std::string_view::npos) {
    KdeProxyOptions kde;
    kde.config_path = KioslavercPath(getenv);
    kde.notify = [] { SendKioReparseSignal(SessionBusAddress()); };
    stores.push_back(std::make_unique<KdeProxy>(std::move(kde)));
  }
  stores.push_back(std::make_unique<GSettingsProxy>());
  return std::make_unique<DesktopSystemProxy>(std::move(stores));
}

std::unique_ptr<SystemProxy> MakeDesktopSystemProxy() {
  return MakeDesktopSystemProxy([](const char* name) -> const char* { return std::getenv(name); });
}

}  // namespace lumvex
