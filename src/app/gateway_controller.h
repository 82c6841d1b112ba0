// "使用本地网关": a local gateway inside the program, relaying through the list's working rows, with
// the desktop pointed at it (http and https to its HTTP port, everything else to its SOCKS port).
// Its ports are kept in the data directory, so the desktop setting and the programs that read it
// find the same ports at the next use. Every switch-off path of the proxy switch (取消代理, exit,
// a proxy set from the list, `lumvexip proxy off` seen from outside) stops it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window_state.h"
#include "app/proxy_switch_controller.h"
#include "gateway/gateway.h"
#include "history/proxy_health.h"
#include "platform/ui_thread.h"
#include "proxylist/proxy_list.h"
#include "proxylist/proxy_list_observer.h"
#include "settings/data_dir.h"

namespace lumvex {

// Status texts of the gateway.
inline constexpr std::string_view kGatewayNoUpstream = "本地网关：列表中没有验证成功的代理，请先验证代理IP";
inline constexpr std::string_view kGatewayCannotListen = "本地网关无法启动：";

// Public methods run on the UI thread.
class GatewayController : private ProxyListObserver {
 public:
  // Each client connection sent through an upstream: whether a reply came, and the seconds to
  // its first byte (or to the failure). Called on the gateway's thread; must be quick.
  using UseRecorder = std::function<void(const std::string& address, bool ok, double seconds)>;

  // All references must outlive the controller. `health` (may be null) ranks the upstreams.
  GatewayController(UiThread& ui, MainWindowState& state, ProxyList& list,
                    ProxySwitchController& proxy_switch, DataDir data_dir,
                    const HealthSource* health = nullptr);
  ~GatewayController() override;
  GatewayController(const GatewayController&) = delete;
  GatewayController& operator=(const GatewayController&) = delete;

  void SetUseRecorder(UseRecorder recorder) { recorder_ = std::move(recorder); }

  // The menu item: starts the gateway and switches the desktop to it, or, while it runs,
  // switches the proxy off (as 取消代理 does), which stops it.
  void Toggle();
  bool Running() const { return gateway_ != nullptr; }
  // The ports it listens on (0 while it does not run).
  int HttpPort() const;
  int SocksPort() const;

  // The list's rows as upstreams again: rows that passed join (one marked down passed a check
  // again and may be chosen), rows that failed or went leave. The watch does it every few
  // seconds after the list changed.
  void RefreshUpstreams();
  // Program end: the gateway stops (the proxy switch's exit step switches the desktop off).
  void Shutdown();

 private:
  // Stops the relay and the watch; the desktop is the proxy switch's.
  void StopGateway();
  // The working rows as upstreams, best first.
  std::vector<gateway::Upstream> WorkingUpstreams() const;
  // On the UI thread: the rows of `address` get the verdict 失败 with the gateway's reason.
  void OnUpstreamDown(const std::string& address, gateway::UpstreamFailure failure, int status);
  // Starts the relay on `http_port` and `socks_port` (0: any); an error text when it could not.
  std::optional<std::string> StartOn(int http_port, int socks_port);
  void Watch();

  // A change of verdicts or rows makes a refresh due.
  void BeginInsertRows(int, int) override {}
  void EndInsertRows() override { refresh_due_ = true; }
  void BeginRemoveRows(int, int) override {}
  void EndRemoveRows() override { refresh_due_ = true; }
  void BeginReset() override {}
  void EndReset() override { refresh_due_ = true; }
  void CellChanged(int, int) override { refresh_due_ = true; }
  void CurrentOrSelectionChanged() override {}

  UiThread& ui_;
  MainWindowState& state_;
  ProxyList& list_;
  ProxySwitchController& proxy_switch_;
  DataDir data_dir_;
  const HealthSource* health_;
  UseRecorder recorder_;
  std::unique_ptr<gateway::Gateway> gateway_;
  bool refresh_due_ = false;
  // Answers posted to the UI thread check it, so none runs after the controller is gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  // Every few seconds while the gateway runs: whether the desktop still points at it.
  std::thread watch_;
  std::mutex watch_mutex_;
  std::condition_variable watch_wake_;
  bool watch_stop_ = false;
};

}  // namespace lumvex
