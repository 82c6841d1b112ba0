// UiThread for tests and the command line: a dedicated thread that runs the handed-over work.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/ui_thread.h"

namespace lumvex {

class HeadlessUiThread : public UiThread {
 public:
  HeadlessUiThread();
  ~HeadlessUiThread() override;
  HeadlessUiThread(const HeadlessUiThread&) = delete;
  HeadlessUiThread& operator=(const HeadlessUiThread&) = delete;

  bool RunSync(const std::function<void()>& fn) override;
  void Post(std::function<void()> fn) override;
  bool IsUiThread() const override;
  void Close() override;

  // Waits until everything posted so far has run (tests use it to observe Post effects).
  void Drain();

 private:
  void Loop();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
  bool closed_ = false;
  std::thread thread_;
};

}  // namespace lumvex
