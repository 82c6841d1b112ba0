// The guard without a window (`lumvexip proxy guard`): over a list of proxies in order, switch the
// system proxy to the first that passes a check, guard it, and after two failed re-checks in a
// row move on to the next one of the list that passes, wrapping around to the top of the list
// once; off when none is left. After a failure the proxies the list file calls working ("成功") are
// tried first, best first by their recorded history when there is one. One line per switch on the
// output: "on ADDRESS" or "off".
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "history/proxy_health.h"
#include "sysproxy/proxy_guard.h"
#include "sysproxy/system_proxy.h"

namespace lumvex::cli {

class ProxyGuardRun {
 public:
  // How a run ended.
  enum class End : int {
    kStopped = 0,  // RequestStop: the proxy is off again
    kNoneLeft,     // every proxy of the list failed; the proxy is off (if it was ever set)
    kRefused,      // the store did not keep a switch; the proxy is off
  };

  // `addresses`: "host:port" texts in list order. `store`, `out` and `err` must outlive the run.
  ProxyGuardRun(SystemProxy& store, ProxyGuard::Check check, std::vector<std::string> addresses,
                std::chrono::milliseconds interval, std::ostream& out, std::ostream& err);
  ProxyGuardRun(const ProxyGuardRun&) = delete;
  ProxyGuardRun& operator=(const ProxyGuardRun&) = delete;

  // Before Run: the system proxy is one an earlier run of this program left on without switching
  // it off (its marker was found). This run then owns it: a stop, or no proxy of the list
  // passing, switches it off like one of this run's own.
  void TakeOverLeftoverProxy() { switched_on_ = true; }
  // Before Run: an HTTP proxy that passes its check is then probed with `probe` (a CONNECT
  // tunnel through it), and the desktop's https goes through it only when that passes too.
  // Without a probe the desktop gets an HTTP proxy for http only.
  void SetTunnelProbe(ProxyGuard::Check probe) { tunnel_probe_ = std::move(probe); }
  // Before Run: which of the addresses the list file calls working (by index; missing: no), and
  // the history that ranks them (may be null; it must outlive the run). Once the proxy in use
  // has died, those are tried first, best first, then the rest of the walk.
  void SetRanking(std::vector<bool> working, const HealthSource* health) {
    working_ = std::move(working);
    health_ = health;
  }
  // Blocks until RequestStop or the end of the list.
  End Run();
  // From any thread (a signal handler's thread): the run switches the proxy off and returns.
  void RequestStop();

 private:
  // One check, cut short by RequestStop (nullopt then).
  std::optional<bool> CheckNow(const std::string& address);
  std::optional<bool> CheckNow(const std::string& address, const ProxyGuard::Check& check);
  // Whether `address` is an HTTP proxy that passes the tunnel probe.
  bool Tunnels(const std::string& address);
  // Waits for the guard's failure report (true) or RequestStop (false).
  bool WaitForFailure();
  void SwitchOff();

  SystemProxy& store_;
  const ProxyGuard::Check check_;
  ProxyGuard::Check tunnel_probe_;
  const std::vector<std::string> addresses_;
  std::ostream& out_;
  std::ostream& err_;
  bool switched_on_ = false;
  std::vector<bool> working_;
  const HealthSource* health_ = nullptr;

  struct Events {
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    bool failed = false;
    std::uint64_t awaited_check = 0;
    std::optional<bool> answer;
  };
  std::shared_ptr<Events> events_ = std::make_shared<Events>();
  std::uint64_t next_check_ = 0;
  ProxyGuard guard_;
};

}  // namespace lumvex::cli
