// The first step of a start: a "proxy on" marker left by a run that ended without its exit
// sequence means the desktop may still be on that run's proxy.
#pragma once

#include <string>
#include <string_view>

#include "app/main_window_state.h"
#include "app/proxy_switch_controller.h"
#include "settings/data_dir.h"
#include "sysproxy/proxy_on_marker.h"

namespace lumvex {

// Status line after the proxy left on by such a run has been switched off.
inline constexpr std::string_view kUncleanExitStatus = "上次未正常退出，已取消代理";

// UI thread, before the other start-up steps. When `marker` exists the system proxy is switched
// off and the status line says so, unless "run" is "yes" with a usable saved proxy: the start-up
// restore then switches that one on as usual. True when it switched the proxy off.
bool SwitchOffAfterUncleanExit(const ProxyOnMarker& marker, ProxySwitchController& proxy_switch,
                               MainWindowState& state, const DataDir& data_dir);

}  // namespace lumvex
