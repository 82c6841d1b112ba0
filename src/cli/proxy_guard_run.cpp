#include "cli/proxy_guard_run.h"

#include <ctime>
#include <utility>
#include <vector>

#include "sysproxy/next_proxy.h"
#include "sysproxy/proxy_address.h"
#include "sysproxy/proxy_apply.h"
#include "text/proxy_host.h"
#include "text/text_util.h"

namespace lumvex::cli {

ProxyGuardRun::ProxyGuardRun(SystemProxy& store, ProxyGuard::Check check,
                             std::vector<std::string> addresses, std::chrono::milliseconds interval,
                             std::ostream& out, std::ostream& err)
    : store_(store),
      check_(check),
      addresses_(std::move(addresses)),
      out_(out),
      err_(err),
      guard_(
          std::move(check),
          [events = events_](const std::string&) {
            std::lock_guard lock(events->mutex);
            events->failed = true;
            events->wake.notify_all();
          },
          interval) {}

void ProxyGuardRun::RequestStop() {
  std::lock_guard lock(events_->mutex);
  events_->stop = true;
  events_->wake.notify_all();
}

bool ProxyGuardRun::Tunnels(const std::string& address) {
  // Only an HTTP proxy that has just passed its plain check is probed; a stop counts as no.
  if (!tunnel_probe_) return false;
  const std::optional<ProxyAddress> parsed = ParseProxyAddress(address);
  if (!parsed || parsed->IsSocks()) return false;
  return CheckNow(address, tunnel_probe_).value_or(false);
}

std::optional<bool> ProxyGuardRun::CheckNow(const std::string& address) {
  return CheckNow(address, check_);
}

std::optional<bool> ProxyGuardRun::CheckNow(const std::string& address,
                                            const ProxyGuard::Check& check) {
  const std::uint64_t id = ++next_check_;
  {
    std::lock_guard lock(events_->mutex);
    if (events_->stop) return std::nullopt;
    events_->awaited_check = id;
    events_->answer.reset();
  }
  std::weak_ptr<Events> weak = events_;
  check(address, [weak, id](bool relayed) {
    const std::shared_ptr<Events> events = weak.lock();
    if (!events) return;
    std::lock_guard lock(events->mutex);
    if (events->awaited_check != id) return;
    events->answer = relayed;
    events->wake.notify_all();
  });
  std::unique_lock lock(events_->mutex);
  events_->wake.wait(lock, [&] { return events_->stop || events_->answer.has_value(); });
  events_->awaited_check = 0;
  if (events_->stop) return std::nullopt;
  return events_->answer;
}

bool ProxyGuardRun::WaitForFailure() {
  std::unique_lock lock(events_->mutex);
  events_->wake.wait(lock, [&] { return events_->stop || events_->failed; });
  const bool failed = !events_->stop;
  events_->failed = false;
  return failed;
}

void ProxyGuardRun::SwitchOff() {
  guard_.Stop();
  if (!switched_on_) return;
  switched_on_ = false;
  if (!store_.Disable()) {
    err_ << "the system proxy store (" << store_.Name() << ") did not switch the proxy off"
         << std::endl;
  }
  out_ << "off" << std::endl;
}

ProxyGuardRun::End ProxyGuardRun::Run() {
  // The first pick walks the list from the top. Once the proxy in place has died (`dead`), the
  // walk starts after it and wraps around to the top, once.
  std::optional<std::size_t> dead;
  while (true) {
    // Each candidate is checked afresh when its turn comes; the dead proxy, under whatever
    // duplicate of its address, is not asked again.
    std::vector<std::size_t> walk = WalkAfter(ListOrder(addresses_.size()), dead, dead.has_value());
    if (dead) {
      const std::int64_t now = std::time(nullptr);
      walk = BestFirst(walk, [this, now](std::size_t index) {
        CandidateMerit merit;
        merit.passed = index < working_.size() && working_[index];
        if (health_ != nullptr) {
          if (const std::optional<ProxyHealth> health = health_->HealthOf(addresses_[index])) {
            merit.score = HealthScore(*health, now);
          }
        }
        return merit;
      });
    }
    const NextProxy pick = FindNextProxy(walk, [this, &dead](std::size_t index) {
      if (dead && SameProxyAddress(addresses_[index], addresses_[*dead])) {
        return CandidateTest::kFail;
      }
      const std::optional<bool> relayed = CheckNow(addresses_[index]);
      if (!relayed) return CandidateTest::kStop;
      return *relayed ? CandidateTest::kPass : CandidateTest::kFail;
    });
    if (pick.outcome == NextProxy::Outcome::kStopped) {
      SwitchOff();
      return End::kStopped;
    }
    if (pick.outcome == NextProxy::Outcome::kNoneLeft) {
      err_ << "no proxy of the list is left that passes a check" << std::endl;
      SwitchOff();
      return End::kNoneLeft;
    }
    dead = pick.index;  // for the next walk, which begins only once it has died
    const std::string& found = addresses_[pick.index];
    const std::optional<ProxyAddress> address = ParseProxyAddress(found);
    if (!address || !store_.Enable(address->host, address->port, KindOf(*address, Tunnels(found)),
                                   address->login)) {
      err_ << "the system proxy store (" << store_.Name() << ") did not keep "
           << text::EscapeControls(text::MaskPassword(found)) << std::endl;
      // A half-done write must not leave the desktop on a proxy nobody guards.
      switched_on_ = true;
      SwitchOff();
      return End::kRefused;
    }
    switched_on_ = true;
    out_ << "on " << found << std::endl;
    guard_.Guard(found);
    if (!WaitForFailure()) {
      SwitchOff();
      return End::kStopped;
    }
  }
}

}  // namespace lumvex::cli
