// UiThread over the Qt event loop of the thread that creates it (the GUI thread).
#pragma once

#include <QMetaMethod>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/ui_thread.h"

class QObject;

namespace lumvex {

// Work from other threads is queued and delivered to the GUI thread through a queued
// QMetaObject::invokeMethod, one event per item, so posted and synchronous work run in the order
// they were handed over. Close() releases every caller still waiting, so a worker blocked here
// never keeps the GUI thread from joining it at shutdown.
class QtUiThread : public UiThread {
 public:
  // Must be constructed on the GUI thread, after the QCoreApplication.
  QtUiThread();
  ~QtUiThread() override;
  QtUiThread(const QtUiThread&) = delete;
  QtUiThread& operator=(const QtUiThread&) = delete;

  bool RunSync(const std::function<void()>& fn) override;
  void Post(std::function<void()> fn) override;
  bool IsUiThread() const override;
  void Close() override;

 private:
  struct Waiter;
  struct Item {
    std::function<void()> posted;                 // set for Post
    const std::function<void()>* sync = nullptr;  // set for RunSync
    std::shared_ptr<Waiter> waiter;
  };

  // Runs on the GUI thread: takes one item from the queue and carries it out.
  void RunOne();
  void Enqueue(Item item);

  std::thread::id ui_thread_id_;
  std::unique_ptr<QObject> receiver_;
  QMetaMethod run_one_;  // receiver_'s RunOne, invoked queued from any thread
  std::mutex mutex_;
  std::deque<Item> queue_;
  bool closed_ = false;
};

}  // namespace lumvex
