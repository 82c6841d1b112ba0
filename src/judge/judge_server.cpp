#include "judge/judge_server.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "judge/echo_reply.h"
#include "judge/request_head.h"
#include "judge/request_log.h"

namespace lumvex::judge {
namespace {

constexpr std::size_t kReadChunk = 16 * 1024;
constexpr int kAcceptsPerWakeup = 64;  // then the connections already open get their turn
// How often a log stream that cannot be watched is tried again while lines wait.
constexpr int kLogRetryMs = 100;

}  // namespace

JudgeServer::JudgeServer(const JudgeLimits& limits, LogSink log)
    : limits_(limits),
      log_(std::move(log)),
      clients_(limits.rate, limits.max_per_client,
               std::max(limits.max_clients, static_cast<std::size_t>(limits.max_connections) * 2)) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_NONBLOCK | O_CLOEXEC) == 0) {
    wake_read_ = pipe_fds[0];
    wake_write_ = pipe_fds[1];
  }
  epoll_fd_ = epoll_create1(EPOLL_CLOEXEC);
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.fd = wake_read_;
  epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, wake_read_, &event);
}

JudgeServer::~JudgeServer() {
  for (auto& [fd, connection] : connections_) close(fd);
  for (const int fd : {epoll_fd_, wake_read_, wake_write_}) {
    if (fd >= 0) close(fd);
  }
}

std::string JudgeServer::Listen(const SocketAddress& address) {
  if (epoll_fd_ < 0 || wake_read_ < 0) return std::strerror(errno);
  if (std::string why = listener_.Listen(address); !why.empty()) return why;
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.fd = listener_.fd();
  epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, listener_.fd(), &event);
  return {};
}

void JudgeServer::Stop() {
  const char byte = 1;
  // A full pipe already holds a stop; nothing else can fail here that a retry would mend.
  [[maybe_unused]] const ssize_t written = write(wake_write_, &byte, 1);
}

void JudgeServer::Run() {
  std::vector<epoll_event> events(256);
  for (bool stopping = false; !stopping;) {
    WatchLogOutput();
    int timeout_ms = -1;
    if (next_deadline_ != Clock::time_point::max()) {
      const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next_deadline_ - Clock::now());
      timeout_ms = static_cast<int>(std::clamp<long long>(wait.count(), 0, 60000));
    }
    if (log_polled_) timeout_ms = timeout_ms < 0 ? kLogRetryMs : std::min(timeout_ms, kLogRetryMs);
    const int ready =
        epoll_wait(epoll_fd_, events.data(), static_cast<int>(events.size()), timeout_ms);
    if (ready < 0 && errno != EINTR) break;
    for (int i = 0; i < ready; ++i) {
      const int fd = events[i].data.fd;
      if (fd == wake_read_) {
        stopping = true;
      } else if (log_watched_ && fd == log_output_->fd()) {
        log_output_->Flush();
      } else if (fd == listener_.fd()) {
        AcceptSome();
      } else if (auto it = connections_.find(fd); it != connections_.end()) {
        Service(it->second, events[i].events);
      }
    }
    const Clock::time_point now = Clock::now();
    if (now >= next_deadline_) ExpireDeadlines(now);
    if (log_polled_) log_output_->Flush();
  }
  while (!connections_.empty()) Close(connections_.begin()->second);
  if (log_watched_) epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, log_output_->fd(), nullptr);
  log_watched_ = log_polled_ = false;
}

void JudgeServer::WatchLogOutput() {
  if (log_output_ == nullptr) return;
  const bool waiting = log_output_->pending();
  if (waiting == (log_watched_ || log_polled_)) return;
  if (!waiting) {
    if (log_watched_) epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, log_output_->fd(), nullptr);
    log_watched_ = log_polled_ = false;
    return;
  }
  epoll_event event{};
  event.events = EPOLLOUT;
  event.data.fd = log_output_->fd();
  log_watched_ = epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, log_output_->fd(), &event) == 0;
  log_polled_ = !log_watched_;
}

void JudgeServer::Refuse(int fd, const std::string& client) {
  const std::size_t sent = SayBusy(fd);
  close(fd);
  if (log_) log_(LogLine(std::chrono::system_clock::now(), client, {}, {}, 503, sent));
}

