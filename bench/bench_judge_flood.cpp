// Flood rig for the judge: the judge (default limits) runs in a child process, so that its memory
// figures are its own, and is flooded from loopback for a few seconds with garbage, heads past
// the size limit, slowloris half-heads, connections opened and dropped, from the source
// addresses 127.0.0.2 to 127.0.0.250; a well-behaved client on 127.0.0.1 asks a few times a
// second (below the rate limit) and times its answers.
// Prints one figure per line: name value unit.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "judge/judge_server.h"
#include "proc_status.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kFlood = std::chrono::seconds(6);
constexpr auto kGoodPause = std::chrono::milliseconds(100);  // 10 a second, half the rate
constexpr int kSlowConnections = 1500;

std::atomic<bool> g_stop{false};
std::atomic<long> g_requests{0};
std::atomic<long> g_refused{0};  // closed without an answer

std::string Source(unsigned n) { return "127.0.0." + std::to_string(2 + n % 249); }

int Connect(int port, const std::string& source, int patience_ms) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  inet_pton(AF_INET, source.c_str(), &local.sin_addr);
  bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
  timeval patience{patience_ms / 1000, (patience_ms % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
  sockaddr_in judge{};
  judge.sin_family = AF_INET;
  judge.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &judge.sin_addr);
  if (connect(fd, reinterpret_cast<sockaddr*>(&judge), sizeof judge) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Sends `bytes` and reads until the judge closes; the first bytes of the answer.
std::string Ask(int port, const std::string& source, const std::string& bytes, int patience_ms) {
  const int fd = Connect(port, source, patience_ms);
  if (fd < 0) return {};
  send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  std::string answer;
  char chunk[4096];
  for (ssize_t got; (got = recv(fd, chunk, sizeof chunk, 0)) > 0;) {
    if (answer.size() < 64) answer.append(chunk, static_cast<std::size_t>(got));
  }
  close(fd);
  if (answer.empty()) ++g_refused;
  return answer;
}

void Garbage(int port, unsigned seed) {
  std::mt19937 random(seed);
  for (unsigned n = seed; !g_stop; ++n) {
    std::string junk(64 + random() % 512, '\0');
    for (char& c : junk) c = static_cast<char>(random());
    if (n % 2 == 0) junk += "\r\n\r\n";
    Ask(port, Source(n), junk, 2000);
    ++g_requests;
  }
}

void HugeHeads(int port) {
  const std::string huge = "GET / HTTP/1.1\r\nX-Big: " + std::string(20000, 'x') + "\r\n\r\n";
  for (unsigned n = 0; !g_stop; ++n) {
    Ask(port, Source(n * 7), huge, 2000);
    ++g_requests;
  }
}

// Connections opened and dropped at once, without a byte.
void Churn(int port) {
  for (unsigned n = 0; !g_stop; ++n) {
    const int fd = Connect(port, Source(n * 13), 2000);
    if (fd >= 0) close(fd);
    ++g_requests;
  }
}

// Half heads kept open, a byte now and then, as many as kSlowConnections; each nearly at the
// head limit, so the judge's buffers are as full as a client can make them.
void Slowloris(int port) {
  const std::string half_head = "GET / HTTP/1.1\r\nX-Slow: " + std::string(16000, 's');
  std::deque<int> open;
  for (unsigned n = 0; !g_stop; ++n) {
    if (open.size() < kSlowConnections) {
      const int fd = Connect(port, Source(n * 31), 200);
      if (fd >= 0) {
        send(fd, half_head.data(), half_head.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        open.push_back(fd);
        ++g_requests;
      }
      continue;
    }
    const int fd = open.front();
    open.pop_front();
    if (send(fd, "s", 1, MSG_NOSIGNAL | MSG_DONTWAIT) == 1) {
      open.push_back(fd);
    } else {
      close(fd);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  for (const int fd : open) close(fd);
}

void Good(int port, std::vector<double>& latencies_ms, long& sent) {
  const std::string get = "GET /get HTTP/1.1\r\nHost: judge\r\nAccept: application/json\r\n\r\n";
  while (!g_stop) {
    const Clock::time_point start = Clock::now();
    const std::string answer = Ask(port, "127.0.0.1", get, 5000);
    ++sent;
    if (answer.starts_with("HTTP/1.1 200 ")) {
      latencies_ms.push_back(
          std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::this_thread::sleep_for(kGoodPause);
  }
}

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main() {
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
  int fds[2];
  if (pipe(fds) != 0) return 1;
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    lumvex::judge::JudgeServer server(lumvex::judge::JudgeLimits{}, [](std::string_view) {});
    if (!server.Listen(*lumvex::judge::ParseListenAddress("127.0.0.1:0")).empty()) _exit(1);
    const std::string url = server.url() + "\n";
    if (write(fds[1], url.data(), url.size()) < 0) _exit(1);
    close(fds[1]);
    server.Run();
    _exit(0);
  }
  close(fds[1]);
  char text[128] = "";
  const ssize_t got = read(fds[0], text, sizeof text - 1);
  close(fds[0]);
  const std::string url(text, got > 0 ? static_cast<std::size_t>(got) : 0);
  if (url.empty()) {
    std::fprintf(stderr, "the judge did not start\n");
    return 1;
  }
  const int port = std::stoi(url.substr(url.rfind(':') + 1));

  std::vector<double> latencies_ms;
  long good_sent = 0;
  std::vector<std::thread> threads;
  threads.emplace_back(Garbage, port, 1u);
  threads.emplace_back(Garbage, port, 2u);
  threads.emplace_back(HugeHeads, port);
  threads.emplace_back(Churn, port);
  threads.emplace_back(Slowloris, port);
  threads.emplace_back(Good, port, std::ref(latencies_ms), std::ref(good_sent));
  std::this_thread::sleep_for(kFlood);
  const double rss_flood_mb =
      static_cast<double>(lumvex::bench::ProcStatusField("VmRSS", child)) / 1024.0;
  g_stop = true;
  for (std::thread& thread : threads) thread.join();
  const double peak_mb = lumvex::bench::PeakResidentMb(child);
  const double rss_end_mb =
      static_cast<double>(lumvex::bench::ProcStatusField("VmRSS", child)) / 1024.0;
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);

  std::printf("flood_s %lld s\n", static_cast<long long>(kFlood.count()));
  std::printf("requests %ld count\n", g_requests.load());
  std::printf("flood_unanswered %ld count\n", g_refused.load());
  std::printf("good_sent %ld count\n", good_sent);
  std::printf("good_answered %zu count\n", latencies_ms.size());
  std::printf("good_p50_ms %.1f ms\n", Percentile(latencies_ms, 0.50));
  std::printf("good_p99_ms %.1f ms\n", Percentile(latencies_ms, 0.99));
  std::printf("judge_rss_flood_mb %.1f MB\n", rss_flood_mb);
  std::printf("judge_peak_mb %.1f MB\n", peak_mb);
  std::printf("judge_rss_end_mb %.1f MB\n", rss_end_mb);
  return 0;
}
