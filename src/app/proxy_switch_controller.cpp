#include "app/proxy_switch_controller.h"

#include <optional>
#include <utility>
#include <vector>

#include "app/window_events.h"
#include "proxylist/proxy_entry.h"
#include "settings/settings.h"
#include "sysproxy/next_proxy.h"
#include "sysproxy/proxy_address.h"
#include "text/proxy_host.h"
#include "text/text_util.h"
#include "validate/proxy_check.h"

namespace lumvex {
namespace {

constexpr std::string_view kOnStatusPrefix = "IE：http=";
constexpr std::string_view kOnSocksStatusPrefix = "IE：socks=";
constexpr std::string_view kOnTooltipSuffix = "代理已启用";

// What the desktop got, never with the password the row keeps for the checks and the store: an
// HTTP proxy as the row names it, a SOCKS proxy as its one SOCKS setting
// holds it (host and port, whatever the row's SOCKS scheme).
std::string OnStatus(std::string_view address) {
  const std::optional<ProxyAddress> parsed = ParseProxyAddress(address);
  if (!parsed || !parsed->IsSocks()) {
    return std::string(kOnStatusPrefix) + text::MaskPassword(address);
  }
  return std::string(kOnSocksStatusPrefix) + parsed->HostPort();
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

std::string RowProxyAddress(const ProxyList& list, int row) {
  return list.GetCell(row, kColAddress) + ":" + list.GetCell(row, kColPort);
}

ProxySwitchController::ProxySwitchController(MainWindowState& state, ProxyList& list,
                                             SystemProxy& store, DataDir data_dir)
    : state_(state), list_(list), store_(store), data_dir_(std::move(data_dir)) {}

ProxySwitchController::~ProxySwitchController() { alive_.reset(); }

void ProxySwitchController::SetTunnelProbe(UiThread& ui, ProxyGuard::Check probe) {
  ui_ = &ui;
  probe_ = std::move(probe);
}

std::vector<std::size_t> ProxySwitchController::RowsAsShown() const {
  const std::size_t count = static_cast<std::size_t>(list_.ListCount());
  if (!shown_order_) return ListOrder(count);
  const std::vector<int> shown = shown_order_();
  if (shown.size() != count) return ListOrder(count);
  std::vector<bool> seen(count, false);
  std::vector<std::size_t> order;
  order.reserve(count);
  for (const int row : shown) {
    if (row < 0 || static_cast<std::size_t>(row) >= count || seen[static_cast<std::size_t>(row)]) {
      return ListOrder(count);
    }
    seen[static_cast<std::size_t>(row)] = true;
    order.push_back(static_cast<std::size_t>(row));
  }
  return order;
}

ProxyApplyResult ProxySwitchController::ApplyIeProxy(std::string_view address, bool enable) {
  LeaveGateway();
  const std::string text(address);
  const ProxyApplyResult result = ApplyProxy(store_, text, enable, tunnels_.contains(text));
  switched_on_ = enable && result == ProxyApplyResult::kApplied ? text : std::string();
  return result;
}

void ProxySwitchController::LeaveGateway() {
  if (gateway_address_.empty()) return;
  gateway_address_.clear();
  if (gateway_left_) gateway_left_();
}

bool ProxySwitchController::SwitchOnGateway(int http_port, int socks_port) {
  LeaveGateway();
  const std::string address = std::string(kGatewayHost) + ":" + std::to_string(http_port);
  const bool applied = store_.Available() &&
                       store_.EnableGateway(std::string(kGatewayHost), http_port, socks_port);
  const bool on = ShowSwitchedOn(address, applied ? ProxyApplyResult::kApplied
                                 : store_.Available() ? ProxyApplyResult::kFailed
                                                      : ProxyApplyResult::kUnavailable);
  switched_on_ = on ? address : std::string();
  gateway_address_ = on ? address : std::string();
  return on;
}

void ProxySwitchController::GatewayReplacedOutside() {
  if (gateway_address_.empty()) return;
  const SystemProxySetting now = store_.Available() ? store_.Read() : SystemProxySetting{};
  if (now.enabled && !now.socks && now.host == kGatewayHost &&
      std::string(kGatewayHost) + ":" + std::to_string(now.port) == gateway_address_) {
    return;
  }
  switched_on_.clear();
  LeaveGateway();
  state_.SetText(control::kStatusLine, std::string(kProxyOffStatus));
  Announce(state_, WindowEvent::kProxyCleared, {.text = std::string(kProxyOffTooltip)});
}

void ProxySwitchController::ProbeTunnel(const std::string& address) {
  const std::optional<ProxyAddress> parsed = ParseProxyAddress(address);
  if (!probe_ || ui_ == nullptr || !parsed || parsed->IsSocks() || tunnels_.contains(address)) {
    return;
  }
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
  const std::string address = RowProxyAddress(list_, row);
  // Not an address (an empty row, a port out of range): nothing is applied, nothing changes.
  if (!ParseProxyAddress(address)) return;
  ie_proxy_address_ = address;
  // Kept whether or not the store takes it: the saved-proxy item, or a start on a desktop that
  // has a store, can apply it later. The caption comes first, so whoever hears the item checked
  // (the guard) reads the new address, not the last one.
  const std::string caption = IeProxyCaption(address, list_.GetCell(row, kColLocation));
  Announce(state_, WindowEvent::kSavedProxyShown, {.text = caption});
  Settings(data_dir_).WriteSavedProxy(caption);
  const bool on = ShowSwitchedOn(address, ApplyIeProxy(address, true));
  // Tunnelling is asked of a proxy in place whose plain check has passed.
  if (on && ShowsOk(list_.GetRow(row))) ProbeTunnel(address);
}

void ProxySwitchController::SwitchIeProxyToNextRow() {
  const int row = list_.CurrentRow();
  if (row < 0) return;
  if (!ShowsOk(list_.GetRow(row))) return;
  // Down the rows as shown. A row known to fail is passed over (a row not checked yet is still
  // taken), and so is a duplicate of the proxy already in place, which would change nothing; with
  // none left below, the current proxy stays, as on the last row.
  const std::string current = RowProxyAddress(list_, row);
  const NextProxy next = FindNextProxy(
      WalkAfter(RowsAsShown(), static_cast<std::size_t>(row), /*wrap=*/false),
      [&](std::size_t index) {
        const int candidate = static_cast<int>(index);
        const std::string address = RowProxyAddress(list_, candidate);
        if (list_.GetCheckState(candidate).Failed() || SameProxyAddress(address, current) ||
            (!switched_on_.empty() && SameProxyAddress(address, switched_on_))) {
          return CandidateTest::kFail;
        }
        return CandidateTest::kPass;
      });
  if (next.outcome != NextProxy::Outcome::kFound) return;
  list_.MoveCursorTo(static_cast<int>(next.index));
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
