#include "validate/validation_run.h"

#include <chrono>
#include <utility>

namespace lumvex {

ValidationRun::ValidationRun(WorkerPool& pool, http::FetchClient& fetcher, CheckTarget target,
                             Events events)
    : pool_(pool), fetcher_(fetcher), target_(std::move(target)), events_(std::move(events)) {}

void ValidationRun::Start(const std::vector<ProxyEntry>& rows, int threads) {
  ValidationTaskTable::Records records;
  records.reserve(rows.size());
  for (const ProxyEntry& row : rows) {
    records.push_back(row.cells[kColAddress] + ":" + row.cells[kColPort]);
  }
  StartRecords(std::move(records), threads);
}

void ValidationRun::Start(const std::vector<CompactRow>& rows, int threads) {
  ValidationTaskTable::Records records;
  records.reserve(rows.size());
  for (const CompactRow& row : rows) {
    records.push_back(std::string(row.Cell(kColAddress)) + ":" + std::string(row.Cell(kColPort)));
  }
  StartRecords(std::move(records), threads);
}

void ValidationRun::StartRecords(ValidationTaskTable::Records records, int threads) {
  const auto count = static_cast<std::int32_t>(records.size());
  // A second start while running finds the pool running: the rows go to the running pool again.
  // The workers start while the table is built.
  pool_.Create(threads, [this](std::int32_t number) { CheckTask(number); });
  tasks_.Rebuild(std::move(records));
  // A task that cannot be queued leaves its row without a verdict from this run.
  for (std::int32_t i = 1; i <= count; ++i) pool_.Post(i);
}

void ValidationRun::Stop() { pool_.Stop(); }

void ValidationRun::SetStrictRule(StrictRule rule) {
  auto shared = std::make_shared<const StrictRule>(std::move(rule));
  std::lock_guard lock(strict_mutex_);
  strict_ = std::move(shared);
}

void ValidationRun::CancelAll() { cancelled_.store(true, std::memory_order_release); }

void ValidationRun::CheckTask(std::int32_t number) {
  if (Cancelled()) return;
  // Held for the whole check: a second start may rebuild the table meanwhile.
  const std::shared_ptr<const ValidationTaskTable::Records> table = tasks_.Current();
  const std::string* address = ValidationTaskTable::Record(table.get(), number);
  if (address == nullptr) return;
  const int row = number - 1;
  if (events_.started) events_.started(row);
  const auto started = std::chrono::steady_clock::now();

  std::shared_ptr<const StrictRule> strict;
  {
    std::lock_guard lock(strict_mutex_);
    strict = strict_;
  }
  std::string url = CheckAddress(target_, *strict, DrawSalt());
  const http::FetchOptions options =
      CheckFetchOptions(*address, target_.timeout_s, CheckBodyBytes(*strict), target_.protocol);
  const CheckOutcome outcome = JudgeReply(fetcher_.FetchPage(url, options), *strict);
  // A fetch cut short by the program's exit is no verdict on the proxy.
  if (Cancelled()) return;
  if (events_.finished) events_.finished(row, FinishedCheck(outcome, started));
}

}  // namespace lumvex
