// The signal that ends the harvest's waits at program exit.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "http/fetch_client.h"

namespace lumvex {

// Raised once at program exit. Waits made through it (a pause, a page fetch) end at once then;
// the flag itself goes to the blocking HTTP clients as their cancel flag.
class CancelSignal {
  struct Core;

 public:
  // What a transfer's completion keeps of the signal: it may run after the signal is gone, and
  // the harvest it works for must not be shut down under it.
  class Watch {
   public:
    // Begins the completion's work unless the signal is raised (false: it touches nothing of the
    // harvest then). Every true is followed by one End.
    bool Begin() const;
    void End() const;

   private:
    friend class CancelSignal;
    explicit Watch(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    std::shared_ptr<Core> core_;
  };

  void Raise();
  bool Raised() const { return core_->raised.load(std::memory_order_relaxed); }
  const std::atomic<bool>* Flag() const { return &core_->raised; }
  Watch Watcher() const { return Watch(core_); }
  // After Raise: waits up to `bound` for the work begun through a Watch to end; false if some
  // still runs then.
  bool WaitWatchersDone(std::chrono::milliseconds bound);

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
    int working = 0;  // Watch work begun and not yet ended
  };
  std::shared_ptr<Core> core_ = std::make_shared<Core>();
};

}  // namespace lumvex
