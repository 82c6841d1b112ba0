#include "acquire/harvest_threads.h"

#include <system_error>
#include <utility>
#include <vector>

namespace lumvex {

void CancelSignal::Raise() {
  {
    std::lock_guard lock(core_->mutex);
    core_->raised.store(true);
  }
  core_->changed.notify_all();
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

ThreadSet::~ThreadSet() { JoinAll(std::chrono::milliseconds(2000)); }

void ThreadSet::ReapLocked() {
  for (auto it = threads_.begin(); it != threads_.end();) {
    if (*it->done) {
      it->thread.join();
      it = threads_.erase(it);
    } else {
      ++it;
    }
  }
}

bool ThreadSet::Start(std::function<void()> work) {
  std::lock_guard lock(core_->mutex);
  if (closed_) return false;
  ReapLocked();
  auto done = std::make_shared<bool>(false);
  try {
    std::thread thread([core = core_, done, work = std::move(work)] {
      work();
      std::lock_guard done_lock(core->mutex);
      *done = true;
      --core->running;
      core->ended.notify_all();
    });
    ++core_->running;
    threads_.push_back(Entry{std::move(thread), done});
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

bool ThreadSet::JoinAll(std::chrono::milliseconds timeout) {
  std::unique_lock lock(core_->mutex);
  closed_ = true;
  const bool all = core_->ended.wait_for(lock, timeout, [this] { return core_->running == 0; });
  std::list<Entry> threads = std::move(threads_);
  threads_.clear();
  std::vector<bool> ended;
  for (const Entry& entry : threads) ended.push_back(*entry.done);
  lock.unlock();
  std::size_t i = 0;
  for (Entry& entry : threads) {
    // A thread still inside its work after the bound is let go; it touches only the shared core.
    if (ended[i++]) {
      entry.thread.join();
    } else {
      entry.thread.detach();
    }
  }
  return all;
}

int ThreadSet::Running() const {
  std::lock_guard lock(core_->mutex);
  return core_->running;
}

bool ThreadSet::WaitIdle(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(core_->mutex);
  return core_->ended.wait_for(lock, timeout, [this] { return core_->running == 0; });
}

}  // namespace lumvex
