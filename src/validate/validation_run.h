// The checks of a validation run: every proxy of a list checked with the validation address (or
// the strict rule's), a limited number at a time as transfers on the fetch driver, each verdict
// reported as a typed check state. The window's validation run and `lumvexip check` both run
// their checks through it; what a verdict means to each (a row's state and the counters, a
// printed line) is the caller's.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "http/fetch_client.h"
#include "proxylist/check_state.h"
#include "proxylist/compact_row.h"
#include "proxylist/proxy_entry.h"
#include "validate/check_queue.h"
#include "validate/proxy_check.h"
#include "validate/strict_check.h"
#include "validate/validation_task_table.h"

namespace lumvex {

class ValidationRun {
 public:
  // Checks at once unless the settings or `--threads` give another number.
  static constexpr int kDefaultThreads = 20;
  // The most checks at once.
  static constexpr int kMaxThreads = CheckQueue::kMaxLimit;
  // Descriptors a run leaves free for the rest of the program (list and settings files, pipes,
  // the display, the menu check, a harvest) when it sizes itself to the open-file limit.
  static constexpr std::size_t kReservedDescriptors = 128;

  // Called on the fetch driver's thread (`limited` also on the thread calling Start), one at a
  // time; each must be quick (every transfer waits meanwhile) and must not wait for the UI
  // thread. `row` is the 0-based index of the row given to Start.
  struct Events {
    // The check of `row` begins (may be left empty).
    std::function<void(int row)> started;
    // The check of `row` ended with the verdict `state` (kOk or kFailed, with what was measured
    // and the reason; or kNone with kJudgeBusy when the judge refused it until its deadline).
    std::function<void(int row, const CheckState& state)> finished;
    // The process has too few file descriptors for the checks asked for: from now on at most
    // `limit` run at once. Once per run at most (may be left empty).
    std::function<void(int limit)> limited;
  };

  // `fetcher` and whatever `events` refer to must outlive the run, and the fetcher must be
  // closed (FetchClient::Close) before the run goes: its transfers call back into the run.
  ValidationRun(http::FetchClient& fetcher, CheckTarget target, Events events);
  ValidationRun(const ValidationRun&) = delete;
  ValidationRun& operator=(const ValidationRun&) = delete;

  // Checks the proxy (address:port) of every row of `rows`, in list order, at most `limit` at
  // once (0 or less: none; more than kMaxThreads: kMaxThreads), and returns at once; `rows` need
  // not outlive the call. A second start while a run is on gives the new rows to the running run.
  void Start(const std::vector<ProxyEntry>& rows, int limit);
  void Start(const std::vector<CompactRow>& rows, int limit);
  // Drops the checks not yet begun; those under way still report. Does not wait.
  void Stop();

  // The strict rule (settings, or `lumvexip check --expect`); it applies from the next check on.
  // Any thread.
  void SetStrictRule(StrictRule rule);
  // Program exit: checks under way report nothing more and new ones do not start. Cancel the
  // fetches afterwards (FetchClient::Close).
  void CancelAll();
  bool Cancelled() const { return cancelled_.load(std::memory_order_acquire); }

  // A run is on (started and not stopped).
  bool Running() const { return queue_.Running(); }
  // Checks under way, of this run and of runs stopped before it.
  int InFlight() const { return queue_.InFlight(); }

  const CheckTarget& Target() const { return target_; }

 private:
  // `records`: "address:port" of each row, in row order.
  void StartRecords(ValidationTaskTable::Records records, int limit);
  // How many checks fit in the descriptors the process has left, each needing `each`.
  int DescriptorBudget(int each) const;
  void ReportLimited(int limit);

  // Starts the check of task `number` (1-based) of the current table as a transfer.
  void StartCheck(std::int32_t number, std::uint64_t round);
  // Its verdict came (or its deadline, or the program's exit); `reply` is the last one fetched.
  void OnCheckDone(std::int32_t number, std::uint64_t round,
                   std::chrono::steady_clock::time_point started, const CheckOutcome& outcome,
                   const http::FetchResult& reply);

  http::FetchClient& fetcher_;
  const CheckTarget target_;
  const Events events_;
  ValidationTaskTable tasks_;
  CheckQueue queue_;
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> limited_reported_{false};
  mutable std::mutex strict_mutex_;
  std::shared_ptr<const StrictRule> strict_ = std::make_shared<const StrictRule>();
};

}  // namespace lumvex
