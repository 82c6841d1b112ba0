#include "sysproxy/kde_reparse_signal.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>

#include <chrono>
#include <cstdlib>
#include <string>

namespace lumvex {
namespace {

// A session bus of the test's own (dbus-daemon), ended with the test.
class PrivateBus {
 public:
  PrivateBus() {
    FILE* out = popen(
        "dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=1 2>/dev/null",
        "r");
    if (out == nullptr) return;
    char line[512];
    if (fgets(line, sizeof line, out) != nullptr) address_ = Chomp(line);
    if (fgets(line, sizeof line, out) != nullptr) pid_ = std::atoi(line);
    pclose(out);
  }
  ~PrivateBus() {
    if (pid_ > 0) kill(pid_, SIGTERM);
  }
  const std::string& address() const { return address_; }

 private:
  static std::string Chomp(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
  }
  std::string address_;
  int pid_ = 0;
};

struct Received {
  int count = 0;
  std::string argument;
};

void OnSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
              GVariant* parameters, gpointer data) {
  auto* received = static_cast<Received*>(data);
  ++received->count;
  const gchar* text = nullptr;
  g_variant_get(parameters, "(&s)", &text);
  received->argument = text != nullptr ? text : "<none>";
}

TEST(KdeReparseSignalTest, KioHearsTheReparseSignalOnTheSessionBus) {
  PrivateBus bus;
  if (bus.address().empty()) GTEST_SKIP() << "dbus-daemon is not installed";

  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  GError* error = nullptr;
  GDBusConnection* listener = g_dbus_connection_new_for_address_sync(
      bus.address().c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error);
  ASSERT_NE(listener, nullptr) << (error != nullptr ? error->message : "");
  Received received;
  const guint id = g_dbus_connection_signal_subscribe(
      listener, nullptr, "org.kde.KIO.Scheduler", "reparseSlaveConfiguration", "/KIO/Scheduler",
      nullptr, G_DBUS_SIGNAL_FLAGS_NONE, &OnSignal, &received, nullptr);
  // A round trip to the bus: the match rule above is in place before the signal is sent.
  GVariant* reply = g_dbus_connection_call_sync(
      listener, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId",
      nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
  if (reply != nullptr) g_variant_unref(reply);

  EXPECT_TRUE(SendKioReparseSignal(bus.address()));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (received.count == 0 && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(context, FALSE);
    g_usleep(10 * 1000);
  }
  EXPECT_EQ(received.count, 1);
  EXPECT_EQ(received.argument, "");

  g_dbus_connection_signal_unsubscribe(listener, id);
  g_dbus_connection_close_sync(listener, nullptr, nullptr);
  g_object_unref(listener);
  while (g_main_context_iteration(context, FALSE)) {
  }
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
}

TEST(KdeReparseSignalTest, WithoutABusNothingIsSentAndNothingIsStarted) {
  EXPECT_FALSE(SendKioReparseSignal(""));
  EXPECT_FALSE(SendKioReparseSignal("unix:path=/nonexistent/lumvex-bus"));
  // The test program cleared DBUS_SESSION_BUS_ADDRESS; a runtime directory without a bus socket
  // gives no address either.
  setenv("XDG_RUNTIME_DIR", "/nonexistent", 1);
  EXPECT_EQ(SessionBusAddress(), "");
  unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace lumvex
