#include "sysproxy/gsettings_proxy.h"

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include <cstdlib>
#include <cstring>
#include <utility>

namespace lumvex {
namespace {

constexpr const char* kProxySchema = "org.gnome.system.proxy";
constexpr const char* kHttpSchema = "org.gnome.system.proxy.http";
constexpr const char* kHttpsSchema = "org.gnome.system.proxy.https";
constexpr const char* kSocksSchema = "org.gnome.system.proxy.socks";
constexpr const char* kUseLogin = "use-authentication";
constexpr const char* kLoginUser = "authentication-user";
constexpr const char* kLoginPassword = "authentication-password";
constexpr const char* kManualMode = "manual";
constexpr const char* kAutoMode = "auto";
constexpr const char* kNoneMode = "none";

// Takes one reference and gives it back on destruction.
template <typename T>
struct GObjectRef {
  T* ptr = nullptr;
  GObjectRef() = default;
  explicit GObjectRef(T* p) : ptr(p) {}
  ~GObjectRef() {
    if (ptr != nullptr) g_object_unref(ptr);
  }
  GObjectRef(const GObjectRef&) = delete;
  GObjectRef& operator=(const GObjectRef&) = delete;
  GObjectRef(GObjectRef&& other) noexcept : ptr(std::exchange(other.ptr, nullptr)) {}
  GObjectRef& operator=(GObjectRef&& other) noexcept {
    std::swap(ptr, other.ptr);
    return *this;
  }
};

std::string TakeString(gchar* text) {
  std::string result = text != nullptr ? text : "";
  g_free(text);
  return result;
}

// Whether the schema has every key the proxy switch uses, with the types it uses.
bool HasKeys(GSettingsSchema* schema, std::initializer_list<const char*> keys) {
  for (const char* key : keys) {
    if (!g_settings_schema_has_key(schema, key)) return false;
  }
  return true;
}

// GLib's own reader (glib-networking's GNOME resolver) makes "http://HOST:PORT" of the host as it
// stands, so an IPv6 host is kept in brackets: "http://::1:3128" is refused as an invalid URI.
std::string StoredHost(const std::string& host) {
  return host.find(':') == std::string::npos ? host : "[" + host + "]";
}

bool WriteLogin(GSettings* http, const text::ProxyLogin& login) {
  const bool use = g_settings_set_boolean(http, kUseLogin, login.Empty() ? FALSE : TRUE);
  const bool user = g_settings_set_string(http, kLoginUser, login.user.c_str());
  const bool password = g_settings_set_string(http, kLoginPassword, login.password.c_str());
  return use && user && password;
}

// The login the store holds; empty when it is not in use.
text::ProxyLogin ReadLogin(GSettings* http) {
  if (!g_settings_get_boolean(http, kUseLogin)) return {};
  return {TakeString(g_settings_get_string(http, kLoginUser)),
          TakeString(g_settings_get_string(http, kLoginPassword))};
}

std::string HostOfStored(const std::string& stored) {
  if (stored.size() >= 2 && stored.front() == '[' && stored.back() == ']') {
    return stored.substr(1, stored.size() - 2);
  }
  return stored;
}

}  // namespace

struct GSettingsProxy::Handles {
  GObjectRef<GSettingsBackend> backend;  // null: the default back end
  GObjectRef<GSettings> proxy;
  GObjectRef<GSettings> http;
  GObjectRef<GSettings> https;
  GObjectRef<GSettings> socks;
  // The http schema has the authentication keys (every released schema has; a stripped one
  // may not, and then no login can be kept).
  bool http_login = false;
};

GSettingsProxy::GSettingsProxy(GSettingsProxyOptions options) {
  GSettingsSchemaSource* source = nullptr;
  if (options.schema_dir.empty()) {
    source = g_settings_schema_source_get_default();  // may be null when none is installed
    if (source != nullptr) g_settings_schema_source_ref(source);
  } else {
    GError* error = nullptr;
    source = g_settings_schema_source_new_from_directory(options.schema_dir.c_str(), nullptr, TRUE,
                                                         &error);
    if (error != nullptr) g_error_free(error);
  }
  GSettingsSchema* schemas[4] = {};
  const char* names[4] = {kProxySchema, kHttpSchema, kHttpsSchema, kSocksSchema};
  bool found = source != nullptr;
  for (int i = 0; i < 4 && found; ++i) {
    schemas[i] = g_settings_schema_source_lookup(source, names[i], TRUE);
    found = schemas[i] != nullptr;
  }
  if (found) {
    found = HasKeys(schemas[0], {"mode"}) && HasKeys(schemas[1], {"host", "port"}) &&
            HasKeys(schemas[2], {"host", "port"}) && HasKeys(schemas[3], {"host", "port"});
  }
  if (!found) {
    unavailable_reason_ = std::string("the schema ") + kProxySchema + " is not installed";
  } else {
    auto handles = std::make_unique<Handles>();
    if (!options.keyfile_path.empty()) {
      handles->backend = GObjectRef<GSettingsBackend>(
          g_keyfile_settings_backend_new(options.keyfile_path.c_str(), "/", nullptr));
    } else {
      // The memory back end keeps nothing past the end of the process and nobody else reads it:
      // only an explicit choice of it counts as a store.
      GSettingsBackend* fallback = g_settings_backend_get_default();  // a new reference
      const char* chosen = std::getenv("GSETTINGS_BACKEND");
      const bool memory = std::strcmp(G_OBJECT_TYPE_NAME(fallback), "GMemorySettingsBackend") == 0;
      g_object_unref(fallback);
      if (memory && (chosen == nullptr || std::strcmp(chosen, "memory") != 0)) {
        unavailable_reason_ = "no GSettings store is installed (only the memory back end)";
      }
    }
    if (unavailable_reason_.empty()) {
      GSettingsBackend* backend = handles->backend.ptr;
      handles->proxy = GObjectRef<GSettings>(g_settings_new_full(schemas[0], backend, nullptr));
      handles->http = GObjectRef<GSettings>(g_settings_new_full(schemas[1], backend, nullptr));
      handles->https = GObjectRef<GSettings>(g_settings_new_full(schemas[2], backend, nullptr));
      handles->socks = GObjectRef<GSettings>(g_settings_new_full(schemas[3], backend, nullptr));
      handles->http_login = HasKeys(schemas[1], {kUseLogin, kLoginUser, kLoginPassword});
      handles_ = std::move(handles);
    }
  }
  for (GSettingsSchema* schema : schemas) {
    if (schema != nullptr) g_settings_schema_unref(schema);
  }
  if (source != nullptr) g_settings_schema_source_unref(source);
}

GSettingsProxy::~GSettingsProxy() {
  if (handles_) g_settings_sync();
}

bool GSettingsProxy::Available() const { return handles_ != nullptr; }

bool GSettingsProxy::Enable(const std::string& host, int port, ProxyKind kind,
                            const text::ProxyLogin& login) {
  if (!handles_) return false;
  // GNOME keeps a login for the http proxy only (GLib's resolver puts it into the proxy URL it
  // hands out); a SOCKS proxy's login would be dropped, and a proxy without it refuses every
  // connection.
  if (!login.Empty() && (kind == ProxyKind::kSocks || !handles_->http_login)) return false;
  // GLib's resolver takes the http, https and socks addresses each for its own traffic, the socks
  // one for whatever has no address of its own: an address of an earlier proxy left in place
  // would still draw its share, so every scheme gets either this address or none.
  const std::string stored_host = StoredHost(host);
  const StoredAddress wanted{stored_host, port};
  const StoredAddress none{"", 0};
  return WriteManual({kind == ProxyKind::kSocks ? none : wanted,
                      kind == ProxyKind::kHttpTunnel ? wanted : none,
                      kind == ProxyKind::kSocks ? wanted : none},
                     login, host, port);
}

bool GSettingsProxy::EnableGateway(const std::string& host, int http_port, int socks_port) {
  if (!handles_) return false;
  const std::string stored_host = StoredHost(host);
  const StoredAddress http{stored_host, http_port};
  return WriteManual({http, http, StoredAddress{stored_host, socks_port}}, {}, host, http_port);
}

bool GSettingsProxy::WriteManual(const std::array<StoredAddress, 3>& addresses,
                                 const text::ProxyLogin& login, const std::string& host,
                                 int port) {
  bool written = true;
  GSettings* const schemes[3] = {handles_->http.ptr, handles_->https.ptr, handles_->socks.ptr};
  for (int i = 0; i < 3; ++i) {
    written = g_settings_set_string(schemes[i], "host", addresses[i].host.c_str()) && written;
    written = g_settings_set_int(schemes[i], "port", addresses[i].port) && written;
  }
  // The login of the last proxy goes with it: this one has its own or none.
  if (handles_->http_login) written = WriteLogin(handles_->http.ptr, login) && written;
  // The mode goes last, and only when the address is in place.
  if (written) written = g_settings_set_string(handles_->proxy.ptr, "mode", kManualMode);
  g_settings_sync();
  const SystemProxySetting now = Read();
  const auto holds = [](GSettings* settings, const StoredAddress& address) {
    return TakeString(g_settings_get_string(settings, "host")) == address.host &&
           g_settings_get_int(settings, "port") == address.port;
  };
  bool all_held = true;
  for (int i = 0; i < 3; ++i) all_held = holds(schemes[i], addresses[i]) && all_held;
  return written && now.enabled && now.host == host && now.port == port && all_held &&
         (!handles_->http_login || ReadLogin(handles_->http.ptr) == login);
}

std::string GSettingsProxy::Mode() const {
  return handles_ ? TakeString(g_settings_get_string(handles_->proxy.ptr, "mode")) : std::string();
}

bool GSettingsProxy::DisableRestoring(const AutomaticModes& before) {
  if (!handles_) return false;
  // Only the program's kind of proxy is switched off: a PAC or WPAD setup stays the user's.
  if (Mode() != kManualMode) return true;
  const auto kept = before.find(Name());
  const char* mode = kept != before.end() && kept->second == kAutoMode ? kAutoMode : kNoneMode;
  const bool written = g_settings_set_string(handles_->proxy.ptr, "mode", mode);
  g_settings_sync();
  return written && Mode() == mode;
}

AutomaticModes GSettingsProxy::ModesToRestore(const AutomaticModes& kept) const {
  const std::string mode = Mode();
  const auto entry = kept.find(Name());
  if (mode == kManualMode && entry != kept.end() && entry->second == kAutoMode) return {*entry};
  if (mode == kAutoMode) return {{Name(), kAutoMode}};
  return {};
}

SystemProxySetting GSettingsProxy::Read() const {
  SystemProxySetting setting;
  if (!handles_) return setting;
  setting.enabled = Mode() == kManualMode;
  // The http address when there is one; otherwise the SOCKS proxy's, which then takes everything.
  GSettings* source = handles_->http.ptr;
  std::string stored = TakeString(g_settings_get_string(source, "host"));
  if (stored.empty()) {
    std::string socks = TakeString(g_settings_get_string(handles_->socks.ptr, "host"));
    if (!socks.empty()) {
      source = handles_->socks.ptr;
      stored = std::move(socks);
      setting.socks = true;
    }
  }
  setting.host = HostOfStored(stored);
  setting.port = g_settings_get_int(source, "port");
  return setting;
}

}  // namespace lumvex
