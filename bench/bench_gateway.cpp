// The gateway in a child process: its relay over a CONNECT tunnel against tinyproxy alone (1 GiB
// each way in turn), the time a small GET gains through it, its resident memory with 5,000 idle
// tunnels and over a connect/close soak, and failover when the upstream in use is killed.
// Prints `name value unit` lines. Usage: bench_gateway [--bytes N] [--soak-seconds S]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "gateway/gateway.h"
#include "proc_status.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr char kPage[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

int Listener() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(fd, 4096);
  return fd;
}
int PortOf(int fd) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}
int Connect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  const timeval limit{10, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  return fd;
}
// Closed with a reset, leaving no TIME_WAIT behind.
void CloseAtOnce(int fd) {
  const linger reset{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  ::close(fd);
}
bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}
bool SendAll(int fd, const std::string& text) { return SendAll(fd, text.data(), text.size()); }
std::string ReadHead(int fd) {
  std::string head;
  char c;
  while (head.find("\r\n\r\n") == std::string::npos && head != "BULK\n" &&
         ::recv(fd, &c, 1, 0) == 1) {
    head += c;
  }
  return head;
}
std::size_t ReadToEnd(int fd) {
  static thread_local std::vector<char> buffer(256 * 1024);
  std::size_t total = 0;
  ssize_t n;
  while ((n = ::recv(fd, buffer.data(), buffer.size(), 0)) > 0) total += static_cast<std::size_t>(n);
  return total;
}

// The origin: "BULK\n" gets `bulk` bytes, an HTTP request kPage; one connection at a time.
void Origin(int listen_fd, std::size_t bulk) {
  std::vector<char> chunk(256 * 1024, 'x');
  for (;;) {
    const int fd = ::accept(listen_fd, nullptr, nullptr);
    if (fd < 0) return;
    if (ReadHead(fd) == "BULK\n") {
      for (std::size_t sent = 0; sent < bulk; sent += chunk.size()) {
        if (!SendAll(fd, chunk.data(), std::min(chunk.size(), bulk - sent))) break;
      }
    } else {
      SendAll(fd, kPage);
    }
    ::shutdown(fd, SHUT_WR);
    ReadToEnd(fd);
    ::close(fd);
  }
}

// An upstream for the idle tunnels: answers each CONNECT and keeps the connection.
void TunnelEnd(int listen_fd, std::vector<int>* kept) {
  for (;;) {
    const int fd = ::accept(listen_fd, nullptr, nullptr);
    if (fd < 0) return;
    ReadHead(fd);
    SendAll(fd, "HTTP/1.1 200 Connection established\r\n\r\n");
    kept->push_back(fd);
  }
}

