// The proxy guard: on a thread of its own it re-checks the active system proxy through itself at a
// fixed interval and reports when two checks in a row have failed. What to do then (move on to
// another proxy, switch off) is the owner's: the guard only watches.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace lumvex {

class ProxyGuard {
 public:
  // Starts a check of `address` and calls `done(relayed)` once, from any thread, possibly after
  // the guard has stopped or moved on (the answer is then ignored). It must not block for long:
  // a blocking check would keep Stop waiting.
  using Check = std::function<void(const std::string& address, std::function<void(bool)> done)>;
  // Called on the guard's thread after two failed checks in a row of `address`. Must not wait
  // for the thread that calls Stop or Guard (hand the work over with UiThread::Post). The guard
  // checks no more until Guard names the next address, or until Stop.
  using FailureHandler = std::function<void(const std::string& address)>;

  // Two failures in a row mean the proxy is gone.
  static constexpr int kFailuresToSwitch = 2;
  // Time between two checks of the guarded proxy.
  static constexpr std::chrono::milliseconds kDefaultInterval{60000};

  ProxyGuard(Check check, FailureHandler on_failed,
             std::chrono::milliseconds interval = kDefaultInterval);
  // Stops.
  ~ProxyGuard();
  ProxyGuard(const ProxyGuard&) = delete;
  ProxyGuard& operator=(const ProxyGuard&) = delete;

  // Guards `address` from now on: starts the thread when it is not running, otherwise moves on
  // to the new address (the failure count starts again at zero, a check in flight is dropped).
  // The first check comes one interval later. Guarding the address already guarded changes
  // nothing, except that a guard waiting after a failure report starts checking again.
  void Guard(const std::string& address);
  // Ends the thread at once: a check in flight is abandoned. Does nothing when not running.
  // Not from the thread's own FailureHandler.
  void Stop();

  bool Running() const;
  // The address being guarded; empty when not running.
  std::string Address() const;
  // Checks whose answer was counted since construction (tests wait on it).
  std::uint64_t ChecksCounted() const;

 private:
  // Shared with the answers of checks, which may arrive after the guard is gone.
  struct Shared {
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    std::uint64_t generation = 0;  // bumped by every Guard call that changes something
    std::string address;
    bool paused = false;  // a failure was reported; waiting for the next address
    std::uint64_t awaited_check = 0;
    bool answered = false;
    bool relayed = false;
    std::uint64_t counted = 0;
  };

  void Loop();
  // Starts one check of `address` and waits for its answer; nullopt when the guard stopped or
  // moved on meanwhile. Called and returns with `lock` held.
  std::optional<bool> CheckOnce(std::unique_lock<std::mutex>& lock, const std::string& address,
                                std::uint64_t generation);

  const Check check_;
  const FailureHandler on_failed_;
  const std::chrono::milliseconds interval_;
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
  std::uint64_t next_check_ = 0;  // guard thread only
  std::thread thread_;
};

}  // namespace lumvex
