// The system proxy where the program has no store to write: every switch fails, nothing is on.
// Headless subcommands that do not switch the proxy, and tests, use it.
#pragma once

#include <string>

#include "sysproxy/system_proxy.h"

namespace lumvex {

class NoSystemProxy : public SystemProxy {
 public:
  bool Available() const override { return false; }
  using SystemProxy::Enable;
  bool Enable(const std::string& /*host*/, int /*port*/, ProxyKind /*kind*/,
              const text::ProxyLogin& /*login*/) override {
    return false;
  }
  bool DisableRestoring(const AutomaticModes& /*before*/) override { return false; }
  AutomaticModes ModesToRestore(const AutomaticModes& /*kept*/) const override { return {}; }
  SystemProxySetting Read() const override { return {}; }
  std::string Name() const override { return {}; }
};

}  // namespace lumvex
