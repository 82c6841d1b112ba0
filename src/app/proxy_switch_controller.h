// Switching the user's system proxy: set it from a list row, move on to the next row, re-apply the
// saved proxy, switch it off; restore it at start-up and switch it off at exit. Keeps every proxy
// indicator of the window (status line, tray icon and tooltip, state picture, window icon, the
// saved-proxy tray item) and the saved proxy in "IE Agent" in step with the store.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_window_state.h"
#include "platform/ui_thread.h"
#include "proxylist/proxy_list.h"
#include "settings/data_dir.h"
#include "sysproxy/proxy_apply.h"
#include "sysproxy/proxy_guard.h"
#include "sysproxy/system_proxy.h"

namespace lumvex {

// Status line while the proxy is off.
inline constexpr std::string_view kProxyOffStatus = "IE：http=无代理";
// The address the local gateway listens on.
inline constexpr std::string_view kGatewayHost = "127.0.0.1";
// Tray tooltip while the proxy is off.
inline constexpr std::string_view kProxyOffTooltip = "未启用代理";

// The address a list row names for the system proxy: column 0 (with its scheme, if any), ":",
// the port. ":" alone for a row out of range.
std::string RowProxyAddress(const ProxyList& list, int row);

// All methods run on the UI thread (menu handlers, start-up and exit steps).
class ProxySwitchController {
 public:
  // `data_dir` holds "IE Agent". All references must outlive the controller.
  ProxySwitchController(MainWindowState& state, ProxyList& list, SystemProxy& store,
                        DataDir data_dir);
  ~ProxySwitchController();
  ProxySwitchController(const ProxySwitchController&) = delete;
  ProxySwitchController& operator=(const ProxySwitchController&) = delete;

  // An HTTP row whose check has passed is set for http at once and then probed with `probe` (a
  // CONNECT tunnel through it); when that passes, the proxy is remembered for the session as one
  // that tunnels and, while it is still the one switched on, the desktop's https goes through it
  // too. The answer may come on any thread; `ui` takes it to the UI thread. Without a probe an
  // HTTP proxy serves http only.
  void SetTunnelProbe(UiThread& ui, ProxyGuard::Check probe);

  // The list rows in the order the view shows them, which differs from the list's own while the
  // view is sorted: "next" is the next row the user sees. Called on the UI thread; the front end
  // gives it. Without it the list's own order is used.
  using ShownOrder = std::function<std::vector<int>()>;
  void SetShownOrder(ShownOrder order) { shown_order_ = std::move(order); }
  // Every list row once, in the order shown; the list's own order when no order is given or the
  // one given does not name every row exactly once (a view not yet in step with the list).
  std::vector<std::size_t> RowsAsShown() const;

  // Writes the store only (no indicator): ApplyProxy, https included for a proxy seen to tunnel.
  ProxyApplyResult ApplyIeProxy(std::string_view address, bool enable);
  // The store's proxy is on.
  bool IsIeProxyEnabled() const;

  // "设置IE代理(&S)": the current row's address becomes the system proxy. It is saved in
  // "IE Agent" and shown in the tray's saved-proxy item even when the desktop's store could not
  // take it (the status line says why), so the item or a later start can apply it.
  void SetIeProxyFromCurrentRow();
  // "切换IE代理": from a row whose verdict is "成功" to the next row below it, as shown, whose
  // verdict is not "失败" and whose address is neither the current row's nor the proxy in use
  // (duplicate rows change nothing); nothing when there is none.
  void SwitchIeProxyToNextRow();
  // "取消IE代理" / "取消代理(&Z)", the exit sequence, and a validation run's start.
  void CancelIeProxy();
  // The saved-proxy tray item: applies the address of its caption.
  void ReapplySavedIeProxy();
  // Start-up: shows the saved proxy in the tray menu, and switches it on when "run" is "yes".
  void RestoreIeAgent();
  // The program is being ended from under its window: the store goes off, no indicator is
  // touched (the widgets may be gone).
  void SwitchOffWithoutIndicators();

  // "使用本地网关": the desktop's http and https go to the local gateway's HTTP port on
  // 127.0.0.1, every other connection to its SOCKS port; the indicators show it like a proxy
  // set from the list. True when the store took it. Not saved in "IE Agent": the gateway lives
  // only as long as the program.
  bool SwitchOnGateway(int http_port, int socks_port);
  // Called when this controller switches the store from the gateway to anything else or off
  // (every switch-off path, a proxy set from the list): the gateway is no longer used.
  void SetGatewayLeft(std::function<void()> left) { gateway_left_ = std::move(left); }
  // The gateway is what this controller last switched on.
  bool GatewayOn() const { return !gateway_address_.empty(); }
  // The gateway is on but the store no longer holds it (`lumvexip proxy off`, or another program
  // changed the desktop's setting): the indicators go off and the gateway is left.
  void GatewayReplacedOutside();

  // The address last set from the list (at start-up: the whole saved value).
  const std::string& IeProxyAddress() const { return ie_proxy_address_; }

 private:
  // The gateway is no longer what the store holds: tells whoever runs it.
  void LeaveGateway();
  // Shows the result of switching on `address`: the proxy-on set when applied, the proxy-off set
  // and a failure text otherwise. True when applied.
  bool ShowSwitchedOn(std::string_view address, ProxyApplyResult result);
  // Starts the tunnel probe of the HTTP proxy `address` unless it is known to tunnel.
  void ProbeTunnel(const std::string& address);

  MainWindowState& state_;
  ProxyList& list_;
  SystemProxy& store_;
  DataDir data_dir_;
  std::string ie_proxy_address_;
  // The address the store was last switched on to by this controller; empty once off.
  std::string switched_on_;
  // "127.0.0.1:PORT" of the gateway while it is what the store was switched on to.
  std::string gateway_address_;
  std::function<void()> gateway_left_;
  // HTTP proxies seen to tunnel in this session.
  std::set<std::string> tunnels_;
  UiThread* ui_ = nullptr;
  ProxyGuard::Check probe_;
  ShownOrder shown_order_;
  // Probe answers posted to the UI thread check it, so none runs after the controller is gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace lumvex
