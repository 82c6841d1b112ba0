// The threads of the harvest (loaders, command threads) and the signal that ends their waits at
// program exit.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "http/fetch_client.h"

namespace lumvex {

// Raised once at program exit. Waits made through it (a pause, a page fetch) end at once then;
// the flag itself goes to the blocking HTTP clients as their cancel flag.
class CancelSignal {
 public:
  void Raise();
  bool Raised() const { return core_->raised.load(std::memory_order_relaxed); }
  const std::atomic<bool>* Flag() const { return &core_->raised; }

  // Waits `duration`; false when the signal was raised before it ran out.
  bool Pause(std::chrono::milliseconds duration);

  // FetchPage that gives up when the signal is raised: nullopt then (the transfer is left to the
  // client, which ends it at its deadline or when it is destroyed).
  std::optional<http::FetchResult> FetchPage(http::FetchClient& client, std::string url,
                                             const http::FetchOptions& options);

 private:
  // Shared with the page fetches' callbacks, which may run after the signal is gone (the client
  // ends an abandoned transfer at its deadline or when it is destroyed).
  struct Core {
    std::atomic<bool> raised{false};
    std::mutex mutex;
    std::condition_variable changed;
  };
  std::shared_ptr<Core> core_ = std::make_shared<Core>();
};

// Threads started for one piece of work each. Finished threads are joined when the next one
// starts; JoinAll waits for the rest with a bound.
class ThreadSet {
 public:
  ThreadSet() = default;
  ~ThreadSet();
  ThreadSet(const ThreadSet&) = delete;
  ThreadSet& operator=(const ThreadSet&) = delete;

  // False when the system refused the thread (the work then does not run) or after JoinAll.
  bool Start(std::function<void()> work);
  // Joins every thread that ends within `timeout`; the others are detached. Later Starts fail.
  // True when every thread ended in time.
  bool JoinAll(std::chrono::milliseconds timeout);
  // Threads started and not yet ended.
  int Running() const;
  // Waits until no thread runs; false on timeout (tests).
  bool WaitIdle(std::chrono::milliseconds timeout) const;

 private:
  // Shared with the threads, so one that is let go at exit never touches a freed set.
  struct Core {
    std::mutex mutex;
    std::condition_variable ended;
    int running = 0;
  };
  struct Entry {
    std::thread thread;
    std::shared_ptr<bool> done;  // guarded by Core::mutex
  };
  void ReapLocked();

  std::shared_ptr<Core> core_ = std::make_shared<Core>();
  std::list<Entry> threads_;  // guarded by core_->mutex
  bool closed_ = false;       // guarded by core_->mutex
};

}  // namespace lumvex
