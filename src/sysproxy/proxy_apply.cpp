#include "sysproxy/proxy_apply.h"

#include <optional>

#include "sysproxy/proxy_address.h"

namespace lumvex {

namespace {

bool DesktopSocks(const ProxyAddress& address) {
  return InfoOf(address.scheme).desktop_kind == DesktopProxyKind::kSocks;
}

}  // namespace

ProxyKind KindOf(const ProxyAddress& address, bool tunnels) {
  if (DesktopSocks(address)) return ProxyKind::kSocks;
  return tunnels ? ProxyKind::kHttpTunnel : ProxyKind::kHttp;
}

bool DesktopCanTake(const ProxyAddress& address) {
  return !DesktopSocks(address) || address.login.Empty();
}

ProxyApplyResult ApplyProxy(SystemProxy& store, std::string_view address, bool enable,
                            bool tunnels) {
  std::optional<ProxyAddress> parsed;
  if (enable) {
    parsed = ParseProxyAddress(address);
    if (!parsed) return ProxyApplyResult::kInvalid;
    if (!DesktopCanTake(*parsed)) return ProxyApplyResult::kSocksLogin;
  }
  if (!store.Available()) return ProxyApplyResult::kUnavailable;
  if (!enable) return store.Disable() ? ProxyApplyResult::kApplied : ProxyApplyResult::kFailed;
  if (store.Enable(parsed->host, parsed->port, KindOf(*parsed, tunnels), parsed->login))
    return ProxyApplyResult::kApplied;
  // A half-done write must not leave the desktop on a proxy the program calls off.
  store.Disable();
  return ProxyApplyResult::kFailed;
}

}  // namespace lumvex
