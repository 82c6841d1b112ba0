// The list's context-menu check of the current row (CheckCurrentProxy): it writes the row's check
// state (running, then the verdict with its seconds, status and bytes); the list derives the
// colour. The checks of a validation run are ValidationRun's.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "http/fetch_client.h"
#include "platform/ui_thread.h"
#include "proxylist/proxy_list.h"
#include "validate/proxy_check.h"

namespace lumvex {

class ProxyChecker {
 public:
  // Everything passed in must outlive the checker.
  ProxyChecker(UiThread& ui, ProxyList& list, http::FetchClient& fetcher, CheckTarget target);
  // Menu-check results still on their way to the UI thread are dropped.
  ~ProxyChecker();
  ProxyChecker(const ProxyChecker&) = delete;
  ProxyChecker& operator=(const ProxyChecker&) = delete;

  const CheckTarget& Target() const { return target_; }

  // UI thread: starts the check of the current row and returns at once; the verdict is written
  // when the answer or the deadline comes. Without a current row it does nothing.
  void CheckCurrentProxy();

  // Program exit: checks that are under way write nothing more and new ones do not start.
  void CancelAll();

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
  std::atomic<bool> cancelled_{false};
  std::shared_ptr<Lifetime> lifetime_ = std::make_shared<Lifetime>();
};

}  // namespace lumvex
