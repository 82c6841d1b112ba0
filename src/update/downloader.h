// The download component: one transfer at a time on the fetch client's driver, waited for (with
// the retries and the file's placing) on a thread of its own, progress figures readable from any
// thread, events handed to the UI thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "http/fetch_client.h"
#include "platform/ui_thread.h"
#include "update/download_task.h"

namespace lumvex::update {

class Downloader {
 public:
  // Events are posted to `ui`; transfers run on `client`. Both must outlive the downloader.
  Downloader(UiThread& ui, http::FetchClient& client);
  // Cancels a running transfer and joins its thread.
  ~Downloader();
  Downloader(const Downloader&) = delete;
  Downloader& operator=(const Downloader&) = delete;

  // Begins the transfer in the background and returns at once; false (and no event) while
  // another transfer is still running.
  bool Start(TaskParam task);
  bool Running() const { return running_.load(); }

  // Bytes received by the current (or last) task.
  std::int64_t BytesReceived() const { return received_.load(); }
  // Bytes per second of the task over the last measuring span.
  std::int64_t TaskSpeed() const { return task_speed_.load(); }
  // Bytes per second of the component's transfers since the task began.
  std::int64_t OverallSpeed() const { return overall_speed_.load(); }

  // Cancels the running transfer (its partial file is removed, no event follows) and joins it.
  void Shutdown();

 private:
  class Transfer;
  void Run(TaskParam task);
  void Emit(const TaskParam& task, int code, std::int64_t value);
  // Waits `ms` unless cancelled first; false when cancelled.
  bool Pause(long ms);

  UiThread& ui_;
  http::FetchClient& client_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> cancel_{false};
  std::atomic<std::int64_t> received_{0};
  std::atomic<std::int64_t> task_speed_{0};
  std::atomic<std::int64_t> overall_speed_{0};
  std::mutex pause_mutex_;
  std::condition_variable pause_wake_;
};

}  // namespace lumvex::update
