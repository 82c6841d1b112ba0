#include "validate/proxy_checker.h"

#include <chrono>
#include <string>
#include <utility>

#include "proxylist/check_state.h"
#include "proxylist/proxy_entry.h"

namespace lumvex {

namespace {

using Clock = std::chrono::steady_clock;

// The finished check's state: its verdict with what was measured.
CheckState Finished(const CheckOutcome& outcome, Clock::time_point started) {
  CheckState state;
  state.status = outcome.ok ? CheckStatus::kOk : CheckStatus::kFailed;
  state.seconds = std::chrono::duration<double>(Clock::now() - started).count();
  state.http_status = outcome.status;
  state.bytes = outcome.bytes;
  return state;
}

}  // namespace

ProxyChecker::ProxyChecker(UiThread& ui, ProxyList& list, http::FetchClient& fetcher,
                           CheckTarget target)
    : ui_(ui), list_(list), fetcher_(fetcher), target_(std::move(target)) {}

ProxyChecker::~ProxyChecker() {
  std::lock_guard lock(lifetime_->mutex);
  lifetime_->alive = false;
}

void ProxyChecker::CancelAll() { cancelled_.store(true, std::memory_order_release); }

void ProxyChecker::SetStrictRule(StrictRule rule) {
  auto shared = std::make_shared<const StrictRule>(std::move(rule));
  std::lock_guard lock(strict_mutex_);
  strict_ = std::move(shared);
}

void ProxyChecker::CheckProxyTask(std::int32_t row_number) {
  if (Cancelled()) return;
  // Held for the whole check: a second start may rebuild the table meanwhile.
  const std::shared_ptr<const ValidationTaskTable::Records> table = tasks_.Current();
  const std::string* address = ValidationTaskTable::Record(table.get(), row_number);
  if (address == nullptr) return;
  const int row = row_number - 1;
  list_.SetCheckState(row, CheckState{CheckStatus::kRunningPool});
  const Clock::time_point started = Clock::now();

  std::shared_ptr<const StrictRule> strict;
  {
    std::lock_guard lock(strict_mutex_);
    strict = strict_;
  }
  std::string url = CheckAddress(target_, *strict, DrawSalt());
  const http::FetchOptions options = CheckFetchOptions(
      *address, target_.timeout_s, strict->Strict() ? kStrictCheckBodyBytes : kCheckBodyBytes);
  const CheckOutcome outcome = JudgeReply(fetcher_.FetchPage(url, options), *strict);
  // A fetch cut short by the program's exit is no verdict on the proxy.
  if (Cancelled()) return;
  list_.SetCheckState(row, Finished(outcome, started));
}

void ProxyChecker::CheckCurrentProxy() {
  if (Cancelled()) return;
  const int row = list_.CurrentRow();
  // Without a current row there is no proxy to check (":" names none).
  if (row < 0) return;
  list_.SetCheckState(row, CheckState{CheckStatus::kRunningMenu});
  const Clock::time_point started = Clock::now();
  std::string url = target_.connectivity_host;
  const http::FetchOptions options = CheckFetchOptions(
      list_.GetCell(row, kColAddress) + ":" + list_.GetCell(row, kColPort), target_.timeout_s);
  // The window stays live while the check runs: the verdict comes back as a posted step.
  fetcher_.FetchPageAsync(
      url, options,
      [this, ui = &ui_, lifetime = lifetime_, row, started](http::FetchResult result) {
        // Runs on the fetch driver, possibly after the checker is gone: only `ui` (which
        // outlives the program's objects) and `lifetime` may be touched here.
        const bool relayed = ProxyRelayed(result);
        const CheckState state = Finished(
            CheckOutcome{relayed, result.status, relayed ? result.body.size() : 0}, started);
        ui->Post([this, lifetime, row, state] {
          std::lock_guard lock(lifetime->mutex);
          if (!lifetime->alive || Cancelled()) return;
          list_.SetCheckState(row, state);
        });
      });
}

}  // namespace lumvex
