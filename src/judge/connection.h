// One client connection of the judge: its socket, what came in, the answer going out and the
// time by which it must have moved on.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "judge/head_scanner.h"

namespace lumvex::judge {

struct Connection {
  using Clock = std::chrono::steady_clock;
  // Taking the request head, sending the answer, then reading what is left before closing.
  enum class Phase { kReading, kWriting, kDraining };

  int fd = -1;
  std::string client;  // as shown
  std::string key;     // as counted
  Phase phase = Phase::kReading;
  std::string in;
  HeadScanner scanner;
  bool line_checked = false;
  std::string method;  // for the log
  std::string target;
  std::string out;
  std::size_t sent = 0;
  std::size_t drained = 0;
  int status = 0;
  Clock::time_point opened;
  Clock::time_point deadline;
};

}  // namespace lumvex::judge
