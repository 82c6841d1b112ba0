#include "platform/work_threads.h"

#include <system_error>
#include <utility>
#include <vector>

namespace lumvex {

WorkThreads::~WorkThreads() { JoinWithin(policy_.exit_bound); }

void WorkThreads::ReapLocked() {
  for (auto it = threads_.begin(); it != threads_.end();) {
    if (*it->done) {
      it->thread.join();
      it = threads_.erase(it);
    } else {
      ++it;
    }
  }
}

bool WorkThreads::Start(std::function<void()> work) {
  // Shared, so the work is still at hand to run here when the thread is refused.
  auto shared_work = std::make_shared<std::function<void()>>(std::move(work));
  {
    std::lock_guard lock(core_->mutex);
    if (closed_) return false;
    ReapLocked();
    auto done = std::make_shared<bool>(false);
    try {
      std::thread thread([core = core_, done, shared_work] {
        (*shared_work)();
        std::lock_guard done_lock(core->mutex);
        *done = true;
        --core->running;
        core->ended.notify_all();
      });
      ++core_->running;
      threads_.push_back(Entry{std::move(thread), done});
      return true;
    } catch (const std::system_error&) {
      if (!policy_.run_refused_inline) return false;
    }
  }
  (*shared_work)();
  return true;
}

bool WorkThreads::JoinWithin(std::optional<std::chrono::milliseconds> bound) {
  std::unique_lock lock(core_->mutex);
  closed_ = true;
  const auto idle = [this] { return core_->running == 0; };
  bool all = true;
  if (bound) {
    all = core_->ended.wait_for(lock, *bound, idle);
  } else {
    core_->ended.wait(lock, idle);
  }
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

bool WorkThreads::Stopping() const {
  std::lock_guard lock(core_->mutex);
  return closed_;
}

int WorkThreads::Running() const {
  std::lock_guard lock(core_->mutex);
  return core_->running;
}

bool WorkThreads::WaitIdle(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(core_->mutex);
  return core_->ended.wait_for(lock, timeout, [this] { return core_->running == 0; });
}

void WorkThreads::WaitIdle() const {
  std::unique_lock lock(core_->mutex);
  core_->ended.wait(lock, [this] { return core_->running == 0; });
}

}  // namespace lumvex
