// A loopback download server for tests and the demo: answers every GET with a known body at an
// adjustable rate, and can fail on purpose (an error status, or a connection cut mid-body).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lumvex::tools {

struct DownloadContent {
  std::string body;                   // what a good download delivers
  std::int64_t bytes_per_second = 0;  // 0: as fast as the connection takes it
  std::int64_t fail_after = -1;       // >= 0: cut the connection after this many body bytes
  int status = 200;                   // any other status sends a short error page instead
  bool send_length = true;            // Content-Length header (the size is known up front)
};

// `size` bytes of a fixed pattern, the same for every call.
std::string KnownBody(std::size_t size);

class DownloadServer {
 public:
  explicit DownloadServer(DownloadContent content, uint16_t port = 0);
  ~DownloadServer();  // Stop
  DownloadServer(const DownloadServer&) = delete;
  DownloadServer& operator=(const DownloadServer&) = delete;

  // Listens on 127.0.0.1; false when the port cannot be bound.
  bool Start();
  // Closes the listener and every connection and joins the threads.
  void Stop();
  void SetContent(DownloadContent content);

  uint16_t port() const { return port_; }
  std::string Url(const std::string& path = "/lumvexip-new") const;
  int Requests() const { return requests_.load(); }

 private:
  void AcceptLoop();
  void Serve(int fd);
  DownloadContent Content() const;

  mutable std::mutex mutex_;
  DownloadContent content_;
  uint16_t requested_port_;
  uint16_t port_ = 0;
  int listen_fd_ = -1;
  int wake_pipe_[2] = {-1, -1};
  std::atomic<bool> stopping_{false};
  std::atomic<int> requests_{0};
  std::thread accept_thread_;
  std::vector<std::thread> connections_;
};

}  // namespace lumvex::tools
