#include "validate/proxy_checker.h"

#include <string>
#include <utility>

#include "proxylist/proxy_entry.h"

namespace lumvex {

ProxyChecker::ProxyChecker(UiThread& ui, ProxyList& list, CellColorTable& colours,
                           http::FetchClient& fetcher, CheckTarget target)
    : ui_(ui), list_(list), colours_(colours), fetcher_(fetcher), target_(std::move(target)) {}

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

void ProxyChecker::SetOutcomeHook(std::function<void(int, const CheckOutcome&)> hook) {
  outcome_hook_ = std::move(hook);
}

void ProxyChecker::CheckProxyTask(std::int32_t row_number) {
  if (Cancelled()) return;
  // Held for the whole check: a second start may rebuild the table meanwhile.
  const std::shared_ptr<const ValidationTaskTable::Records> table = tasks_.Current();
  const std::string* address = ValidationTaskTable::Record(table.get(), row_number);
  if (address == nullptr) return;
  const int row = row_number - 1;
  list_.SetCell(row, kColType, std::string(kVerdictPoolChecking));

  std::shared_ptr<const StrictRule> strict;
  {
    std::lock_guard lock(strict_mutex_);
    strict = strict_;
  }
  std::string url = CheckAddress(target_, *strict, DrawSalt());
  http::FetchOptions options;
  options.method = 0;
  options.proxy = *address;
  options.timeout_s = target_.timeout_s;
  options.body_encoding = http::kBodyUtf8;
  options.max_body_bytes = strict->Strict() ? kStrictCheckBodyBytes : kCheckBodyBytes;
  const CheckOutcome outcome = JudgeReply(fetcher_.FetchPage(url, options), *strict);
  const bool relayed = outcome.ok;
  // A fetch cut short by the program's exit is no verdict on the proxy.
  if (Cancelled()) return;
  if (outcome_hook_) outcome_hook_(row, outcome);
  if (relayed) {
    list_.SetCell(row, kColType, std::string(kVerdictSuccess));
  } else {
    list_.SetCell(row, kColType, std::string(kVerdictFailure));
    colours_.SetCellColor(row, kColType, kFailureTextColour, 0, false);
  }
}

void ProxyChecker::CheckCurrentProxy() {
  if (Cancelled()) return;
  const int row = list_.CurrentRow();
  // Without a current row there is no proxy to check (":" names none).
  if (row < 0) return;
  list_.SetCell(row, kColType, std::string(kVerdictMenuChecking));
  std::string url = target_.connectivity_host;
  http::FetchOptions options;
  options.proxy = list_.GetCell(row, kColAddress) + ":" + list_.GetCell(row, kColPort);
  options.timeout_s = target_.timeout_s;
  options.max_body_bytes = kCheckBodyBytes;
  // The window stays live while the check runs: the verdict comes back as a posted step.
  fetcher_.FetchPageAsync(
      url, options, [this, ui = &ui_, lifetime = lifetime_, row](http::FetchResult result) {
        // Runs on the fetch driver, possibly after the checker is gone: only `ui` (which
        // outlives the program's objects) and `lifetime` may be touched here.
        const bool relayed = ProxyRelayed(result);
        ui->Post([this, lifetime, row, relayed] {
          std::lock_guard lock(lifetime->mutex);
          if (!lifetime->alive || Cancelled()) return;
          // No colour here: a red left by a failed pool check stays.
          list_.SetCell(row, kColType, std::string(relayed ? kVerdictSuccess : kVerdictFailure));
        });
      });
}

}  // namespace lumvex