void JudgeServer::AcceptSome() {
  for (int i = 0; i < kAcceptsPerWakeup; ++i) {
    const std::optional<Listener::Accepted> accepted = listener_.Accept();
    if (!accepted) return;
    const int fd = accepted->fd;
    const SocketAddress& peer = accepted->peer;
    const Clock::time_point now = Clock::now();
    const std::string key = ClientKey(peer);
    // Past a cap the connection is refused at once rather than left in the backlog: the
    // backlog would fill and make every client, the well-behaved ones too, wait for the
    // kernel's retries; a refusal tells the client at once and costs the judge nothing.
    if (!clients_.Open(key, now)) {
      Refuse(fd, ClientText(peer));
      continue;
    }
    if (connections_.size() >= static_cast<std::size_t>(limits_.max_connections) &&
        !PushOutSlowest()) {
      clients_.Close(key);
      Refuse(fd, ClientText(peer));
      continue;
    }
    Connection& connection = connections_[fd];
    connection.fd = fd;
    connection.opened = now;
    connection.client = ClientText(peer);
    connection.key = key;
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, fd, &event);
    SetDeadline(connection, now + limits_.head_timeout);
  }
}

bool JudgeServer::PushOutSlowest() {
  Connection* slowest = nullptr;
  for (auto& [fd, connection] : connections_) {
    // One still sending its head has had longer than the newcomer to send it; one already
    // answered only waits for its client to close. One taking its answer is left alone.
    if (connection.phase != Phase::kWriting &&
        (slowest == nullptr || connection.opened < slowest->opened)) {
      slowest = &connection;
    }
  }
  if (slowest == nullptr) return false;
  if (slowest->phase == Phase::kReading) {
    // Its request has not been answered: it learns that the judge, not its proxy, ended it.
    slowest->sent = SayBusy(slowest->fd);
    slowest->status = 503;
    Log(*slowest);
  }
  Close(*slowest);
  return true;
}

void JudgeServer::Service(Connection& connection, unsigned events) {
  if (connection.phase == Phase::kReading) {
    ReadHead(connection);
  } else if (connection.phase == Phase::kWriting) {
    if ((events & (EPOLLOUT | EPOLLERR | EPOLLHUP)) != 0) WriteSome(connection);
  } else {
    Drain(connection);
  }
}

void JudgeServer::ReadHead(Connection& connection) {
  char chunk[kReadChunk];
  const std::size_t room = std::min(kReadChunk, limits_.max_head - connection.in.size());
  const ssize_t got = recv(connection.fd, chunk, room, 0);
  if (got < 0) {
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) Close(connection);
    return;
  }
  if (got == 0) {
    // The client stopped sending before the head ended: nothing to echo. Someone who sent a
    // part may still be reading, and learns why.
    if (connection.in.empty()) {
      Close(connection);
    } else {
      Respond(connection, 400, kTextType, "bad request: the request head did not end\n");
    }
    return;
  }
  // Grown by hand so the buffer never holds more than the head limit (append would double it).
  const std::size_t needed = connection.in.size() + static_cast<std::size_t>(got);
  if (needed > connection.in.capacity()) {
    connection.in.reserve(std::min(limits_.max_head, std::max(needed, 2 * connection.in.size())));
  }
  connection.in.append(chunk, static_cast<std::size_t>(got));
  const std::optional<std::size_t> end = connection.scanner.Scan(connection.in);
  const std::optional<std::size_t> line_start = connection.scanner.request_line_start();
  if (!connection.line_checked && line_start) {
    // The request line is judged as soon as it ends, so garbage is answered at once instead
    // of after 16 KiB or the head deadline.
    connection.line_checked = true;
    const std::string_view line =
        std::string_view(connection.in)
            .substr(*line_start, *connection.scanner.request_line_length());
    const std::optional<RequestLine> request = ParseRequestLine(line);
    if (!request) {
      Respond(connection, 400, kTextType, "bad request: malformed request line\n");
      return;
    }
    connection.method = request->method;
    connection.target = request->target;
  }
  if (end) {
    Complete(connection, *end);
  } else if (connection.in.size() >= limits_.max_head) {
    Respond(connection, 431, kTextType, "request head too large (at most 16 KiB)\n");
  }
}

