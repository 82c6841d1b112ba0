#include "acquire/page_pacer.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace lumvex {

PagePacer::PagePacer(std::chrono::milliseconds interval) : interval_(interval) {}

PagePacer::~PagePacer() { Stop(); }

std::uint64_t PagePacer::Add(int count, Submit submit) {
  std::lock_guard lock(mutex_);
  if (stopped_ || count <= 0) return 0;
  if (!thread_.joinable()) {
    try {
      thread_ = std::thread([this] { Loop(); });
    } catch (const std::system_error&) {
      return 0;
    }
  }
  const std::uint64_t id = next_id_++;
  schedules_.push_back(
      Schedule{id, 1, count, std::chrono::steady_clock::now() + interval_, std::move(submit)});
  wake_.notify_all();
  return id;
}

void PagePacer::Cancel(std::uint64_t schedule) {
  std::lock_guard lock(mutex_);
  std::erase_if(schedules_, [schedule](const Schedule& s) { return s.id == schedule; });
  wake_.notify_all();
}

int PagePacer::Pending() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(schedules_.size());
}

void PagePacer::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    schedules_.clear();
  }
  wake_.notify_all();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void PagePacer::Loop() {
  std::unique_lock lock(mutex_);
  while (!stopped_) {
    if (schedules_.empty()) {
      wake_.wait(lock, [this] { return stopped_ || !schedules_.empty(); });
      continue;
    }
    auto earliest =
        std::min_element(schedules_.begin(), schedules_.end(),
                         [](const Schedule& a, const Schedule& b) { return a.due < b.due; });
    const auto due = earliest->due;
    if (std::chrono::steady_clock::now() < due) {
      wake_.wait_until(lock, due);
      continue;  // re-examine: a schedule may have been added, cancelled, or the pacer stopped
    }
    const std::uint64_t id = earliest->id;
    const int page = earliest->next_page;
    Submit submit = earliest->submit;
    lock.unlock();
    const bool go_on = submit(page);
    lock.lock();
    auto it = std::find_if(schedules_.begin(), schedules_.end(),
                           [id](const Schedule& s) { return s.id == id; });
    if (it == schedules_.end()) continue;
    if (!go_on || page >= it->count) {
      schedules_.erase(it);
    } else {
      it->next_page = page + 1;
      it->due += interval_;
    }
  }
}

}  // namespace lumvex
