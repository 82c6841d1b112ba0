#include "validate/check_queue.h"

#include <algorithm>
#include <utility>

namespace lumvex {

CheckQueue::CheckQueue(Launch launch) : launch_(std::move(launch)) {}

void CheckQueue::Add(std::int32_t count, int limit) {
  std::lock_guard lock(mutex_);
  if (cancelled_) return;
  if (!running_) {
    running_ = true;
    ++round_;
    queue_.clear();
    in_flight_ = 0;
    limit_ = std::clamp(limit, 0, kMaxLimit);
  }
  // A limit of none queues nothing: no task would ever take them.
  if (limit_ == 0) return;
  for (std::int32_t number = 1; number <= count; ++number) queue_.push_back(number);
}

void CheckQueue::Pump() {
  std::unique_lock lock(mutex_);
  // One pump at a time: a task ending meanwhile (on this thread or another) leaves its successor
  // to the loop below, which looks at the room again after every start. So a task that ends
  // inline never recurses, and the starts keep the queue's order.
  if (pumping_) return;
  pumping_ = true;
  while (running_ && !cancelled_ && !queue_.empty() && in_flight_ < limit_) {
    const std::int32_t number = queue_.front();
    queue_.pop_front();
    ++in_flight_;
    ++in_flight_total_;
    const std::uint64_t round = round_;
    lock.unlock();
    launch_(number, round);
    lock.lock();
  }
  pumping_ = false;
}

void CheckQueue::Done(std::uint64_t round) {
  {
    std::lock_guard lock(mutex_);
    --in_flight_total_;
    if (round != round_) return;
    --in_flight_;
  }
  Pump();
}

int CheckQueue::Requeue(std::uint64_t round, std::int32_t number) {
  std::lock_guard lock(mutex_);
  --in_flight_total_;
  if (round != round_) return 0;
  --in_flight_;
  if (!running_ || cancelled_) return in_flight_;
  queue_.push_front(number);
  // The tasks in flight hold what this one lacked; a tenth fewer leaves some for the rest of
  // the program.
  limit_ = std::max(1, std::min(limit_, in_flight_ - in_flight_ / 10));
  return in_flight_;
}

void CheckQueue::LowerLimit(int limit) {
  std::lock_guard lock(mutex_);
  if (running_ && limit_ > 0) limit_ = std::clamp(limit, 1, limit_);
}

void CheckQueue::Stop() {
  std::deque<std::int32_t> dropped;
  std::lock_guard lock(mutex_);
  running_ = false;
  limit_ = 0;
  dropped.swap(queue_);
}

void CheckQueue::Cancel() {
  std::lock_guard lock(mutex_);
  cancelled_ = true;
  running_ = false;
  limit_ = 0;
  queue_.clear();
}

bool CheckQueue::Running() const {
  std::lock_guard lock(mutex_);
  return running_;
}

int CheckQueue::InFlight() const {
  std::lock_guard lock(mutex_);
  return in_flight_total_;
}

int CheckQueue::Limit() const {
  std::lock_guard lock(mutex_);
  return limit_;
}

}  // namespace lumvex
