#include "judge/log_output.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace lumvex::judge {

LogOutput::LogOutput(int fd, std::size_t capacity) : fd_(fd), capacity_(capacity) {
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    broken_ = true;  // nothing to write to (standard error closed)
    return;
  }
  if (S_ISREG(info.st_mode)) return;  // a file takes a line at once: plain writes
  if (S_ISSOCK(info.st_mode)) {
    mode_ = Mode::kSend;  // the journal's stream: a send can refuse to wait by itself
    return;
  }
  // A pipe or a terminal. Setting O_NONBLOCK on standard error would change it for everyone who
  // shares it (the shell, the terminal's next program); opening it again through /proc gives a
  // description of our own, the same stream, that may be non-blocking alone.
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  const int own = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (own >= 0) {
    fd_ = own;
    own_fd_ = true;
  } else {
    // No /proc: a pipe that polls writable has room for PIPE_BUF bytes, and a write that size
    // then never blocks.
    mode_ = Mode::kPollFirst;
  }
}

LogOutput::~LogOutput() {
  if (own_fd_) close(fd_);
}

std::string LogOutput::DroppedNote(std::size_t count) {
  return "judge: " + std::to_string(count) +
         " log lines dropped while the log reader was not reading\n";
}

long LogOutput::WriteNow(const char* data, std::size_t size) {
  ssize_t written = 0;
  switch (mode_) {
    case Mode::kPlain:
      written = write(fd_, data, size);
      break;
    case Mode::kSend:
      written = send(fd_, data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
      break;
    case Mode::kPollFirst: {
      pollfd ready{fd_, POLLOUT, 0};
      if (poll(&ready, 1, 0) != 1 || (ready.revents & POLLOUT) == 0) {
        return (ready.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 ? -1 : 0;
      }
      written = write(fd_, data, std::min<std::size_t>(size, PIPE_BUF));
      break;
    }
  }
  if (written >= 0) return written;
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
}

void LogOutput::NoteDropsIfRoom() {
  if (dropped_ == 0) return;
  const std::string note = DroppedNote(dropped_);
  if (buffer_.size() - sent_ + note.size() > capacity_) return;
  buffer_ += note;
  dropped_ = 0;
}

void LogOutput::Add(std::string_view line) {
  if (broken_) return;  // the reader is gone for good: the answers go on without a log
  NoteDropsIfRoom();
  if (dropped_ > 0 || buffer_.size() - sent_ + line.size() > capacity_) {
    ++dropped_;
  } else {
    buffer_ += line;
  }
  Flush();
}

void LogOutput::Flush() {
  for (int round = 0; round < 2 && !broken_; ++round) {
    while (pending()) {
      const long written = WriteNow(buffer_.data() + sent_, buffer_.size() - sent_);
      if (written < 0) {
        broken_ = true;
        buffer_.clear();
        sent_ = 0;
        return;
      }
      if (written == 0) break;
      sent_ += static_cast<std::size_t>(written);
    }
    if (!pending()) {
      buffer_.clear();
      sent_ = 0;
    } else if (sent_ > capacity_ / 2) {
      buffer_.erase(0, sent_);  // keeps the buffer near its bound
      sent_ = 0;
    }
    // Room again after a stall: say what was lost, and try to write that too.
    if (dropped_ == 0 || pending()) break;
    NoteDropsIfRoom();
  }
}

void LogOutput::FlushWithin(std::chrono::milliseconds patience) {
  const auto end = std::chrono::steady_clock::now() + patience;
  Flush();
  while (pending() && !broken_) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    pollfd ready{fd_, POLLOUT, 0};
    poll(&ready, 1, static_cast<int>(left.count()));
    Flush();
  }
}

}  // namespace lumvex::judge
