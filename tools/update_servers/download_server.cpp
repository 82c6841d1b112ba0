#include "update_servers/download_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <utility>

namespace lumvex::tools {
namespace {

using Clock = std::chrono::steady_clock;

// Waits until `fd` is readable or the wake pipe fires; false on wake, error or time-out.
bool WaitReadable(int fd, int wake_fd, int timeout_ms) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {wake_fd, POLLIN, 0}};
  if (poll(fds, 2, timeout_ms) <= 0) return false;
  return (fds[1].revents == 0) && (fds[0].revents & (POLLIN | POLLHUP | POLLERR));
}

bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

}  // namespace

std::string KnownBody(std::size_t size) {
  std::string body(size, '\0');
  for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 31 + i / 251) & 0xFF);
  return body;
}

DownloadServer::DownloadServer(DownloadContent content, uint16_t port)
    : content_(std::move(content)), requested_port_(port) {}

DownloadServer::~DownloadServer() { Stop(); }

void DownloadServer::SetContent(DownloadContent content) {
  std::lock_guard<std::mutex> lock(mutex_);
  content_ = std::move(content);
}

DownloadContent DownloadServer::Content() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return content_;
}

std::string DownloadServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

bool DownloadServer::Start() {
  if (pipe2(wake_pipe_, O_CLOEXEC) != 0) return false;
  listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) return false;
  int yes = 1;
  setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(requested_port_);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listen_fd_, 16) != 0) {
    close(listen_fd_);
    listen_fd_ = -1;
    return false;
  }
  socklen_t length = sizeof(address);
  getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  accept_thread_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void DownloadServer::Stop() {
  if (stopping_.exchange(true)) return;
  if (wake_pipe_[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] ssize_t written = write(wake_pipe_[1], &byte, 1);
  }
  if (accept_thread_.joinable()) accept_thread_.join();
  for (std::thread& connection : connections_) connection.join();
  connections_.clear();
  if (listen_fd_ >= 0) close(listen_fd_);
  for (int& fd : wake_pipe_) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
  listen_fd_ = -1;
}

void DownloadServer::AcceptLoop() {
  while (WaitReadable(listen_fd_, wake_pipe_[0], -1)) {
    const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    connections_.emplace_back([this, fd] { Serve(fd); });
  }
}

void DownloadServer::Serve(int fd) {
  // Read the request head (up to the blank line); the target does not matter.
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
    if (!WaitReadable(fd, wake_pipe_[0], 10000)) break;
    const ssize_t got = recv(fd, buffer, sizeof(buffer), 0);
    if (got <= 0) break;
    head.append(buffer, static_cast<std::size_t>(got));
  }
  if (head.find("\r\n\r\n") == std::string::npos) {
    close(fd);
    return;
  }
  ++requests_;
  const DownloadContent content = Content();
  if (content.status != 200) {
    const std::string page = "<html><body>error</body></html>";
    const std::string reply =
        "HTTP/1.1 " + std::to_string(content.status) +
        " Error\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(page.size()) +
        "\r\nConnection: close\r\n\r\n" + page;
    SendAll(fd, reply.data(), reply.size());
    close(fd);
    return;
  }
  std::string reply_head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n";
  if (content.send_length) {
    reply_head += "Content-Length: " + std::to_string(content.body.size()) + "\r\n";
  }
  reply_head += "Connection: close\r\n\r\n";
  if (!SendAll(fd, reply_head.data(), reply_head.size())) {
    close(fd);
    return;
  }
  const std::size_t limit =
      content.fail_after >= 0
          ? std::min(content.body.size(), static_cast<std::size_t>(content.fail_after))
          : content.body.size();
  // Paced in slices of a tenth of a second's worth of bytes.
  const std::size_t slice =
      content.bytes_per_second > 0
          ? std::max<std::size_t>(1, static_cast<std::size_t>(content.bytes_per_second / 10))
          : 65536;
  const Clock::time_point start = Clock::now();
  std::size_t sent = 0;
  while (sent < limit && !stopping_.load()) {
    const std::size_t size = std::min(slice, limit - sent);
    if (!SendAll(fd, content.body.data() + sent, size)) break;
    sent += size;
    if (content.bytes_per_second > 0) {
      const auto due =
          start + std::chrono::microseconds(static_cast<std::int64_t>(
                      sent * 1000000.0 / static_cast<double>(content.bytes_per_second)));
      pollfd wake{wake_pipe_[0], POLLIN, 0};
      const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now());
      if (wait.count() > 0 && poll(&wake, 1, static_cast<int>(wait.count())) != 0) break;
    }
  }
  // A cut connection is a reset, so the client cannot take it for a clean end.
  if (content.fail_after >= 0) {
    linger hard{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
  }
  close(fd);
}

}  // namespace lumvex::tools
