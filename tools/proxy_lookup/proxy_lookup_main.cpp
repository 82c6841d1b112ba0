// lumvex_proxy_lookup URL...: asks GLib's default proxy resolver (the one GTK programs use, which
// reads the desktop's proxy setting) which proxies to use for each URL and prints them, one line
// per URL, the proxies joined by spaces ("http://127.0.0.1:8080", "direct://"). Exit 1 when a
// lookup fails.
#include <gio/gio.h>

#include <cstdio>

int main(int argc, char** argv) {
  GProxyResolver* resolver = g_proxy_resolver_get_default();
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    GError* error = nullptr;
    gchar** proxies = g_proxy_resolver_lookup(resolver, argv[i], nullptr, &error);
    if (proxies == nullptr) {
      std::fprintf(stderr, "%s: %s\n", argv[i], error != nullptr ? error->message : "failed");
      if (error != nullptr) g_error_free(error);
      status = 1;
      continue;
    }
    for (gchar** proxy = proxies; *proxy != nullptr; ++proxy) {
      std::printf("%s%s", proxy == proxies ? "" : " ", *proxy);
    }
    std::printf("\n");
    g_strfreev(proxies);
  }
  return status;
}
