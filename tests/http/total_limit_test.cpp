// The blocking clients end at their total limit even when the server keeps every stall limit
// happy by trickling a byte a second.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "http/raw_request.h"
#include "http/scripted_request.h"

namespace lumvex::http {
namespace {

// The body the server would send in full, at a byte a second; far longer than the total limit the
// test gives, far shorter than its stall limits.
constexpr int kTrickleBytes = 60;

// Answers one connection at a time with a header block announcing kTrickleBytes, then sends one
// body byte a second. Records, per connection, how many bytes went out before the client hung up.
class TrickleServer {
 public:
  TrickleServer() {
    listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        listen(listen_fd_, 4) != 0 ||
        getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
      return;
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~TrickleServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    close(listen_fd_);
  }

  int port() const { return port_; }

  // Bytes sent on the next finished connection, and whether its client hung up before the end;
  // nullopt when none finished in time.
  std::optional<std::pair<int, bool>> NextOutcome() {
    std::unique_lock lock(mutex_);
    if (!done_.wait_for(lock, std::chrono::seconds(kTrickleBytes + 30),
                        [this] { return outcome_.has_value(); })) {
      return std::nullopt;
    }
    return std::exchange(outcome_, std::nullopt);
  }

 private:
  // Waits up to `ms` for `fd` to become readable or hang up; false once the server stops.
  bool WaitReadable(int fd, int ms, bool* readable) {
    pollfd p{fd, POLLIN, 0};
    for (int waited = 0; waited < ms && !stop_; waited += 100) {
      if (poll(&p, 1, 100) > 0) {
        *readable = true;
        return true;
      }
    }
    *readable = false;
    return !stop_;
  }

  void Run() {
    while (!stop_) {
      bool readable = false;
      if (!WaitReadable(listen_fd_, 100, &readable) || !readable) continue;
      int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      std::pair<int, bool> outcome = Serve(fd);
      close(fd);
      std::lock_guard lock(mutex_);
      outcome_ = outcome;
      done_.notify_all();
    }
  }

  std::pair<int, bool> Serve(int fd) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      bool readable = false;
      if (!WaitReadable(fd, 10000, &readable) || !readable) return {0, true};
      ssize_t got = recv(fd, buffer, sizeof buffer, 0);
      if (got <= 0) return {0, true};
      request.append(buffer, static_cast<std::size_t>(got));
    }
    std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kTrickleBytes) +
                       "\r\nConnection: close\r\n\r\n";
    if (send(fd, head.data(), head.size(), MSG_NOSIGNAL) < 0) return {0, true};
    for (int sent = 0; sent < kTrickleBytes; ++sent) {
      // The pause between bytes is the server's pacing; a client that hangs up ends it early.
      bool readable = false;
      if (!WaitReadable(fd, 1000, &readable)) return {sent, false};
      if (readable && recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) <= 0) return {sent, true};
      if (send(fd, "x", 1, MSG_NOSIGNAL) != 1) return {sent, true};
    }
    return {kTrickleBytes, false};
  }

  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable done_;
  std::optional<std::pair<int, bool>> outcome_;
};

// The stall limits outlast the whole trickle, so only the total limit can end the call before the
// server is through.
constexpr SyncLimits kTrickleLimits{5000, 100000, 2500};

struct Client {
  const char* name;
  std::function<std::string(FetchClient& client, const std::string& url)> call;
};

const Client kClients[] = {
    {"RawRequest",
     [](FetchClient& client, const std::string& url) {
       RawRequestArgs args;
       return RawRequest(client, url, args, nullptr, kTrickleLimits).body;
     }},
    {"SimpleGet",
     [](FetchClient& client, const std::string& url) {
       return SimpleGet(client, url, nullptr, kTrickleLimits);
     }},
    {"ScriptedRequest",
     [](FetchClient& client, const std::string& url) {
       ScriptedRequestArgs args;
       args.timeout_seconds = static_cast<int>(kTrickleLimits.idle_ms / 1000);
       args.total_ms = kTrickleLimits.total_ms;
       return ScriptedRequestText(client, url, args);
     }},
};

TEST(TotalLimitTest, TricklingServerIsCutOffAtTheTotalLimit) {
  TrickleServer server;
  ASSERT_NE(server.port(), 0);
  std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/trickle";
  FetchClient fetcher(nullptr);
  for (const Client& client : kClients) {
    std::string body = client.call(fetcher, url);
    std::optional<std::pair<int, bool>> outcome = server.NextOutcome();
    ASSERT_TRUE(outcome.has_value()) << client.name;
    auto [sent, hung_up] = *outcome;
    EXPECT_TRUE(hung_up) << client.name << " waited for the whole trickle";
    EXPECT_LT(sent, kTrickleBytes) << client.name;
    // What arrived before the limit is kept, as with any other broken transfer.
    EXPECT_LE(body.size(), static_cast<std::size_t>(sent)) << client.name;
    EXPECT_EQ(body, std::string(body.size(), 'x')) << client.name;
  }
}

}  // namespace
}  // namespace lumvex::http
