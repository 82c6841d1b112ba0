// The per-user system proxy that desktop programs (browsers, GTK and KDE programs) follow: one
// HTTP proxy address for http and https, switched on or off. Back ends live in platform/.
#pragma once

#include <string>

namespace lumvex {

// What the store holds: whether the proxy is on, and the address kept for it (also while off).
struct SystemProxySetting {
  bool enabled = false;
  std::string host;
  int port = 0;

  friend bool operator==(const SystemProxySetting&, const SystemProxySetting&) = default;
};

// Calls come from one thread at a time (the UI thread, or the thread of a headless subcommand).
class SystemProxy {
 public:
  virtual ~SystemProxy() = default;

  // Whether there is a store to write at all (the schema is installed, the desktop is KDE).
  virtual bool Available() const = 0;
  // Writes host and port for http and https, then switches the proxy on. True only when the
  // store reads back exactly that afterwards; a write that was lost is a failure.
  virtual bool Enable(const std::string& host, int port) = 0;
  // Switches the proxy off and leaves the address as it is. True when the store reads back off.
  virtual bool Disable() = 0;
  // The store as it is now; off with an empty address when nothing is available.
  virtual SystemProxySetting Read() const = 0;
  // Short name of the store for messages ("GSettings", "KDE").
  virtual std::string Name() const = 0;
};

}  // namespace lumvex
