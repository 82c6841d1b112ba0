// The system proxy of KDE: group [Proxy Settings] of kioslaverc in the user's configuration
// directory, in the form KDE's own settings module writes, followed by KIO's reparse signal so
// running KDE programs take the change at once.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "sysproxy/system_proxy.h"

namespace lumvex {

struct KdeProxyOptions {
  // The kioslaverc file to edit.
  std::string config_path;
  // Sends the reparse signal after a change; unset: no signal.
  std::function<void()> notify;
};

// $XDG_CONFIG_HOME/kioslaverc, or ~/.config/kioslaverc when XDG_CONFIG_HOME is unset or empty;
// "" when neither variable helps. `getenv` reads one environment variable (null when unset).
std::string KioslavercPath(const std::function<const char*(const char*)>& getenv);

class KdeProxy : public SystemProxy {
 public:
  explicit KdeProxy(KdeProxyOptions options);

  // Always true: a missing file is created (a KDE session reads it whenever it exists).
  bool Available() const override;
  // ProxyType=1 and "http://host port" in httpProxy (kHttp), httpProxy and httpsProxy
  // (kHttpTunnel), or "socks://host port" in socksProxy (kSocks); the other two of these keys
  // empty. Other lines stay as they were.
  using SystemProxy::Enable;
  bool Enable(const std::string& host, int port, ProxyKind kind,
              const text::ProxyLogin& login) override;
  bool EnableGateway(const std::string& host, int http_port, int socks_port) override;
  // ProxyType 1 becomes 0, or the automatic type `before` names (2, 3 or 4); the addresses stay.
  // Any other ProxyType is left as it is, and the file is not written.
  bool DisableRestoring(const AutomaticModes& before) override;
  AutomaticModes ModesToRestore(const AutomaticModes& kept) const override;
  SystemProxySetting Read() const override;
  std::string Name() const override { return "KDE"; }

 private:
  bool Write(const std::map<std::string, std::string>& values);
  // Writes `values` and reads them back; true when all of them hold and the proxy read is
  // `host`:`port`.
  bool WriteManual(const std::map<std::string, std::string>& values, const std::string& host,
                   int port);
  // The ProxyType line's value ("" when absent), or nullopt when the file exists but cannot be
  // read.
  std::optional<std::string> ProxyType() const;

  KdeProxyOptions options_;
};

}  // namespace lumvex
