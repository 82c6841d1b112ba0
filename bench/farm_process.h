// A fake-proxy farm in a child process, so that a benchmark measures only its own process.
#pragma once

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fixture/file_limit.h"
#include "fixture/proxy_farm.h"

namespace lumvex::bench {

class FarmProcess {
 public:
  // Starts the farm (proxy i on loopback address first + i) and waits until it listens;
  // Endpoints is empty when it could not start.
  explicit FarmProcess(const std::vector<tools::ProxySpec>& specs, size_t first = 0) {
    int fds[2];
    if (pipe(fds) != 0) return;
    child_ = fork();
    if (child_ == 0) {
      close(fds[0]);
      tools::RaiseFileLimit();
      std::vector<tools::ProxySpec> placed = specs;
      for (size_t i = 0; i < placed.size(); ++i) {
        placed[i].address = tools::LoopbackAddress(first + i);
      }
      tools::ProxyFarm farm(16);
      farm.SetLifetimeMs(3600 * 1000);
      std::string text;
      for (const auto& e : farm.Start(placed)) {
        text += e.address + ":" + std::to_string(e.port) + "\n";
      }
      text += "end\n";
      if (write(fds[1], text.data(), text.size()) < 0) _exit(1);
      close(fds[1]);
      pause();  // until the parent ends it
      _exit(0);
    }
    close(fds[1]);
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(fds[0], buffer, sizeof buffer)) > 0) {
      text.append(buffer, static_cast<size_t>(got));
      if (text.ends_with("end\n")) break;
    }
    close(fds[0]);
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
      std::string line = text.substr(start, nl - start);
      if (line != "end") endpoints_.push_back(line);
    }
  }
  ~FarmProcess() {
    if (child_ > 0) {
      kill(child_, SIGKILL);
      waitpid(child_, nullptr, 0);
    }
  }
  FarmProcess(const FarmProcess&) = delete;
  FarmProcess& operator=(const FarmProcess&) = delete;

  // "address:port" of each proxy, in the order of the specs.
  const std::vector<std::string>& Endpoints() const { return endpoints_; }

 private:
  pid_t child_ = -1;
  std::vector<std::string> endpoints_;
};

// A farm too large for one process's descriptors (a listener each, and a connection each while
// checked), spread over several processes of at most `per_process` proxies. Every proxy listens
// on one port below the ephemeral range, each on its own loopback address: thousands of
// listeners on ephemeral ports would leave too few for the checker's own connections.
class FarmProcesses {
 public:
  explicit FarmProcesses(std::vector<tools::ProxySpec> specs, size_t per_process = 5000) {
    for (int attempt = 0; attempt < 8 && endpoints_.size() != specs.size(); ++attempt) {
      farms_.clear();
      endpoints_.clear();
      const auto port = static_cast<uint16_t>(20000 + (getpid() * 7 + attempt * 997) % 10000);
      for (tools::ProxySpec& spec : specs) spec.port = port;
      for (size_t first = 0; first < specs.size(); first += per_process) {
        const size_t last = std::min(specs.size(), first + per_process);
        const std::vector<tools::ProxySpec> part(specs.begin() + static_cast<long>(first),
                                                 specs.begin() + static_cast<long>(last));
        farms_.push_back(std::make_unique<FarmProcess>(part, first));
        const std::vector<std::string>& got = farms_.back()->Endpoints();
        if (got.size() != part.size()) break;  // the port is taken somewhere: try another
        endpoints_.insert(endpoints_.end(), got.begin(), got.end());
      }
    }
  }

  // "address:port" of each proxy, in the order of the specs; fewer when a farm did not start.
  const std::vector<std::string>& Endpoints() const { return endpoints_; }

 private:
  std::vector<std::unique_ptr<FarmProcess>> farms_;
  std::vector<std::string> endpoints_;
};

}  // namespace lumvex::bench
