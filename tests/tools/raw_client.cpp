#include "raw_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace lumvex::tools::testing {

bool RawClient::Connect(const std::string& address, uint16_t port) {
  Close();
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  if (::inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1) {
    connect_errno_ = EINVAL;
    return false;
  }
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    connect_errno_ = errno;
    return false;
  }
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
    connect_errno_ = errno;
    Close();
    return false;
  }
  connect_errno_ = 0;
  return true;
}

bool RawClient::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

void RawClient::ShutdownWrite() { ::shutdown(fd_, SHUT_WR); }

bool RawClient::Readable(int timeout_ms) {
  pollfd p{fd_, POLLIN, 0};
  return ::poll(&p, 1, timeout_ms) > 0;
}

std::string RawClient::Read(int idle_ms, size_t limit) {
  std::string out;
  char buffer[16384];
  while (out.size() < limit) {
    if (!Readable(idle_ms)) {
      last_end_ = End::kTimeout;
      return out;
    }
    size_t want = std::min(sizeof(buffer), limit - out.size());
    ssize_t n = ::recv(fd_, buffer, want, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) {
      last_end_ = End::kEof;
      return out;
    }
    if (n < 0) {
      last_end_ = errno == ECONNRESET ? End::kReset : End::kTimeout;
      return out;
    }
    out.append(buffer, static_cast<size_t>(n));
  }
  last_end_ = End::kLimit;
  return out;
}

std::string RawClient::LocalName() const {
  sockaddr_in addr{};
  socklen_t len = sizeof(addr);
  ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &addr.sin_addr, text, sizeof(text));
  return std::string(text) + ":" + std::to_string(ntohs(addr.sin_port));
}

void RawClient::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::string Exchange(const std::string& address, uint16_t port, std::string_view request,
                     int idle_ms) {
  RawClient client;
  if (!client.Connect(address, port) || !client.Send(request)) return {};
  return client.Read(idle_ms);
}

}  // namespace lumvex::tools::testing
