#include "judge/listener.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "judge/echo_reply.h"
#include "platform/open_file_limit.h"

namespace lumvex::judge {
namespace {

constexpr int kBacklog = 4096;  // the kernel caps it at net.core.somaxconn
// Bytes of an unread request taken before a refusal, so that closing finds nothing unread (which
// would reset the connection and could destroy the refusal before the client read it).
constexpr int kRefusalReads = 4;
constexpr std::size_t kRefusalChunk = 16 * 1024;

}  // namespace

Listener::~Listener() {
  for (const int fd : {fd_, spare_fd_}) {
    if (fd >= 0) close(fd);
  }
}

std::string Listener::Listen(const SocketAddress& address) {
  // Accepting past the soft open-file limit would fail: the connection cap needs the room.
  RaiseOpenFileLimit();
  fd_ = socket(address.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return std::strerror(errno);
  spare_fd_ = fcntl(fd_, F_DUPFD_CLOEXEC, 0);
  const int on = 1;
  // A restarted judge gets its port back while the last run's connections are in TIME_WAIT.
  setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (bind(fd_, reinterpret_cast<const sockaddr*>(&address.storage), address.length) != 0 ||
      listen(fd_, kBacklog) != 0) {
    return std::strerror(errno);
  }
  SocketAddress bound;
  bound.length = sizeof bound.storage;
  getsockname(fd_, reinterpret_cast<sockaddr*>(&bound.storage), &bound.length);
  url_ = ListenUrl(bound);
  return {};
}

std::optional<Listener::Accepted> Listener::Accept() {
  for (;;) {
    Accepted accepted;
    accepted.peer.length = sizeof accepted.peer.storage;
    accepted.fd = accept4(fd_, reinterpret_cast<sockaddr*>(&accepted.peer.storage),
                          &accepted.peer.length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (accepted.fd >= 0) return accepted;
    if (errno == EINTR || errno == ECONNABORTED) continue;
    if ((errno == EMFILE || errno == ENFILE) && spare_fd_ >= 0) {
      // Out of descriptors: a waiting connection would keep the listener ready forever and the
      // loop spinning; take it with the spare descriptor and close it. (The kernel says EMFILE
      // before it looks at the queue, so the queue may as well be empty.)
      close(spare_fd_);
      const int dropped = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (dropped >= 0) close(dropped);
      spare_fd_ = fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    }
    // EAGAIN: none left; a connection dropped for want of descriptors, or any other failure: the
    // next wakeup goes on.
    return std::nullopt;
  }
}

std::size_t SayBusy(int fd) {
  // The answer is fixed, so it costs no memory per connection.
  static const std::string answer = AnswerBytes(
      503, kTextType, "the judge is busy: try again in a moment\n", false, RefusalFields(1));
  char chunk[kRefusalChunk];
  for (int i = 0; i < kRefusalReads && recv(fd, chunk, sizeof chunk, MSG_DONTWAIT) > 0; ++i) {
  }
  const ssize_t sent = send(fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  return sent > 0 ? static_cast<std::size_t>(sent) : 0;
}

}  // namespace lumvex::judge