pid_t StartTinyproxy(int port, const std::string& dir) {
  const std::string conf = dir + "/tinyproxy-" + std::to_string(port) + ".conf";
  std::ofstream(conf) << "Port " << port << "\nListen 127.0.0.1\nTimeout 60\nMaxClients 100\n"
                      << "Allow 127.0.0.0/8\n";
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::freopen("/dev/null", "w", stderr);
    std::freopen("/dev/null", "w", stdout);
    ::execlp("tinyproxy", "tinyproxy", "-d", "-c", conf.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  for (int i = 0; i < 100; ++i) {
    const int fd = Connect(port);
    if (fd >= 0) {
      ::close(fd);
      return pid;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return pid;
}

int FreePort() {
  const int fd = Listener();
  const int port = PortOf(fd);
  ::close(fd);
  return port;
}

// CONNECT through `proxy_port` to the origin, then the bulk; the bytes a second.
double Throughput(int proxy_port, int origin_port, std::size_t bytes) {
  const int fd = Connect(proxy_port);
  SendAll(fd, "CONNECT 127.0.0.1:" + std::to_string(origin_port) + " HTTP/1.1\r\n\r\n");
  ReadHead(fd);
  const Clock::time_point start = Clock::now();
  SendAll(fd, "BULK\n");
  const std::size_t got = ReadToEnd(fd);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ::close(fd);
  if (got != bytes) std::fprintf(stderr, "bulk: %zu of %zu bytes\n", got, bytes);
  return static_cast<double>(got) / seconds;
}

// One small GET through `proxy_port`; its time, or a negative one when it failed.
double GetMs(int proxy_port, int origin_port) {
  const Clock::time_point start = Clock::now();
  const int fd = Connect(proxy_port);
  if (fd < 0) return -1;
  SendAll(fd, "GET http://127.0.0.1:" + std::to_string(origin_port) +
                  "/ HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  char reply[512];
  std::size_t got = 0;
  ssize_t n;
  while ((n = ::recv(fd, reply + got, sizeof reply - got - 1, 0)) > 0) got += static_cast<std::size_t>(n);
  ::close(fd);
  reply[got] = '\0';
  const bool ok = std::string_view(reply, got).ends_with("\r\n\r\nok");
  return ok ? Ms(Clock::now() - start) : -1;
}

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

double ResidentMbOf(pid_t pid) {
  return static_cast<double>(lumvex::bench::ProcStatusField("VmRSS", pid)) / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t bulk = std::size_t{1} << 30;
  int soak_seconds = 10;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::string(argv[i]) == "--bytes") bulk = std::strtoull(argv[i + 1], nullptr, 10);
    if (std::string(argv[i]) == "--soak-seconds") soak_seconds = std::atoi(argv[i + 1]);
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  rlimit files{};
  ::getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &files);
  ::signal(SIGPIPE, SIG_IGN);
  char dir_template[] = "/tmp/bench_gateway.XXXXXX";
  const std::string dir = ::mkdtemp(dir_template);

  // Four tinyproxies: one for the relay, three for failover.
  std::vector<int> proxy_ports;
  std::vector<pid_t> proxies;
  for (int i = 0; i < 4; ++i) {
    proxy_ports.push_back(FreePort());
    proxies.push_back(StartTinyproxy(proxy_ports.back(), dir));
  }
  const int origin_fd = Listener();
  const int tunnel_end_fd = Listener();
  const auto address = [](int port) { return "127.0.0.1:" + std::to_string(port); };

  // The gateways live in a child, forked before this process starts any thread.
  int ports_pipe[2];
  int stop_pipe[2];
  if (::pipe(ports_pipe) != 0 || ::pipe(stop_pipe) != 0) return 1;
  const pid_t child = ::fork();
  if (child == 0) {
    const int tunnel_end_port = PortOf(tunnel_end_fd);
    ::close(origin_fd);
    ::close(tunnel_end_fd);
    ::close(stop_pipe[1]);
    ::close(ports_pipe[0]);
    const auto start = [&](std::vector<lumvex::gateway::Upstream> upstreams) {
      lumvex::gateway::GatewayOptions options;
      options.http_listen = "127.0.0.1:0";
      options.rotation = lumvex::gateway::Rotation::kBest;
      options.upstream_seconds = 2;
      auto gateway = std::make_unique<lumvex::gateway::Gateway>(options,
                                                                lumvex::gateway::GatewayEvents{});
      gateway->SetUpstreams(std::move(upstreams));
      if (gateway->Start()) ::_exit(1);
      return gateway;
    };
    auto relay = start({{address(proxy_ports[0]), true, 1}});
    auto scale = start({{address(tunnel_end_port), true, 1}});
    auto failover = start({{address(proxy_ports[1]), true, 3},
                           {address(proxy_ports[2]), true, 2},
                           {address(proxy_ports[3]), true, 1}});
    const int ports[3] = {relay->HttpPort(), scale->HttpPort(), failover->HttpPort()};
    if (::write(ports_pipe[1], ports, sizeof ports) != sizeof ports) ::_exit(1);
    char byte;
    while (::read(stop_pipe[0], &byte, 1) > 0) {
    }
    ::_exit(0);
  }
  ::close(stop_pipe[0]);
  int ports[3] = {0, 0, 0};
  if (::read(ports_pipe[0], ports, sizeof ports) != sizeof ports) return 1;
  const int origin_port = PortOf(origin_fd);
  std::thread origin(Origin, origin_fd, bulk);
  std::vector<int> kept;
  std::thread tunnel_end(TunnelEnd, tunnel_end_fd, &kept);

  // Relay: 1 GiB through a CONNECT tunnel, with the gateway in front of tinyproxy and without.
  const double direct = Throughput(proxy_ports[0], origin_port, bulk);
  const double gated = Throughput(ports[0], origin_port, bulk);
  std::printf("relay_direct_throughput %.1f MB/s\n", direct / 1e6);
  std::printf("relay_gateway_throughput %.1f MB/s\n", gated / 1e6);
  std::printf("relay_throughput_ratio %.3f ratio\n", gated / direct);
  // A small GET: the time the gateway adds to tinyproxy's.
  std::vector<double> direct_ms;
  std::vector<double> gated_ms;
  for (int i = 0; i < 500; ++i) {
    direct_ms.push_back(GetMs(proxy_ports[0], origin_port));
    gated_ms.push_back(GetMs(ports[0], origin_port));
  }
  std::printf("get_added_p50 %.3f ms\n", Percentile(gated_ms, 0.5) - Percentile(direct_ms, 0.5));
  std::printf("get_added_p99 %.3f ms\n", Percentile(gated_ms, 0.99) - Percentile(direct_ms, 0.99));

  // Failover: 1,000 sequential requests; the upstream in use is killed after the 300th.
  std::atomic<int> done{0};
  std::atomic<bool> in_flight{false};
  std::atomic<long long> kill_at{0};
  int failures = 0;
  double first_after_kill_ms = -1;
  std::thread requests([&] {
    for (int i = 0; i < 1000; ++i) {
      const Clock::time_point start = Clock::now();
      in_flight = true;
      const double ms = GetMs(ports[2], origin_port);
      in_flight = false;
      if (ms < 0) ++failures;
      const long long killed = kill_at.load();
      if (killed != 0 && first_after_kill_ms < 0 && start.time_since_epoch().count() >= killed) {
        first_after_kill_ms = ms;
      }
      ++done;
    }
  });
  while (done < 300) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const bool flying = in_flight;
  kill_at = Clock::now().time_since_epoch().count();
  ::kill(proxies[1], SIGKILL);
  requests.join();
  std::printf("failover_requests 1000 requests\n");
  std::printf("failover_failures %d requests\n", failures);
  std::printf("failover_first_after_kill %.3f ms\n", first_after_kill_ms);
  std::printf("failover_in_flight_at_kill %d requests\n", flying ? 1 : 0);

  // Last: the ports its thousands of connections leave waiting would starve the parts above.
  // Scale: 5,000 idle tunnels held open through the gateway.
  std::printf("scale_rss_before %.1f MB\n", ResidentMbOf(child));
  std::vector<int> clients;
  for (int i = 0; i < 5000; ++i) {
    const int fd = Connect(ports[1]);
    if (fd < 0) break;
    SendAll(fd, "CONNECT 127.0.0.1:9 HTTP/1.1\r\n\r\n");
    if (ReadHead(fd).find(" 200 ") == std::string::npos) {
      ::close(fd);
      break;
    }
    clients.push_back(fd);
  }
  std::printf("scale_tunnels %zu tunnels\n", clients.size());
  std::printf("scale_rss_5000_tunnels %.1f MB\n", ResidentMbOf(child));
  for (const int fd : clients) CloseAtOnce(fd);
  // Soak: new tunnels opened and closed one after another.
  std::printf("soak_rss_start %.1f MB\n", ResidentMbOf(child));
  std::size_t soaked = 0;
  for (const Clock::time_point end = Clock::now() + std::chrono::seconds(soak_seconds);
       Clock::now() < end; ++soaked) {
    const int fd = Connect(ports[1]);
    if (fd < 0) continue;
    SendAll(fd, "CONNECT 127.0.0.1:9 HTTP/1.1\r\n\r\n");
    ReadHead(fd);
    CloseAtOnce(fd);
  }
  std::printf("soak_connections %zu connections\n", soaked);
  std::printf("soak_rss_end %.1f MB\n", ResidentMbOf(child));

  ::close(stop_pipe[1]);
  ::waitpid(child, nullptr, 0);
  for (const pid_t pid : proxies) {
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
  }
  ::shutdown(origin_fd, SHUT_RDWR);
  ::shutdown(tunnel_end_fd, SHUT_RDWR);
  origin.join();
  tunnel_end.join();
  for (const int fd : kept) ::close(fd);
  std::filesystem::remove_all(dir);
  return 0;
}
