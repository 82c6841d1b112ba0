#include "acquire/cancel_signal.h"

#include <utility>

namespace lumvex {

void CancelSignal::Raise() {
  {
    std::lock_guard lock(core_->mutex);
    core_->raised.store(true);
  }
  core_->changed.notify_all();
}

bool CancelSignal::Watch::Begin() const {
  std::lock_guard lock(core_->mutex);
  if (core_->raised.load()) return false;
  ++core_->working;
  return true;
}

void CancelSignal::Watch::End() const {
  {
    std::lock_guard lock(core_->mutex);
    --core_->working;
  }
  core_->changed.notify_all();
}

bool CancelSignal::WaitWatchersDone(std::chrono::milliseconds bound) {
  std::unique_lock lock(core_->mutex);
  return core_->changed.wait_for(lock, bound, [this] { return core_->working == 0; });
}

bool CancelSignal::Pause(std::chrono::milliseconds duration) {
  std::unique_lock lock(core_->mutex);
  return !core_->changed.wait_for(lock, duration, [this] { return Raised(); });
}

std::optional<http::FetchResult> CancelSignal::FetchPage(http::FetchClient& client, std::string url,
                                                         const http::FetchOptions& options) {
  struct Wait {
    bool done = false;
    http::FetchResult result;
  };
  auto wait = std::make_shared<Wait>();
  client.FetchPageAsync(url, options, [core = core_, wait](http::FetchResult result) {
    std::lock_guard lock(core->mutex);
    wait->result = std::move(result);
    wait->done = true;
    core->changed.notify_all();
  });
  std::unique_lock lock(core_->mutex);
  core_->changed.wait(lock, [&] { return wait->done || Raised(); });
  if (!wait->done) return std::nullopt;
  return std::move(wait->result);
}

}  // namespace lumvex
