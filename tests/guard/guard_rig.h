// Pieces the guard's tests share: loopback farm proxies that can be made to die, a keyfile
// GSettings store behind the "proxy on" marker, and waiting for a condition as an event.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fixture/proxy_farm.h"
#include "keyfile_store.h"
#include "proxylist/proxy_entry.h"
#include "support/verdict_rows.h"
#include "support/wait_until.h"
#include "sysproxy/marked_system_proxy.h"

namespace lumvex::testing {

// One answering proxy per farm, so each can be stopped (it then refuses connections) alone.
class LiveProxy {
 public:
  // `status` other than 200: the proxy refuses every request with a page of its own.
  explicit LiveProxy(std::size_t index, int status = 200) {
    tools::ProxySpec spec;
    spec.address = tools::LoopbackAddress(index);
    spec.body = "<html>ok</html>";
    spec.status = status;
    const auto endpoints = farm_.Start({spec});
    if (!endpoints.empty())
      address_ = endpoints[0].address + ":" + std::to_string(endpoints[0].port);
  }
  const std::string& Address() const { return address_; }
  std::string Ip() const { return address_.substr(0, address_.find(':')); }
  std::string Port() const { return address_.substr(address_.find(':') + 1); }
  ProxyEntry Row(const std::string& verdict, const std::string& location = "测试 电信") const {
    return WithVerdict(ProxyEntry{{Ip(), Port(), verdict, "0.5", location, "1天"}});
  }
  void Die() { farm_.Stop(); }

 private:
  tools::ProxyFarm farm_;
  std::string address_;
};

// A store of the test's own with the marker in `data_dir`.
inline std::shared_ptr<MarkedSystemProxy> MarkedKeyfileStore(const KeyfileStore& keyfile,
                                                             const std::string& data_dir) {
  return std::make_shared<MarkedSystemProxy>(keyfile.Open(), ProxyOnMarker(DataDir(data_dir)));
}

}  // namespace lumvex::testing
