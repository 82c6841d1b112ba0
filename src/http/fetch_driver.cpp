#include "http/fetch_driver.h"

#include <algorithm>

#include "http/curl_global.h"

namespace lumvex::http {
namespace {

// The driver also wakes this often with nothing to do, so a missed wake-up costs little.
constexpr int kLongestWaitMs = 1000;

}  // namespace

FetchDriver::FetchDriver() {
  EnsureCurlGlobalInit();
  multi_ = curl_multi_init();
  if (multi_) thread_ = std::thread([this] { Run(); });
}

FetchDriver::~FetchDriver() {
  Shutdown();
  if (multi_) curl_multi_cleanup(multi_);
}

void FetchDriver::Submit(std::unique_ptr<CurlTransfer> transfer, Clock::time_point deadline,
                         Completion done) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stopping_ && multi_) {
      incoming_.push_back(
          std::make_unique<Job>(Job{std::move(transfer), deadline, std::move(done), {}}));
      curl_multi_wakeup(multi_);
      return;
    }
  }
  done(Outcome::kCancelled, CURLE_ABORTED_BY_CALLBACK, *transfer);
}

void FetchDriver::Shutdown() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
    if (multi_) curl_multi_wakeup(multi_);
  }
  if (thread_.joinable()) thread_.join();
}

void FetchDriver::Run() {
  for (;;) {
    std::vector<std::unique_ptr<Job>> fresh;
    bool stop = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      fresh.swap(incoming_);
      stop = stopping_;
    }
    for (auto& job : fresh) {
      if (stop) {
        job->done(Outcome::kCancelled, CURLE_ABORTED_BY_CALLBACK, *job->transfer);
      } else {
        Start(std::move(job));
      }
    }
    if (stop) break;
    int running = 0;
    curl_multi_perform(multi_, &running);
    CollectFinished();
    ExpireDeadlines();
    curl_multi_poll(multi_, nullptr, 0, WaitMs(), nullptr);
  }
  while (!active_.empty()) {
    CURL* easy = active_.begin()->first;
    curl_multi_remove_handle(multi_, easy);
    Finish(easy, Outcome::kCancelled, CURLE_ABORTED_BY_CALLBACK);
  }
}

void FetchDriver::Start(std::unique_ptr<Job> job) {
  if (Clock::now() >= job->deadline) {
    job->done(Outcome::kDeadline, CURLE_OPERATION_TIMEDOUT, *job->transfer);
    return;
  }
  CURL* easy = job->transfer->handle();
  if (curl_multi_add_handle(multi_, easy) != CURLM_OK) {
    job->done(Outcome::kFinished, CURLE_FAILED_INIT, *job->transfer);
    return;
  }
  job->timer = timers_.emplace(job->deadline, job.get());
  active_.emplace(easy, std::move(job));
}

void FetchDriver::CollectFinished() {
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
    if (message->msg != CURLMSG_DONE) continue;
    // The message dies with remove_handle; take what it says first.
    CURL* easy = message->easy_handle;
    CURLcode code = message->data.result;
    auto it = active_.find(easy);
    if (it == active_.end()) continue;
    curl_multi_remove_handle(multi_, easy);
    if (code == CURLE_OK && Clock::now() < it->second->deadline &&
        it->second->transfer->PrepareRedirect() &&
        curl_multi_add_handle(multi_, easy) == CURLM_OK) {
      continue;
    }
    Finish(easy, Outcome::kFinished, code);
  }
}

void FetchDriver::ExpireDeadlines() {
  Clock::time_point now = Clock::now();
  while (!timers_.empty() && timers_.begin()->first <= now) {
    CURL* easy = timers_.begin()->second->transfer->handle();
    curl_multi_remove_handle(multi_, easy);
    Finish(easy, Outcome::kDeadline, CURLE_OPERATION_TIMEDOUT);
  }
}

void FetchDriver::Finish(CURL* easy, Outcome outcome, CURLcode code) {
  auto it = active_.find(easy);
  if (it == active_.end()) return;
  std::unique_ptr<Job> job = std::move(it->second);
  active_.erase(it);
  timers_.erase(job->timer);
  job->done(outcome, code, *job->transfer);
  // The job (and with it the easy handle and its socket) ends here.
}

int FetchDriver::WaitMs() const {
  if (timers_.empty()) return kLongestWaitMs;
  auto until = std::chrono::ceil<std::chrono::milliseconds>(timers_.begin()->first - Clock::now());
  return static_cast<int>(std::clamp<long long>(until.count(), 0, kLongestWaitMs));
}

}  // namespace lumvex::http
