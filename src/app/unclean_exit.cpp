#include "app/unclean_exit.h"

#include "settings/settings.h"
#include "sysproxy/proxy_address.h"

namespace lumvex {

bool SwitchOffAfterUncleanExit(const ProxyOnMarker& marker, ProxySwitchController& proxy_switch,
                               MainWindowState& state, const DataDir& data_dir) {
  if (!marker.Exists()) return false;
  const Settings settings{data_dir};
  if (settings.ReadRun() == RunChoice::kYes &&
      ParseProxyAddress(CaptionAddress(settings.ReadSavedProxy()))) {
    return false;
  }
  proxy_switch.CancelIeProxy();
  // The store still on (its write refused): CancelIeProxy's status line says so, and the marker
  // stays for the next start.
  if (proxy_switch.IsIeProxyEnabled()) return false;
  marker.Clear();
  state.SetText(control::kStatusLine, std::string(kUncleanExitStatus));
  return true;
}

}  // namespace lumvex
