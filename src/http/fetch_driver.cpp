#include "http/fetch_driver.h"

#include <algorithm>

#include "http/curl_global.h"

namespace lumvex::http {
namespace {

// The driver also wakes this often with nothing to do, so a missed wake-up costs little.
constexpr int kLongestWaitMs = 1000;

// The driver whose thread this is: a submission from its own completion skips the queue.
thread_local const FetchDriver* running_driver = nullptr;

}  // namespace

FetchDriver::FetchDriver() {
  EnsureCurlGlobalInit();
  multi_ = curl_multi_init();
  if (!multi_) return;
  // Every transfer forbids reuse, so a finished connection is closed rather than cached; the
  // cache would otherwise grow with the number of handles (thousands of checks at once).
  curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, 1L);
  thread_ = std::thread([this] { Run(); });
}

FetchDriver::~FetchDriver() {
  Shutdown();
  if (multi_) curl_multi_cleanup(multi_);
}

void FetchDriver::Submit(std::unique_ptr<CurlTransfer> transfer, Clock::time_point deadline,
                         Completion done) {
  auto job = std::make_unique<Job>(Job{std::move(transfer), deadline, std::move(done), {}});
  bool direct = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stopping_ && multi_) {
      direct = running_driver == this;
      if (!direct) {
        incoming_.push_back(std::move(job));
        curl_multi_wakeup(multi_);
        return;
      }
    }
  }
  // A finished transfer starting the next one (a check queue): no queue and no wake-up. This is
  // never inside a curl call (completions run between them), so the multi handle may change.
  if (direct) {
    Start(std::move(job));
    return;
  }
  job->done(Outcome::kCancelled, CURLE_ABORTED_BY_CALLBACK, *job->transfer);
}

void FetchDriver::After(Clock::time_point when, std::function<void()> call) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_ || !multi_) return;
  delayed_.emplace(when, std::move(call));
  curl_multi_wakeup(multi_);
}

void FetchDriver::RunDueCalls() {
  std::vector<std::function<void()>> due;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const Clock::time_point now = Clock::now();
    while (!delayed_.empty() && delayed_.begin()->first <= now) {
      due.push_back(std::move(delayed_.begin()->second));
      delayed_.erase(delayed_.begin());
    }
  }
  for (auto& call : due) call();
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
  running_driver = this;
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
    RunDueCalls();
    curl_multi_poll(multi_, nullptr, 0, WaitMs(), nullptr);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    delayed_.clear();
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

int FetchDriver::WaitMs() {
  Clock::time_point next = Clock::time_point::max();
  if (!timers_.empty()) next = timers_.begin()->first;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!delayed_.empty()) next = std::min(next, delayed_.begin()->first);
  }
  if (next == Clock::time_point::max()) return kLongestWaitMs;
  auto until = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now());
  return static_cast<int>(std::clamp<long long>(until.count(), 0, kLongestWaitMs));
}

}  // namespace lumvex::http
