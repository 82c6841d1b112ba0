// Threads started for one piece of work each: the harvest's page loaders and the list commands
// (import, paste, the two cleanup tasks, an import from a web address). Finished threads are
// joined when the next one starts; JoinAll ends the set at program exit.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace lumvex {

class WorkThreads {
 public:
  // Where the owners differ.
  struct Policy {
    // When the system refuses a thread: true runs the work on the calling thread instead, so a
    // user's command still happens; false drops it (a harvest loader is simply not started).
    bool run_refused_inline = false;
    // What destruction waits for: threads that end within this bound are joined and the others
    // let go; nullopt waits for every thread.
    std::optional<std::chrono::milliseconds> exit_bound;
  };

  explicit WorkThreads(Policy policy) : policy_(policy) {}
  ~WorkThreads();
  WorkThreads(const WorkThreads&) = delete;
  WorkThreads& operator=(const WorkThreads&) = delete;

  // Runs `work` on a new thread. False after JoinAll has begun (nothing runs then), or when the
  // system refused the thread and the policy drops refused work.
  bool Start(std::function<void()> work);
  // Program exit: refuses new work and joins every thread that ends within `timeout`; the others
  // are detached. True when every thread ended in time.
  bool JoinAll(std::chrono::milliseconds timeout) { return JoinWithin(timeout); }
  // Program exit without a bound: the work must end on its own (a list command's hand-overs
  // return at once once the UiThread is closed). Safe to call more than once.
  void JoinAll() { JoinWithin(std::nullopt); }
  // True once JoinAll has begun; long work may check it to end early.
  bool Stopping() const;
  // Threads started and not yet ended.
  int Running() const;
  // Waits until no thread runs; false on timeout.
  bool WaitIdle(std::chrono::milliseconds timeout) const;
  // Waits until no thread runs, however long it takes (tests).
  void WaitIdle() const;

 private:
  // Shared with the threads, so one that is let go at exit never touches a freed set.
  struct Core {
    std::mutex mutex;
    std::condition_variable ended;
    int running = 0;
  };
  struct Entry {
    std::thread thread;
    std::shared_ptr<bool> done;  // guarded by Core::mutex
  };
  void ReapLocked();
  bool JoinWithin(std::optional<std::chrono::milliseconds> bound);

  const Policy policy_;
  std::shared_ptr<Core> core_ = std::make_shared<Core>();
  std::list<Entry> threads_;  // guarded by core_->mutex
  bool closed_ = false;       // guarded by core_->mutex
};

}  // namespace lumvex
