// The proxy of one libcurl easy handle: direct, an HTTP proxy (for plain-http URLs only unless it
// also tunnels https) or a SOCKS proxy that carries every URL, with its login handed to curl
// apart from the address.
#pragma once

#include <curl/curl.h>

#include <string>
#include <string_view>

namespace lumvex::http {

class CurlProxy {
 public:
  // Host:port of an HTTP proxy, or the same with a SOCKS scheme of the scheme table
  // (net/proxy_scheme.h) in front, a login possibly in front of the host; empty: direct. With
  // `tunnel_https`, https URLs go through an HTTP proxy too (a CONNECT tunnel).
  void Set(std::string_view proxy, bool tunnel_https);
  // Plain-http URLs too go through a CONNECT tunnel of the HTTP proxy instead of being handed to
  // it.
  void SetTunnelPlainHttp(bool tunnel) { tunnel_plain_ = tunnel; }

  // Gives `easy` the proxy for a URL of that scheme, or none where the proxy does not serve it.
  // False when curl refused the proxy: `easy` is then left going direct.
  bool Apply(CURL* easy, bool https_url);
  // The last Apply put the proxy in effect.
  bool InEffect() const { return in_effect_; }

 private:
  std::string proxy_;
  bool tunnel_https_ = false;
  bool tunnel_plain_ = false;
  bool in_effect_ = false;
};

}  // namespace lumvex::http
