// The hand-over to the thread that owns the view-model and the proxy list.
#pragma once

#include <functional>

namespace lumvex {

// Every ProxyList and view-model operation called from another thread goes through RunSync, so
// each one is a single atomic step on the UI thread.
class UiThread {
 public:
  virtual ~UiThread() = default;

  // Runs `fn` on the UI thread and waits for it to finish; runs it inline when already there.
  // Returns false without running `fn` once the thread has been closed.
  virtual bool RunSync(const std::function<void()>& fn) = 0;

  // Queues `fn` to run on the UI thread later; dropped once closed.
  virtual void Post(std::function<void()> fn) = 0;

  virtual bool IsUiThread() const = 0;

  // After Close, RunSync and Post return at once without running anything (shutdown).
  virtual void Close() = 0;
};

}  // namespace lumvex
