// The checks of a validation run: every proxy of a list checked on the worker pool with the
// validation address (or the strict rule's), each verdict reported as a typed check state. The
// window's validation run and `lumvexip check` both run their checks through it; what a verdict
// means to each (a row's state and the counters, a printed line) is the caller's.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "http/fetch_client.h"
#include "platform/worker_pool.h"
#include "proxylist/check_state.h"
#include "proxylist/compact_row.h"
#include "proxylist/proxy_entry.h"
#include "validate/proxy_check.h"
#include "validate/strict_check.h"
#include "validate/validation_task_table.h"

namespace lumvex {

class ValidationRun {
 public:
  // Workers of a run unless the settings or `--threads` give another number.
  static constexpr int kDefaultThreads = 20;

  // Called on pool workers, several at a time; `row` is the 0-based index of the row given to
  // Start.
  struct Events {
    // The check of `row` begins (may be left empty).
    std::function<void(int row)> started;
    // The check of `row` ended with the verdict `state` (kOk or kFailed, with what was measured).
    std::function<void(int row, const CheckState& state)> finished;
  };

  // `pool`, `fetcher` and whatever `events` refer to must outlive the run.
  ValidationRun(WorkerPool& pool, http::FetchClient& fetcher, CheckTarget target, Events events);
  ValidationRun(const ValidationRun&) = delete;
  ValidationRun& operator=(const ValidationRun&) = delete;

  // Checks the proxy (address:port) of every row of `rows` on `threads` workers and returns at
  // once; `rows` need not outlive the call. A second start while the pool runs gives the new rows
  // to the running pool.
  void Start(const std::vector<ProxyEntry>& rows, int threads);
  void Start(const std::vector<CompactRow>& rows, int threads);
  // Drops the checks not yet begun; those under way still report. Does not wait.
  void Stop();

  // The strict rule (settings, or `lumvexip check --expect`); it applies from the next check on.
  // Any thread.
  void SetStrictRule(StrictRule rule);
  // Program exit: checks under way report nothing more and new ones do not start. Cancel the
  // fetches afterwards (FetchClient::Close) so that the workers return.
  void CancelAll();

  const CheckTarget& Target() const { return target_; }

 private:
  // `records`: "address:port" of each row, in row order.
  void StartRecords(ValidationTaskTable::Records records, int threads);

  // Pool routine: checks the proxy of task `number` (1-based) of the current table. Blocks its
  // worker up to the check deadline.
  void CheckTask(std::int32_t number);
  bool Cancelled() const { return cancelled_.load(std::memory_order_acquire); }

  WorkerPool& pool_;
  http::FetchClient& fetcher_;
  const CheckTarget target_;
  const Events events_;
  ValidationTaskTable tasks_;
  std::atomic<bool> cancelled_{false};
  mutable std::mutex strict_mutex_;
  std::shared_ptr<const StrictRule> strict_ = std::make_shared<const StrictRule>();
};

}  // namespace lumvex
