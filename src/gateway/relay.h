// The copy both ways between a client and its upstream once the reply may flow: large buffers
// taken only while bytes are there (an idle tunnel holds none), an idle limit, and the end of
// one direction passed on as a half close.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gateway/asio.h"

namespace lumvex::gateway {

// Buffers of kSize bytes, lent to a relay while it copies. One io thread: no lock.
class BufferPool {
 public:
  static constexpr std::size_t kSize = 64 * 1024;
  std::unique_ptr<char[]> Take();
  void Give(std::unique_ptr<char[]> buffer);

 private:
  static constexpr std::size_t kMostKept = 64;
  std::vector<std::unique_ptr<char[]>> free_;
};

struct RelayEnds {
  tcp::socket client;
  tcp::socket upstream;
  std::string to_client;    // sent to the client before anything else
  std::string to_upstream;  // sent upstream before anything else
};

// Starts the copy and returns at once; `finished` (may be empty) runs when both ends are closed.
void StartRelay(RelayEnds ends, std::chrono::steady_clock::duration idle, BufferPool& buffers,
                std::function<void()> finished);

}  // namespace lumvex::gateway
