#include "app/proxy_switch_controller.h"

#include <optional>
#include <utility>

#include "app/window_events.h"
#include "proxylist/proxy_entry.h"
#include "settings/settings.h"
#include "sysproxy/proxy_address.h"
#include "text/proxy_host.h"
#include "text/text_util.h"
#include "validate/proxy_check.h"

namespace lumvex {
namespace {

constexpr std::string_view kOnStatusPrefix = "IE：http=";
constexpr std::string_view kOnTooltipSuffix = "代理已启用";

// What the status line and the tray say of a proxy: its address without the password, which
// the row keeps for the checks and the store.
std::string OnStatus(std::string_view address) {
  return std::string(kOnStatusPrefix) + text::MaskPassword(address);
}

std::string FailureReason(ProxyApplyResult result, const std::string& store_name) {
  switch (result) {
    case ProxyApplyResult::kUnavailable:
      return "未找到GNOME或KDE的代理设置";
    case ProxyApplyResult::kSocksLogin:
      return "系统代理设置不能保存SOCKS代理的用户名和密码";
    default:
      return store_name + "写入失败";
  }
}

}  // namespace

ProxySwitchController::ProxySwitchController(MainWindowState& state, ProxyList& list,
                                             SystemProxy& store, DataDir data_dir)
    : state_(state), list_(list), store_(store), data_dir_(std::move(data_dir)) {}

ProxySwitchController::~ProxySwitchController() { alive_.reset(); }

void ProxySwitchController::SetTunnelProbe(UiThread& ui, ProxyGuard::Check probe) {
  ui_ = &ui;
  probe_ = std::move(probe);
}

ProxyApplyResult ProxySwitchController::ApplyIeProxy(std::string_view address, bool enable) {
  const std::string text(address);
  const ProxyApplyResult result = ApplyProxy(store_, text, enable, tunnels_.contains(text));
  switched_on_ = enable && result == ProxyApplyResult::kApplied ? text : std::string();
  return result;
}

void ProxySwitchController::ProbeTunnel(const std::string& address) {
  const std::optional<ProxyAddress> parsed = ParseProxyAddress(address);
  if (!probe_ || ui_ == nullptr || !parsed || parsed->socks || tunnels_.contains(address)) return;
  probe_(address, [ui = ui_, weak = std::weak_ptr<bool>(alive_), this, address](bool tunnels) {
    if (!tunnels) return;
    ui->Post([weak, this, address] {
      if (!weak.lock()) return;
      tunnels_.insert(address);
      // Still the proxy in place: https now goes through it as well.
      if (switched_on_ == address) ApplyIeProxy(address, true);
    });
  });
}

bool ProxySwitchController::IsIeProxyEnabled() const {
  return store_.Available() && store_.Read().enabled;
}

bool ProxySwitchController::ShowSwitchedOn(std::string_view address, ProxyApplyResult result) {
  if (result == ProxyApplyResult::kApplied) {
    state_.SetText(control::kStatusLine, OnStatus(address));
    Announce(state_, WindowEvent::kProxySet,
             {.text = text::MaskPassword(address) + std::string(kOnTooltipSuffix)});
    return true;
  }
  state_.SetText(control::kStatusLine, "IE：无法设置系统代理 " + text::MaskPassword(address) +
                                           "（" + FailureReason(result, store_.Name()) + "）");
  Announce(state_, WindowEvent::kProxyCleared, {.text = std::string(kProxyOffTooltip)});
  return false;
}

void ProxySwitchController::SetIeProxyFromCurrentRow() {
  const int row = list_.CurrentRow();
  if (row < 0) return;
  const std::string address = list_.GetCell(row, kColAddress) + ":" + list_.GetCell(row, kColPort);
  // Not an address (an empty row, a port out of range): nothing is applied, nothing changes.
  if (!ParseProxyAddress(address)) return;
  ie_proxy_address_ = address;
  if (!ShowSwitchedOn(address, ApplyIeProxy(address, true))) return;
  // Tunnelling is asked of a proxy whose plain check has passed.
  if (ShowsOk(list_.GetRow(row))) ProbeTunnel(address);
  const std::string caption = IeProxyCaption(address, list_.GetCell(row, kColLocation));
  Announce(state_, WindowEvent::kSavedProxyShown, {.text = caption});
  Settings(data_dir_).WriteSavedProxy(caption);
}

void ProxySwitchController::SwitchIeProxyToNextRow() {
  const int row = list_.CurrentRow();
  if (row < 0) return;
  if (!ShowsOk(list_.GetRow(row))) return;
  // A row known to fail is passed over (a row not checked yet is still taken); with none left
  // below, the current proxy stays, as on the last row.
  const int count = list_.ListCount();
  int next = row + 1;
  while (next < count && list_.GetCheckState(next).Failed()) ++next;
  if (next >= count) return;
  list_.MoveCursorTo(next);
  SetIeProxyFromCurrentRow();
}

void ProxySwitchController::CancelIeProxy() {
  const ProxyApplyResult result = ApplyIeProxy({}, false);
  if (result == ProxyApplyResult::kFailed && IsIeProxyEnabled()) {
    // The store is still on: the indicators keep saying so.
    state_.SetText(control::kStatusLine, "IE：无法关闭系统代理（" + store_.Name() + "写入失败）");
    return;
  }
  state_.SetText(control::kStatusLine, std::string(kProxyOffStatus));
  Announce(state_, WindowEvent::kProxyCleared, {.text = std::string(kProxyOffTooltip)});
}

void ProxySwitchController::ReapplySavedIeProxy() {
  const std::string address = CaptionAddress(state_.Text(TrayItem::kSavedProxy));
  if (!ParseProxyAddress(address)) return;
  ShowSwitchedOn(address, ApplyIeProxy(address, true));
}

void ProxySwitchController::RestoreIeAgent() {
  const Settings settings{data_dir_};
  const std::string saved = settings.ReadSavedProxy();
  if (saved.empty()) return;
  // Whatever "run" says, a saved proxy is offered in the tray menu.
  ie_proxy_address_ = saved;
  Announce(state_, WindowEvent::kSavedProxyShown, {.text = saved});
  if (settings.ReadRun() != RunChoice::kYes) return;
  const std::string address = CaptionAddress(saved);
  if (!ParseProxyAddress(address)) return;
  ShowSwitchedOn(address, ApplyIeProxy(address, true));
}

void ProxySwitchController::SwitchOffWithoutIndicators() { ApplyIeProxy({}, false); }

}  // namespace lumvex
