// Hands the table pages of a source-A harvest over one at a time, one interval apart, from a
// thread of its own: the UI thread never waits for the pacing.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace lumvex {

class PagePacer {
 public:
  // Submits page `page` (1-based); false drops the rest of that schedule.
  using Submit = std::function<bool(int page)>;

  explicit PagePacer(std::chrono::milliseconds interval);
  ~PagePacer();  // Stop
  PagePacer(const PagePacer&) = delete;
  PagePacer& operator=(const PagePacer&) = delete;

  // Pages 1..count: page i is submitted i intervals from now, on the pacer's thread. Several
  // schedules run side by side. Returns the schedule's number (0 once stopped or when the system
  // refuses the thread).
  std::uint64_t Add(int count, Submit submit);
  // Drops the pages of a schedule not yet submitted (a page being submitted finishes).
  void Cancel(std::uint64_t schedule);
  // Schedules still holding pages.
  int Pending() const;
  // Drops everything and joins the thread. Later Adds do nothing.
  void Stop();

 private:
  struct Schedule {
    std::uint64_t id;
    int next_page;
    int count;
    std::chrono::steady_clock::time_point due;
    Submit submit;
  };
  void Loop();

  const std::chrono::milliseconds interval_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<Schedule> schedules_;
  std::uint64_t next_id_ = 1;
  bool stopped_ = false;
  std::thread thread_;
};

}  // namespace lumvex