void JudgeServer::Complete(Connection& connection, std::size_t head_end) {
  const std::size_t start = connection.scanner.request_line_start().value_or(0);
  std::string why;
  const std::optional<RequestHead> head =
      ParseRequestHead(std::string_view(connection.in).substr(start, head_end - start), &why);
  if (!head) {
    Respond(connection, 400, kTextType, "bad request: " + why + "\n");
  } else if (head->method != "GET" && head->method != "HEAD") {
    Respond(connection, 405, kTextType, "method not allowed: the judge answers GET and HEAD\n",
            "Allow: GET, HEAD\r\n");
  } else if (ChosenFormat(*head) == EchoFormat::kText) {
    Respond(connection, 200, kTextType, EchoText(*head, connection.client));
  } else {
    Respond(connection, 200, "application/json", EchoJson(*head, connection.client));
  }
}

void JudgeServer::Respond(Connection& connection, int status, std::string_view content_type,
                          std::string_view body, std::string_view extra_fields) {
  const Clock::time_point now = Clock::now();
  const bool head_only = connection.method == "HEAD";
  if (const int wait_s = clients_.TakeRequest(connection.key, now); wait_s > 0) {
    connection.out = AnswerBytes(429, kTextType, "too many requests from this address\n", head_only,
                                 RefusalFields(wait_s));
    connection.status = 429;
  } else {
    connection.out = AnswerBytes(status, content_type, body, head_only, extra_fields);
    connection.status = status;
  }
  std::string().swap(connection.in);  // the head is no longer needed: give its memory back
  connection.phase = Phase::kWriting;
  SetDeadline(connection, now + limits_.head_timeout);
  Watch(connection, EPOLLOUT);
  WriteSome(connection);
}

void JudgeServer::WriteSome(Connection& connection) {
  while (connection.sent < connection.out.size()) {
    const ssize_t sent = send(connection.fd, connection.out.data() + connection.sent,
                              connection.out.size() - connection.sent, MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
      Log(connection);
      Close(connection);
      return;
    }
    connection.sent += static_cast<std::size_t>(sent);
    // A pause counts from the last progress: a slow reader is not a stalled one.
    SetDeadline(connection, Clock::now() + limits_.head_timeout);
  }
  Log(connection);
  std::string().swap(connection.out);
  // Closing with unread bytes (a body, a second request) would reset the connection and could
  // destroy the answer before the client read it: end the sending side, then read and drop
  // what still comes, up to a bound, until the client closes.
  shutdown(connection.fd, SHUT_WR);
  connection.phase = Phase::kDraining;
  Watch(connection, EPOLLIN);
}

void JudgeServer::Drain(Connection& connection) {
  char chunk[kReadChunk];
  const ssize_t got = recv(connection.fd, chunk, sizeof chunk, 0);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  if (got > 0) connection.drained += static_cast<std::size_t>(got);
  if (got <= 0 || connection.drained > limits_.max_drain) Close(connection);
}

void JudgeServer::ExpireDeadlines(Clock::time_point now) {
  std::vector<int> expired;
  next_deadline_ = Clock::time_point::max();
  for (const auto& [fd, connection] : connections_) {
    if (connection.deadline <= now) {
      expired.push_back(fd);
    } else {
      next_deadline_ = std::min(next_deadline_, connection.deadline);
    }
  }
  for (const int fd : expired) {
    Connection& connection = connections_.at(fd);
    if (connection.phase == Phase::kReading && !connection.in.empty()) {
      // A head that never ended (slowloris): one try at saying so, without waiting for it.
      connection.out = AnswerBytes(408, kTextType, "request head not received in time\n", false);
      connection.status = 408;
      const ssize_t sent =
          send(fd, connection.out.data(), connection.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      connection.sent = sent > 0 ? static_cast<std::size_t>(sent) : 0;
      Log(connection);
    } else if (connection.phase == Phase::kWriting) {
      Log(connection);
    }
    Close(connection);
  }
}

void JudgeServer::SetDeadline(Connection& connection, Clock::time_point deadline) {
  connection.deadline = deadline;
  next_deadline_ = std::min(next_deadline_, deadline);
}

void JudgeServer::Watch(const Connection& connection, unsigned events) {
  epoll_event event{};
  event.events = events;
  event.data.fd = connection.fd;
  epoll_ctl(epoll_fd_, EPOLL_CTL_MOD, connection.fd, &event);
}

void JudgeServer::Log(const Connection& connection) {
  if (log_) {
    log_(LogLine(std::chrono::system_clock::now(), connection.client, connection.method,
                 connection.target, connection.status, connection.sent));
  }
}

void JudgeServer::Close(Connection& connection) {
  const int fd = connection.fd;
  close(fd);  // also takes it out of the epoll set
  clients_.Close(connection.key);
  connections_.erase(fd);
}

}  // namespace lumvex::judge
