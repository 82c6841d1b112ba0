// Runs many transfers at once on one thread over a curl multi handle, each with a deadline at
// which it is torn down (its socket closed), so that thousands of fetches cost one thread.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "http/curl_transfer.h"

namespace lumvex::http {

class FetchDriver {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Outcome { kFinished, kDeadline, kCancelled };
  // Runs on the driver thread (or inline in Submit once the driver has shut down). `code` is
  // curl's result for kFinished. Keep it short: every other transfer waits meanwhile.
  using Completion = std::function<void(Outcome outcome, CURLcode code, CurlTransfer& transfer)>;

  FetchDriver();
  ~FetchDriver();  // Shutdown()
  FetchDriver(const FetchDriver&) = delete;
  FetchDriver& operator=(const FetchDriver&) = delete;

  // Hands the transfer over; from here on only the driver thread touches it. Called on the
  // driver thread itself (from a completion), the transfer starts at once, without the queue.
  void Submit(std::unique_ptr<CurlTransfer> transfer, Clock::time_point deadline, Completion done);

  // Runs `call` on the driver thread at `when` (or soon after); dropped at shutdown. For work that
  // must wait without holding a thread, such as a retry.
  void After(Clock::time_point when, std::function<void()> call);

  // Cancels every transfer (each completes with kCancelled) and joins the thread. Later
  // submissions complete with kCancelled at once.
  void Shutdown();

 private:
  struct Job {
    std::unique_ptr<CurlTransfer> transfer;
    Clock::time_point deadline;
    Completion done;
    std::multimap<Clock::time_point, Job*>::iterator timer;
  };

  void Run();
  void Start(std::unique_ptr<Job> job);
  void RunDueCalls();
  void CollectFinished();
  void ExpireDeadlines();
  void Finish(CURL* easy, Outcome outcome, CURLcode code);
  int WaitMs();

  CURLM* multi_ = nullptr;
  std::mutex mutex_;
  std::vector<std::unique_ptr<Job>> incoming_;  // guarded by mutex_
  std::multimap<Clock::time_point, std::function<void()>> delayed_;  // guarded by mutex_
  bool stopping_ = false;                       // guarded by mutex_
  std::thread thread_;

  // Driver thread only.
  std::unordered_map<CURL*, std::unique_ptr<Job>> active_;
  std::multimap<Clock::time_point, Job*> timers_;
};

}  // namespace lumvex::http
