// A judge on a thread of the test, on a free loopback port: the real server, so that tests of
// the classification read what `lumvexip judge` answers.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "judge/judge_server.h"

namespace lumvex::judge {

class RunningJudge {
 public:
  explicit RunningJudge(const JudgeLimits& limits = {}, const char* listen = "127.0.0.1:0")
      : server_(limits, [this](std::string_view line) {
          std::lock_guard lock(mutex_);
          log_.emplace_back(line);
        }) {
    const std::string error = server_.Listen(*ParseListenAddress(listen));
    if (error.empty()) {
      const std::string& url = server_.url();  // http://127.0.0.1:PORT/
      port_ = std::stoi(url.substr(url.rfind(':') + 1));
      thread_ = std::thread([this] { server_.Run(); });
    }
  }
  ~RunningJudge() {
    server_.Stop();
    if (thread_.joinable()) thread_.join();
  }

  int port() const { return port_; }
  const std::string& url() const { return server_.url(); }
  std::vector<std::string> log() {
    std::lock_guard lock(mutex_);
    return log_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> log_;
  JudgeServer server_;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace lumvex::judge
