// Polls a condition until it holds, for tests that wait on other threads. The timeout only keeps a
// broken case from hanging the run; no test measures time with it.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace lumvex::testing {

// Polls `condition` every 5 ms; false when it still does not hold after `timeout`.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace lumvex::testing
