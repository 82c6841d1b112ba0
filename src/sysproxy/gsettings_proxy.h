// The system proxy in GSettings (schema org.gnome.system.proxy), which GNOME, Cinnamon, MATE,
// Budgie and Unity read, and so do Firefox and GTK programs on other desktops. GIO stays inside
// the .cpp: its headers must not meet Qt's.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "sysproxy/system_proxy.h"

namespace lumvex {

struct GSettingsProxyOptions {
  // A directory holding a compiled schema set, used instead of the installed schemas ("" = the
  // installed ones).
  std::string schema_dir;
  // A keyfile store used instead of the default back end ("" = the default, which
  // GSETTINGS_BACKEND selects).
  std::string keyfile_path;
};

class GSettingsProxy : public SystemProxy {
 public:
  // Looks the schema up first: a missing schema leaves the back end unavailable (GIO would abort
  // the process on opening a schema it does not know).
  explicit GSettingsProxy(GSettingsProxyOptions options = {});
  ~GSettingsProxy() override;
  GSettingsProxy(const GSettingsProxy&) = delete;
  GSettingsProxy& operator=(const GSettingsProxy&) = delete;

  bool Available() const override;
  // The host and port of http (kHttp), http and https (kHttpTunnel) or socks (kSocks), the others
  // emptied, then mode 'manual' last, so no program sees the proxy switched on before it has its
  // address.
  using SystemProxy::Enable;
  bool Enable(const std::string& host, int port, ProxyKind kind,
              const text::ProxyLogin& login) override;
  bool EnableGateway(const std::string& host, int http_port, int socks_port) override;
  // Mode 'manual' becomes 'none', or 'auto' when `before` says so; host and port stay. Modes
  // 'none' and 'auto' are left as they are.
  bool DisableRestoring(const AutomaticModes& before) override;
  AutomaticModes ModesToRestore(const AutomaticModes& kept) const override;
  SystemProxySetting Read() const override;
  std::string Name() const override { return "GSettings"; }

  // Why the back end is unavailable ("" when it is available).
  const std::string& UnavailableReason() const { return unavailable_reason_; }

 private:
  struct Handles;
  struct StoredAddress {
    std::string host;  // as stored: an IPv6 address in brackets
    int port = 0;
  };
  std::string Mode() const;
  // Writes http, https and socks (in that order in `addresses`) and the login, then mode
  // 'manual'; true when the store reads back all of it and its proxy is `host`:`port`.
  bool WriteManual(const std::array<StoredAddress, 3>& addresses, const text::ProxyLogin& login,
                   const std::string& host, int port);

  std::unique_ptr<Handles> handles_;
  std::string unavailable_reason_;
};

}  // namespace lumvex
