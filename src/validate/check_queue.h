// Numbered tasks run a limited number at a time, in the order they were queued: curl's "N at a
// time" pattern. A task that ends starts the next one on the thread it ended on, so a run of
// thousands of checks needs no thread of its own. The queue knows nothing of what a task does.
//
// A round lasts from the Add that finds none running to Stop. Tasks are told their round, and
// report their end with it: a task of an earlier round ends without starting anything, so a new
// round gets its whole limit at once.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace lumvex {

class CheckQueue {
 public:
  // Most tasks in flight at once; a larger limit is cut to it.
  static constexpr int kMaxLimit = 10000;

  // Starts task `number` of round `round`. It must not block, and must end the task with
  // exactly one Done(round) or Requeue(round, number), on any thread, perhaps before it returns.
  using Launch = std::function<void(std::int32_t number, std::uint64_t round)>;

  explicit CheckQueue(Launch launch);
  CheckQueue(const CheckQueue&) = delete;
  CheckQueue& operator=(const CheckQueue&) = delete;

  // Queues the tasks 1..count. Without a round running it begins one with at most `limit` in
  // flight (none for 0 or less); a running round keeps its limit and queues these after its own.
  // Starts nothing: call Pump, on the thread that should make the first starts.
  void Add(std::int32_t count, int limit);
  // Starts queued tasks of the round while it has room. Any thread.
  void Pump();
  // A task of `round` ended.
  void Done(std::uint64_t round);
  // A task of `round` could not begin for want of a resource the tasks in flight hold: it goes
  // back to the front of the queue and the limit drops below what is in flight now (at least 1).
  // Returns the tasks of the round now in flight; with none, nothing restarts it until Pump.
  int Requeue(std::uint64_t round, std::int32_t number);
  // Lowers the round's limit (never raises it).
  void LowerLimit(int limit);
  // Ends the round: the queued tasks are dropped, those in flight still end.
  void Stop();
  // Stop, and no task starts again.
  void Cancel();

  bool Running() const;
  // Tasks in flight, of every round.
  int InFlight() const;
  // The running round's limit; 0 when none runs.
  int Limit() const;

 private:
  const Launch launch_;
  mutable std::mutex mutex_;
  std::deque<std::int32_t> queue_;
  std::uint64_t round_ = 0;
  bool running_ = false;
  bool cancelled_ = false;
  bool pumping_ = false;  // a Pump is starting tasks; others leave the starts to it
  int limit_ = 0;
  int in_flight_ = 0;        // of the current round
  int in_flight_total_ = 0;  // of every round
};

}  // namespace lumvex
