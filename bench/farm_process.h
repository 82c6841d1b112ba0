// A fake-proxy farm in a child process, so that a benchmark measures only its own process.
#pragma once

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fixture/file_limit.h"
#include "fixture/proxy_farm.h"

namespace lumvex::bench {

class FarmProcess {
 public:
  // Starts the farm (proxy i on the i-th loopback address) and waits until it listens; Endpoints
  // is empty when it could not start.
  explicit FarmProcess(const std::vector<tools::ProxySpec>& specs) {
    int fds[2];
    if (pipe(fds) != 0) return;
    child_ = fork();
    if (child_ == 0) {
      close(fds[0]);
      tools::RaiseFileLimit();
      std::vector<tools::ProxySpec> placed = specs;
      for (size_t i = 0; i < placed.size(); ++i) placed[i].address = tools::LoopbackAddress(i);
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

}  // namespace lumvex::bench
