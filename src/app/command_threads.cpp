#include "app/command_threads.h"

#include <system_error>
#include <utility>

namespace lumvex {

CommandThreads::~CommandThreads() { JoinAll(); }

void CommandThreads::ReapFinishedLocked(std::list<std::thread>& out) {
  for (const std::thread::id id : finished_) {
    for (auto it = threads_.begin(); it != threads_.end(); ++it) {
      if (it->get_id() == id) {
        out.splice(out.end(), threads_, it);
        break;
      }
    }
  }
  finished_.clear();
}

bool CommandThreads::Start(std::function<void()> work) {
  std::list<std::thread> done;
  bool started = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return false;
    ReapFinishedLocked(done);
    ++running_;
    try {
      threads_.emplace_back([this, work] {
        work();
        std::lock_guard<std::mutex> inner(mutex_);
        finished_.push_back(std::this_thread::get_id());
        if (--running_ == 0) idle_.notify_all();
      });
      started = true;
    } catch (const std::system_error&) {
      --running_;
    }
  }
  // Threads that had ended are joined outside the lock (their last step takes it).
  for (std::thread& t : done) t.join();
  if (!started) work();
  return true;
}

void CommandThreads::WaitIdle() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return running_ == 0; });
}

void CommandThreads::JoinAll() {
  std::list<std::thread> all;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    all.swap(threads_);
    finished_.clear();
  }
  for (std::thread& t : all) {
    if (t.joinable()) t.join();
  }
}

bool CommandThreads::Stopping() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stopping_;
}

}  // namespace lumvex
