#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumvex::tools::testing {

// A blocking TCP client on plain sockets, so the servers are checked without any HTTP library.
class RawClient {
 public:
  enum class End { kEof, kReset, kTimeout, kLimit };

  RawClient() = default;
  ~RawClient() { Close(); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  // False with connect_errno() set when the connection fails.
  bool Connect(const std::string& address, uint16_t port);
  int connect_errno() const { return connect_errno_; }
  bool Send(std::string_view bytes);
  void ShutdownWrite();
  // Reads until the server closes, resets, `limit` bytes have come, or nothing arrives for
  // `idle_ms`.
  std::string Read(int idle_ms, size_t limit = SIZE_MAX);
  End last_end() const { return last_end_; }
  // True when data (or a close) can be read within timeout_ms.
  bool Readable(int timeout_ms);
  // "127.0.0.1:port" of this end, as the server sees it.
  std::string LocalName() const;
  void Close();

 private:
  int fd_ = -1;
  int connect_errno_ = 0;
  End last_end_ = End::kTimeout;
};

// Sends `request` on a new connection and returns everything the server sent until it closed.
std::string Exchange(const std::string& address, uint16_t port, std::string_view request,
                     int idle_ms = 5000);

}  // namespace lumvex::tools::testing
