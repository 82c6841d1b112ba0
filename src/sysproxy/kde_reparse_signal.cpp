#include "sysproxy/kde_reparse_signal.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <cstdlib>

namespace lumvex {

std::string SessionBusAddress() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address != nullptr && address[0] != '\0') return address;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || runtime[0] != '/') return {};
  const std::string socket = std::string(runtime) + "/bus";
  struct stat info {};
  if (stat(socket.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) return {};
  return "unix:path=" + socket;
}

bool SendKioReparseSignal(const std::string& address) {
  if (address.empty()) return false;
  GError* error = nullptr;
  // A connection of its own, closed again: the shared session connection would stay open (and
  // keep a thread) for the rest of the program.
  GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
      address.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error);
  if (bus == nullptr) {
    g_clear_error(&error);
    return false;
  }
  bool sent =
      g_dbus_connection_emit_signal(bus, nullptr, "/KIO/Scheduler", "org.kde.KIO.Scheduler",
                                    "reparseSlaveConfiguration", g_variant_new("(s)", ""), &error);
  g_clear_error(&error);
  if (sent) sent = g_dbus_connection_flush_sync(bus, nullptr, &error);
  g_clear_error(&error);
  g_dbus_connection_close_sync(bus, nullptr, nullptr);
  g_object_unref(bus);
  return sent;
}

}  // namespace lumvex
