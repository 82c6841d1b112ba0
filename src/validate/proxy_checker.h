// The check of one proxy: the pool task of a validation run (CheckProxyTask) and the list's
// context-menu check of the current row (CheckCurrentProxy). Each writes the row's check state
// (running, then the verdict with its seconds, status and bytes); the list derives the colour.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "http/fetch_client.h"
#include "platform/ui_thread.h"
#include "proxylist/proxy_list.h"
#include "validate/proxy_check.h"
#include "validate/strict_check.h"
#include "validate/validation_task_table.h"

namespace lumvex {

class ProxyChecker {
 public:
  // Everything passed in must outlive the checker.
  ProxyChecker(UiThread& ui, ProxyList& list, http::FetchClient& fetcher, CheckTarget target);
  // Menu-check results still on their way to the UI thread are dropped.
  ~ProxyChecker();
  ProxyChecker(const ProxyChecker&) = delete;
  ProxyChecker& operator=(const ProxyChecker&) = delete;

  ValidationTaskTable& Tasks() { return tasks_; }
  const CheckTarget& Target() const { return target_; }

  // Pool routine: checks the proxy of task `row_number` (1-based) of the current table and
  // writes the verdict into row row_number - 1. Blocks its worker up to the check deadline.
  void CheckProxyTask(std::int32_t row_number);

  // UI thread: starts the check of the current row and returns at once; the verdict is written
  // when the answer or the deadline comes. Without a current row it does nothing.
  void CheckCurrentProxy();

  // Program exit: checks that are under way write nothing more and new ones do not start. Cancel
  // the fetches afterwards (FetchClient::Close) so that the workers return.
  void CancelAll();

  // The strict rule of the pool checks (settings, or `lumvexip check --expect`); it applies from
  // the next check on. Any thread.
  void SetStrictRule(StrictRule rule);

 private:
  // Shared with the completions of menu checks, which may arrive after the checker is gone.
  struct Lifetime {
    std::mutex mutex;
    bool alive = true;
  };

  bool Cancelled() const { return cancelled_.load(std::memory_order_acquire); }

  UiThread& ui_;
  ProxyList& list_;
  http::FetchClient& fetcher_;
  const CheckTarget target_;
  ValidationTaskTable tasks_;
  std::atomic<bool> cancelled_{false};
  std::shared_ptr<Lifetime> lifetime_ = std::make_shared<Lifetime>();
  mutable std::mutex strict_mutex_;
  std::shared_ptr<const StrictRule> strict_ = std::make_shared<const StrictRule>();
};

}  // namespace lumvex
