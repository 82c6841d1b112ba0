// Threads started for one command each (import, paste, the two cleanup tasks, an import from a
// web address). The owner joins them all before the objects they use go away.
#pragma once

#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

namespace lumvex {

class CommandThreads {
 public:
  CommandThreads() = default;
  // Joins every thread (see JoinAll).
  ~CommandThreads();
  CommandThreads(const CommandThreads&) = delete;
  CommandThreads& operator=(const CommandThreads&) = delete;

  // Runs `work` on a new thread. When the system refuses a thread, `work` runs on the calling
  // thread instead, so the command still happens. After JoinAll has begun nothing more starts
  // and false is returned.
  bool Start(std::function<void()> work);

  // Blocks until every thread started so far has ended (tests wait on this).
  void WaitIdle();
  // Program exit: refuses new work and joins every thread. The work must end on its own once
  // the UiThread is closed (its hand-overs then return at once). Safe to call more than once.
  void JoinAll();
  // True once JoinAll has begun; long work may check it to end early.
  bool Stopping() const;

 private:
  void ReapFinishedLocked(std::list<std::thread>& out);

  mutable std::mutex mutex_;
  std::condition_variable idle_;
  int running_ = 0;
  bool stopping_ = false;
  std::list<std::thread> threads_;
  std::list<std::thread::id> finished_;
};

}  // namespace lumvex
