// A time limit on a step of a connection: when it passes before the step is over, `on_expiry`
// runs (it closes the socket the step waits on, which ends the wait with an error).
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "gateway/asio.h"

namespace lumvex::gateway {

class Deadline {
 public:
  Deadline(const asio::any_io_executor& executor, std::chrono::steady_clock::duration limit,
           std::function<void()> on_expiry)
      : timer_(executor), state_(std::make_shared<State>()) {
    state_->on_expiry = std::move(on_expiry);
    timer_.expires_after(limit);
    // The handler may already be queued when the step ends; the shared state tells it the step
    // (and whatever on_expiry touches) is gone.
    timer_.async_wait([state = state_](const ErrorCode& error) {
      if (error || !state->armed) return;
      state->passed = true;
      state->on_expiry();
    });
  }
  ~Deadline() { Disarm(); }
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;

  // The step is over: nothing runs any more.
  void Disarm() {
    state_->armed = false;
    timer_.cancel();
  }
  bool Passed() const { return state_->passed; }

 private:
  struct State {
    std::function<void()> on_expiry;
    bool armed = true;
    bool passed = false;
  };
  asio::steady_timer timer_;
  std::shared_ptr<State> state_;
};

// Seconds as a steady-clock duration.
inline std::chrono::steady_clock::duration SecondsOf(double seconds) {
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(seconds > 0 ? seconds : 0));
}

}  // namespace lumvex::gateway
