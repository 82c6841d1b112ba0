// Where the judge's log goes: a stream (standard error, usually a terminal, a pipe or the
// journal's socket) written without ever blocking the server. A reader that stops reading
// (`lumvexip judge 2>&1 | less` left waiting) must not stop the answers: lines wait in a bounded
// buffer, lines past it are dropped and counted, and once the reader takes lines again a line
// says how many were lost.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace lumvex::judge {

class LogOutput {
 public:
  // Writes to `fd` (not taken over; it stays open and keeps its own flags), keeping at most
  // `capacity` bytes waiting.
  explicit LogOutput(int fd, std::size_t capacity = 256 * 1024);
  ~LogOutput();
  LogOutput(const LogOutput&) = delete;
  LogOutput& operator=(const LogOutput&) = delete;

  // Queues `line` (ending in a line feed) and writes what the stream takes now.
  void Add(std::string_view line);
  // Writes what the stream takes now.
  void Flush();
  // Writes what is waiting, waiting up to `patience` for a slow reader (at the end of a run).
  void FlushWithin(std::chrono::milliseconds patience);
  // Bytes are waiting for the stream to take them.
  bool pending() const { return sent_ < buffer_.size(); }
  // The descriptor to wait on for room (EPOLLOUT) while pending().
  int fd() const { return fd_; }
  // Lines dropped since the last note about them.
  std::size_t dropped() const { return dropped_; }

  // "judge: 12 log lines dropped while the log reader was not reading\n"
  static std::string DroppedNote(std::size_t count);

 private:
  enum class Mode { kPlain, kSend, kPollFirst };
  // Writes at most `size` bytes without blocking: the count written, 0 when there was no room,
  // -1 when the stream is gone for good.
  long WriteNow(const char* data, std::size_t size);
  void NoteDropsIfRoom();

  int fd_ = -1;
  bool own_fd_ = false;
  Mode mode_ = Mode::kPlain;
  bool broken_ = false;
  const std::size_t capacity_;
  std::string buffer_;
  std::size_t sent_ = 0;
  std::size_t dropped_ = 0;
};

}  // namespace lumvex::judge
