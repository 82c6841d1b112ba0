#include "validate/proxy_checker.h"

#include <chrono>
#include <string>
#include <utility>

#include "proxylist/check_state.h"
#include "proxylist/proxy_entry.h"
#include "validate/check_attempt.h"
#include "validate/strict_check.h"

namespace lumvex {

ProxyChecker::ProxyChecker(UiThread& ui, ProxyList& list, http::FetchClient& fetcher,
                           CheckTarget target)
    : ui_(ui), list_(list), fetcher_(fetcher), target_(std::move(target)) {}

ProxyChecker::~ProxyChecker() {
  std::lock_guard lock(lifetime_->mutex);
  lifetime_->alive = false;
}

void ProxyChecker::CancelAll() { cancelled_.store(true, std::memory_order_release); }

void ProxyChecker::CheckCurrentProxy() {
  if (Cancelled()) return;
  const int row = list_.CurrentRow();
  // Without a current row there is no proxy to check (":" names none).
  if (row < 0) return;
  list_.SetCheckState(row, CheckState{CheckStatus::kRunningMenu});
  const auto started = std::chrono::steady_clock::now();
  std::string url = target_.connectivity_host;
  http::FetchOptions options = CheckFetchOptions(
      list_.GetCell(row, kColAddress) + ":" + list_.GetCell(row, kColPort), target_.timeout_s);
  // The window stays live while the check runs: the verdict comes back as a posted step.
  RunProxyCheck(
      fetcher_, std::move(url), std::move(options), std::make_shared<const StrictRule>(),
      [this, ui = &ui_, lifetime = lifetime_, row, started](const CheckOutcome& outcome,
                                                            const http::FetchResult&) {
        // Runs on the fetch driver, possibly after the checker is gone: only `ui` (which
        // outlives the program's objects) and `lifetime` may be touched here.
        CheckOutcome shown = outcome;
        if (!shown.ok) shown.bytes = 0;
        const CheckState state = FinishedCheck(shown, started);
        ui->Post([this, lifetime, row, state] {
          std::lock_guard lock(lifetime->mutex);
          if (!lifetime->alive || Cancelled()) return;
          list_.SetCheckState(row, state);
        });
      });
}

}  // namespace lumvex
