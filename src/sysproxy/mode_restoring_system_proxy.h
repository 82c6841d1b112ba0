// A system proxy store that remembers what the program's proxy replaced: switching on over an
// automatic configuration (a PAC address, WPAD) records that mode in the data directory's
// "proxy mode" file (DataFile::kProxyMode: one "store=mode" line per store, present only while a
// store has the program's proxy in place of an automatic configuration), and switching off puts it
// back instead of leaving the desktop without a proxy. The record outlives the process, so the
// exit, the next start after a crash, the guard's end and `lumvexip proxy off` all find it, whoever
// switched the proxy on.
#pragma once

#include <memory>
#include <string>

#include "settings/data_dir.h"
#include "sysproxy/forwarding_system_proxy.h"

namespace lumvex {

class ModeRestoringSystemProxy : public ForwardingSystemProxy {
 public:
  // `data_dir`: the program's data directory (created when the record is written).
  ModeRestoringSystemProxy(std::shared_ptr<SystemProxy> store, DataDir data_dir);

  // Records the modes to put back first (a failed record does not stop the switch).
  using SystemProxy::Enable;
  bool Enable(const std::string& host, int port, ProxyKind kind,
              const text::ProxyLogin& login) override;
  bool EnableGateway(const std::string& host, int http_port, int socks_port) override;
  // The recorded modes, with `before` over them; the record goes once no manual proxy is left.
  bool DisableRestoring(const AutomaticModes& before) override;

  // What the record holds now (empty when there is none or it cannot be read).
  AutomaticModes Recorded() const;

 private:
  // Records the modes a switch-off puts back; false when there is no store.
  bool RecordModes();

  DataDir data_dir_;
  std::string record_path_;
};

}  // namespace lumvex
