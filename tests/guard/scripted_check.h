// A proxy check for the guard's tests whose answers the test gives: every check started is
// queued, and the test answers it (or never does) when it likes.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "sysproxy/proxy_guard.h"

namespace lumvex::testing {

class ScriptedCheck {
 public:
  ProxyGuard::Check AsCheck() {
    return [this](const std::string& address, std::function<void(bool)> done) {
      std::lock_guard lock(mutex_);
      started_.push_back(address);
      pending_.push_back(std::move(done));
      wake_.notify_all();
    };
  }

  // Waits until `count` checks have been started in all; false after 20 s.
  bool WaitForStarted(std::size_t count) {
    std::unique_lock lock(mutex_);
    return wake_.wait_for(lock, std::chrono::seconds(20), [&] { return started_.size() >= count; });
  }
  // Answers the oldest unanswered check (false when there is none).
  bool Answer(bool relayed) {
    std::function<void(bool)> done;
    {
      std::lock_guard lock(mutex_);
      if (pending_.empty()) return false;
      done = std::move(pending_.front());
      pending_.pop_front();
    }
    done(relayed);
    return true;
  }
  // Waits for check number `number` (1-based) to start, then answers it.
  bool AnswerCheck(std::size_t number, bool relayed) {
    return WaitForStarted(number) && Answer(relayed);
  }
  std::vector<std::string> Started() {
    std::lock_guard lock(mutex_);
    return started_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<std::string> started_;
  std::deque<std::function<void(bool)>> pending_;
};

}  // namespace lumvex::testing
