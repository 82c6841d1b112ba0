#include "ui/exit_signal_notifier.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>

namespace lumvex {

namespace {

// The write end for the signal handler; -1 when no notifier is installed.
std::atomic<int> g_write_fd{-1};
struct sigaction g_old_term;
struct sigaction g_old_int;
struct sigaction g_old_hup;

extern "C" void OnExitSignal(int signal_number) {
  // Only async-signal-safe calls here: one write of one byte, errno preserved.
  const int saved_errno = errno;
  const int fd = g_write_fd.load(std::memory_order_relaxed);
  if (fd >= 0) {
    const unsigned char byte = static_cast<unsigned char>(signal_number);
    [[maybe_unused]] ssize_t n = ::write(fd, &byte, 1);
  }
  errno = saved_errno;
}

}  // namespace

ExitSignalNotifier::ExitSignalNotifier(QObject* parent) : QObject(parent) {
  if (g_write_fd.load() >= 0) return;  // another instance owns the handlers
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, sockets_) != 0) {
    sockets_[0] = sockets_[1] = -1;
    return;
  }
  g_write_fd.store(sockets_[0]);
  struct sigaction action = {};
  action.sa_handler = OnExitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, &g_old_term);
  sigaction(SIGINT, &action, &g_old_int);
  // Ending a login session sends SIGHUP right after SIGTERM, closing a terminal sends it alone:
  // either must leave through the exit path too, unless the program was started to ignore it
  // (nohup), where closing the terminal must not end it.
  sigaction(SIGHUP, nullptr, &g_old_hup);
  if (g_old_hup.sa_handler != SIG_IGN) sigaction(SIGHUP, &action, nullptr);
  notifier_ = new QSocketNotifier(sockets_[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { ReadPending(); });
}

ExitSignalNotifier::~ExitSignalNotifier() {
  if (!notifier_) return;
  sigaction(SIGTERM, &g_old_term, nullptr);
  sigaction(SIGINT, &g_old_int, nullptr);
  sigaction(SIGHUP, &g_old_hup, nullptr);
  g_write_fd.store(-1);
  delete notifier_;
  ::close(sockets_[0]);
  ::close(sockets_[1]);
}

void ExitSignalNotifier::ReadPending() {
  unsigned char bytes[16];
  int first = 0;
  for (;;) {
    const ssize_t n = ::read(sockets_[1], bytes, sizeof bytes);
    if (n <= 0) break;
    if (first == 0) first = bytes[0];
  }
  // A second signal while the exit path runs must not start it again.
  if (first != 0 && !emitted_) {
    emitted_ = true;
    emit ExitRequested(first);
  }
}

}  // namespace lumvex
