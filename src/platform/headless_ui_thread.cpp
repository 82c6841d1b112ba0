#include "platform/headless_ui_thread.h"

#include <future>

namespace lumvex {

HeadlessUiThread::HeadlessUiThread() : thread_([this] { Loop(); }) {}

HeadlessUiThread::~HeadlessUiThread() {
  Close();
  if (thread_.joinable()) thread_.join();
}

void HeadlessUiThread::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return closed_ || !queue_.empty(); });
    if (queue_.empty()) return;  // closed and nothing left
    auto fn = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    fn();
    lock.lock();
  }
}

bool HeadlessUiThread::RunSync(const std::function<void()>& fn) {
  if (IsUiThread()) {
    fn();
    return true;
  }
  std::promise<bool> done;
  auto result = done.get_future();
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    queue_.push_back([&fn, &done] {
      fn();
      done.set_value(true);
    });
  }
  wake_.notify_one();
  return result.get();
}

void HeadlessUiThread::Post(std::function<void()> fn) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    queue_.push_back(std::move(fn));
  }
  wake_.notify_one();
}

bool HeadlessUiThread::IsUiThread() const { return std::this_thread::get_id() == thread_.get_id(); }

void HeadlessUiThread::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  wake_.notify_all();
}

void HeadlessUiThread::Drain() {
  if (IsUiThread()) return;
  std::promise<void> done;
  auto result = done.get_future();
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    queue_.push_back([&done] { done.set_value(); });
  }
  wake_.notify_one();
  result.wait();
}

}  // namespace lumvex
