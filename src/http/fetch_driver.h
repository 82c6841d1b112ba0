// Runs many transfers at once on one thread over a curl multi handle, each with a deadline at
// which it is torn down (its socket closed), so that thousands of fetches cost one thread. The
// thread waits in epoll and hands curl only the sockets that are ready (curl's socket interface),
// so the work per event does not grow with the number of transfers in flight.
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

  // Hands the transfer over; from here on only the driver thread touches it until its completion
  // has run (a caller that keeps a share of it reads it after that). Called on the driver thread
  // itself (from a completion), the transfer starts at once, without the queue.
  void Submit(std::shared_ptr<CurlTransfer> transfer, Clock::time_point deadline, Completion done);

  // Runs `call` on the driver thread at `when` (or soon after); dropped at shutdown. For work that
  // must wait without holding a thread, such as a retry.
  void After(Clock::time_point when, std::function<void()> call);

  // Cancels every transfer (each completes with kCancelled) and joins the thread. Later
  // submissions complete with kCancelled at once.
  void Shutdown();

 private:
  struct Job {
    std::shared_ptr<CurlTransfer> transfer;
    Clock::time_point deadline;
    Completion done;
    std::multimap<Clock::time_point, Job*>::iterator timer;
  };

  static int OnSocket(CURL* easy, curl_socket_t socket, int what, void* user, void* socket_data);
  static int OnTimer(CURLM* multi, long timeout_ms, void* user);

  void Run();
  void Wake();
  void Start(std::unique_ptr<Job> job);
  // Hands curl the sockets epoll found ready and its timeout when due (waits up to `wait_ms`).
  void Drive(int wait_ms);
  void CollectFinished();
  void ExpireDeadlines();
  void RunDueCalls();
  void Finish(CURL* easy, Outcome outcome, CURLcode code);
  int WaitMs();

  CURLM* multi_ = nullptr;
  int epoll_fd_ = -1;
  int wake_fd_ = -1;  // an eventfd: Submit, After and Shutdown end the driver's wait
  std::mutex mutex_;
  std::vector<std::unique_ptr<Job>> incoming_;                       // guarded by mutex_
  std::multimap<Clock::time_point, std::function<void()>> delayed_;  // guarded by mutex_
  bool stopping_ = false;                                            // guarded by mutex_
  std::thread thread_;

  // Driver thread only.
  std::unordered_map<CURL*, std::unique_ptr<Job>> active_;
  std::multimap<Clock::time_point, Job*> timers_;
  bool curl_timer_set_ = false;  // curl wants CURL_SOCKET_TIMEOUT at curl_timer_
  Clock::time_point curl_timer_;
};

}  // namespace lumvex::http
