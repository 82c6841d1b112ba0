#include "app/gateway_controller.h"

#include <algorithm>
#include <ctime>
#include <set>
#include <utility>

#include "net/proxy_address.h"
#include "proxylist/proxy_entry.h"
#include "settings/settings.h"
#include "text/text_util.h"

namespace lumvex {
namespace {

constexpr auto kWatchInterval = std::chrono::seconds(3);

CheckReason ReasonOf(gateway::UpstreamFailure failure) {
  switch (failure) {
    case gateway::UpstreamFailure::kRefused:
      return CheckReason::kRefused;
    case gateway::UpstreamFailure::kTimeout:
      return CheckReason::kTimeoutConnecting;
    case gateway::UpstreamFailure::kHandshakeFailed:
      return CheckReason::kHandshakeFailed;
    case gateway::UpstreamFailure::kProxySaid:
      return CheckReason::kProxySaid;
  }
  return CheckReason::kRefused;
}

// A stored port: 1 to 65535, else 0 (any free port).
int StoredPort(const std::string& text) { return ParseProxyPort(text).value_or(0); }

}  // namespace

GatewayController::GatewayController(UiThread& ui, MainWindowState& state, ProxyList& list,
                                     ProxySwitchController& proxy_switch, DataDir data_dir,
                                     const HealthSource* health)
    : ui_(ui),
      state_(state),
      list_(list),
      proxy_switch_(proxy_switch),
      data_dir_(std::move(data_dir)),
      health_(health) {
  proxy_switch_.SetGatewayLeft([this] { StopGateway(); });
  list_.AddObserver(this);
}

GatewayController::~GatewayController() {
  list_.RemoveObserver(this);
  proxy_switch_.SetGatewayLeft({});
  alive_.reset();
  StopGateway();
}

int GatewayController::HttpPort() const { return gateway_ ? gateway_->HttpPort() : 0; }
int GatewayController::SocksPort() const { return gateway_ ? gateway_->SocksPort() : 0; }

std::vector<gateway::Upstream> GatewayController::WorkingUpstreams() const {
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  std::vector<gateway::Upstream> upstreams;
  std::set<std::string> seen;
  for (int row = 0; row < list_.ListCount(); ++row) {
    const CheckState check = list_.GetCheckState(row);
    if (!check.Ok()) continue;
    const std::string address = RowProxyAddress(list_, row);
    const std::optional<ProxyAddress> parsed = ParseProxyAddress(address);
    if (!parsed) continue;
    // The same proxy written twice is one upstream (letter case and "http://" aside).
    std::string key = std::string(InfoOf(parsed->scheme).prefix) + text::ToLowerAscii(parsed->host) +
                      ":" + std::to_string(parsed->port);
    if (!seen.insert(std::move(key)).second) continue;
    gateway::Upstream upstream{address, parsed->IsSocks(), 0};
    const std::optional<ProxyHealth> health =
        health_ != nullptr ? health_->HealthOf(address) : std::nullopt;
    if (health) {
      upstream.score = HealthScore(*health, now);
    } else if (check.seconds > 0) {
      // Without a history, the faster of two fresh passes first.
      upstream.score = 10.0 * std::clamp(1.0 - check.seconds / 10.0, 0.0, 1.0);
    }
    upstreams.push_back(std::move(upstream));
  }
  std::stable_sort(upstreams.begin(), upstreams.end(),
                   [](const auto& a, const auto& b) { return a.score > b.score; });
  return upstreams;
}

std::optional<std::string> GatewayController::StartOn(int http_port, int socks_port) {
  gateway::GatewayOptions options;
  options.http_listen = std::string(kGatewayHost) + ":" + std::to_string(http_port);
  options.socks_listen = std::string(kGatewayHost) + ":" + std::to_string(socks_port);
  gateway::GatewayEvents events;
  events.down = [this, weak = std::weak_ptr<bool>(alive_)](
                    const std::string& address, gateway::UpstreamFailure failure, int status) {
    ui_.Post([this, weak, address, failure, status] {
      if (weak.lock()) OnUpstreamDown(address, failure, status);
    });
  };
  events.used = [this](const std::string& address, bool ok, double seconds) {
    if (recorder_) recorder_(address, ok, seconds);
  };
  auto relay = std::make_unique<gateway::Gateway>(std::move(options), std::move(events));
  if (std::optional<std::string> error = relay->Start()) return error;
  gateway_ = std::move(relay);
  return std::nullopt;
}

void GatewayController::Toggle() {
  if (gateway_) {
    // Switching the proxy off leaves the gateway (SetGatewayLeft), which stops it.
    proxy_switch_.CancelIeProxy();
    return;
  }
  std::vector<gateway::Upstream> upstreams = WorkingUpstreams();
  if (upstreams.empty()) {
    state_.SetText(control::kStatusLine, std::string(kGatewayNoUpstream));
    return;
  }
  const Settings settings(data_dir_);
  const int http_port = StoredPort(settings.Read(SettingKey::kGatewayHttpPort));
  const int socks_port = StoredPort(settings.Read(SettingKey::kGatewaySocksPort));
  std::optional<std::string> error = StartOn(http_port, socks_port);
  // The kept ports are taken by another program meanwhile: new ones, kept from now on.
  if (error && (http_port != 0 || socks_port != 0)) error = StartOn(0, 0);
  if (error) {
    state_.SetText(control::kStatusLine, std::string(kGatewayCannotListen) + *error);
    return;
  }
  data_dir_.EnsureDataDir();
  const std::string http_text = std::to_string(gateway_->HttpPort());
  const std::string socks_text = std::to_string(gateway_->SocksPort());
  const std::pair<SettingKey, std::string_view> ports[] = {
      {SettingKey::kGatewayHttpPort, http_text}, {SettingKey::kGatewaySocksPort, socks_text}};
  settings.Write(ports);
  gateway_->SetUpstreams(std::move(upstreams));
  if (!proxy_switch_.SwitchOnGateway(gateway_->HttpPort(), gateway_->SocksPort())) {
    // The desktop did not take it: no gateway nobody uses. The status line says why.
    StopGateway();
    return;
  }
  // The saved proxy is not what the desktop uses now, so the guard has nothing to watch.
  state_.SetChecked(TrayItem::kSavedProxy, false);
  state_.SetChecked(TrayItem::kGateway, true);
  state_.SetChecked(ContextItem::kGateway, true);
  watch_stop_ = false;
  watch_ = std::thread([this] { Watch(); });
}

void GatewayController::Watch() {
  std::unique_lock lock(watch_mutex_);
  while (!watch_wake_.wait_for(lock, kWatchInterval, [this] { return watch_stop_; })) {
    ui_.Post([this, weak = std::weak_ptr<bool>(alive_)] {
      if (!weak.lock() || !gateway_) return;
      proxy_switch_.GatewayReplacedOutside();
      if (gateway_ && refresh_due_) RefreshUpstreams();
    });
  }
}

void GatewayController::StopGateway() {
  if (watch_.joinable()) {
    {
      std::lock_guard lock(watch_mutex_);
      watch_stop_ = true;
    }
    watch_wake_.notify_all();
    watch_.join();
  }
  if (!gateway_) return;
  gateway_->Stop();
  gateway_.reset();
  if (!alive_) return;  // the controller is going: the state may be gone before it
  state_.SetChecked(TrayItem::kGateway, false);
  state_.SetChecked(ContextItem::kGateway, false);
}

void GatewayController::RefreshUpstreams() {
  refresh_due_ = false;
  if (!gateway_) return;
  std::vector<gateway::Upstream> upstreams = WorkingUpstreams();
  for (const gateway::Upstream& upstream : upstreams) gateway_->MarkUp(upstream.address);
  gateway_->SetUpstreams(std::move(upstreams));
}

void GatewayController::OnUpstreamDown(const std::string& address,
                                       gateway::UpstreamFailure failure, int status) {
  CheckState failed;
  failed.status = CheckStatus::kFailed;
  failed.reason = ReasonOf(failure);
  failed.http_status = failure == gateway::UpstreamFailure::kProxySaid ? status : 0;
  for (int row = 0; row < list_.ListCount(); ++row) {
    if (list_.GetCheckState(row).Ok() && SameProxyAddress(RowProxyAddress(list_, row), address)) {
      list_.SetCheckState(row, failed);
    }
  }
}

void GatewayController::Shutdown() { StopGateway(); }

}  // namespace lumvex
