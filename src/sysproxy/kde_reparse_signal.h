// KIO's "reparse your configuration" signal on the session bus, which KDE's settings module sends
// after changing the proxy: running KDE programs then read kioslaverc again.
#pragma once

#include <string>

namespace lumvex {

// The session bus address GIO would use, or "" when there is none to use: DBUS_SESSION_BUS_ADDRESS,
// else $XDG_RUNTIME_DIR/bus when that socket exists. No bus is ever started for this.
std::string SessionBusAddress();

// Emits reparseSlaveConfiguration("") on /KIO/Scheduler, interface org.kde.KIO.Scheduler, on the
// bus at `address` and waits until it has been sent. False when there is no bus or sending failed.
bool SendKioReparseSignal(const std::string& address);

}  // namespace lumvex
