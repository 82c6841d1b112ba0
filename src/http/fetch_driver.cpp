#include "http/fetch_driver.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "http/curl_global.h"

namespace lumvex::http {
namespace {

// The driver also wakes this often with nothing to do, so a missed wake-up costs little.
constexpr int kLongestWaitMs = 1000;
// Ready sockets taken from epoll in one call.
constexpr int kEventsPerWait = 512;

// The driver whose thread this is: a submission from its own completion skips the queue.
thread_local const FetchDriver* running_driver = nullptr;

}  // namespace

FetchDriver::FetchDriver() {
  EnsureCurlGlobalInit();
  epoll_fd_ = epoll_create1(EPOLL_CLOEXEC);
  wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  multi_ = curl_multi_init();
  if (!multi_ || epoll_fd_ < 0 || wake_fd_ < 0) {
    if (multi_) curl_multi_cleanup(multi_);
    multi_ = nullptr;
    return;
  }
  epoll_event wake{};
  wake.events = EPOLLIN;
  wake.data.fd = wake_fd_;
  epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, wake_fd_, &wake);
  curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &FetchDriver::OnSocket);
  curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
  curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &FetchDriver::OnTimer);
  curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
  // Every transfer forbids reuse, so a finished connection is closed rather than cached; the
  // cache would otherwise grow with the number of handles (thousands of checks at once).
  curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, 1L);
  thread_ = std::thread([this] { Run(); });
}

FetchDriver::~FetchDriver() {
  Shutdown();
  if (multi_) curl_multi_cleanup(multi_);
  if (epoll_fd_ >= 0) close(epoll_fd_);
  if (wake_fd_ >= 0) close(wake_fd_);
}

void FetchDriver::Wake() {
  const std::uint64_t one = 1;
  // A full counter already means "wake up"; nothing to do when the write fails.
  [[maybe_unused]] const ssize_t written = write(wake_fd_, &one, sizeof one);
}

int FetchDriver::OnSocket(CURL* /*easy*/, curl_socket_t socket, int what, void* user,
                          void* /*socket_data*/) {
  auto* self = static_cast<FetchDriver*>(user);
  if (what == CURL_POLL_REMOVE) {
    epoll_ctl(self->epoll_fd_, EPOLL_CTL_DEL, socket, nullptr);
    return 0;
  }
  epoll_event event{};
  event.data.fd = socket;
  if (what == CURL_POLL_IN || what == CURL_POLL_INOUT) event.events |= EPOLLIN;
  if (what == CURL_POLL_OUT || what == CURL_POLL_INOUT) event.events |= EPOLLOUT;
  if (epoll_ctl(self->epoll_fd_, EPOLL_CTL_MOD, socket, &event) != 0 && errno == ENOENT) {
    epoll_ctl(self->epoll_fd_, EPOLL_CTL_ADD, socket, &event);
  }
  return 0;
}

int FetchDriver::OnTimer(CURLM* /*multi*/, long timeout_ms, void* user) {
  auto* self = static_cast<FetchDriver*>(user);
  self->curl_timer_set_ = timeout_ms >= 0;
  if (timeout_ms >= 0) self->curl_timer_ = Clock::now() + std::chrono::milliseconds(timeout_ms);
  return 0;
}

void FetchDriver::Submit(std::shared_ptr<CurlTransfer> transfer, Clock::time_point deadline,
                         Completion done) {
  auto job = std::make_unique<Job>(Job{std::move(transfer), deadline, std::move(done), {}});
  bool direct = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stopping_ && multi_) {
      direct = running_driver == this;
      if (!direct) {
        const bool was_empty = incoming_.empty();
        incoming_.push_back(std::move(job));
        if (was_empty) Wake();
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
  Wake();
}

void FetchDriver::Shutdown() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
    if (multi_) Wake();
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
    Drive(WaitMs());
    CollectFinished();
    ExpireDeadlines();
    RunDueCalls();
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

void FetchDriver::Drive(int wait_ms) {
  epoll_event events[kEventsPerWait];
  const int ready = epoll_wait(epoll_fd_, events, kEventsPerWait, wait_ms);
  int running = 0;
  for (int i = 0; i < ready; ++i) {
    const int fd = events[i].data.fd;
    if (fd == wake_fd_) {
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t got = read(wake_fd_, &count, sizeof count);
      continue;
    }
    int flags = 0;
    if (events[i].events & EPOLLIN) flags |= CURL_CSELECT_IN;
    if (events[i].events & EPOLLOUT) flags |= CURL_CSELECT_OUT;
    if (events[i].events & (EPOLLERR | EPOLLHUP)) flags |= CURL_CSELECT_ERR;
    curl_multi_socket_action(multi_, fd, flags, &running);
  }
  if (curl_timer_set_ && Clock::now() >= curl_timer_) {
    curl_timer_set_ = false;
    curl_multi_socket_action(multi_, CURL_SOCKET_TIMEOUT, 0, &running);
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
  if (curl_timer_set_) next = std::min(next, curl_timer_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!incoming_.empty()) return 0;
    if (!delayed_.empty()) next = std::min(next, delayed_.begin()->first);
  }
  if (next == Clock::time_point::max()) return kLongestWaitMs;
  auto until = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now());
  return static_cast<int>(std::clamp<long long>(until.count(), 0, kLongestWaitMs));
}

}  // namespace lumvex::http
