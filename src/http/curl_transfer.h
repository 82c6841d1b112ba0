// One libcurl easy handle set up the way every client here needs it: no signals, no proxy from
// the environment, no connection reuse, capped body and header buffers, redirects followed by
// hand so that each client decides which schemes a redirect may lead to.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "http/curl_proxy.h"

namespace lumvex::http {

struct RedirectPolicy {
  bool follow = true;
  bool to_http = true;
  bool to_https = false;
};

// The header name of one "Name: value" line, trimmed; empty without a colon.
std::string HeaderName(std::string_view line);

class CurlTransfer {
 public:
  CurlTransfer();
  ~CurlTransfer();
  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  bool valid() const { return easy_ != nullptr; }
  CURL* handle() const { return easy_; }

  // False when curl refused the address (the handle then keeps its previous one).
  bool SetUrl(const std::string& url);
  // Host:port of an HTTP proxy used for plain-http URLs only; empty: always direct. With
  // `tunnel_https`, https URLs go through it too (a CONNECT tunnel). A proxy written with a
  // SOCKS scheme of the scheme table (net/proxy_scheme.h) in front of host:port carries every
  // URL. A login in front of the host ("user:password@host:port") is sent as the proxy's
  // (HTTP basic authentication, SOCKS5 user and password). False when curl refused the proxy (an
  // address too long for it, say): the handle is then left going direct.
  bool SetProxy(std::string_view proxy, bool tunnel_https = false);
  // Plain-http URLs too go through a CONNECT tunnel of the HTTP proxy instead of being handed to
  // it: whether the proxy tunnels is then what a request finds out. Call before SetProxy.
  void SetTunnelPlainHttp(bool tunnel) { proxy_.SetTunnelPlainHttp(tunnel); }
  // The request to the URL set now goes through the proxy: one is given, curl took it, and it
  // serves this URL's scheme.
  bool ProxyInEffect() const { return proxy_.InEffect(); }
  // Every hop must go through the proxy: a redirect to where it would not is not followed.
  void RequireProxy(bool require) { require_proxy_ = require; }
  void SetUserAgent(const std::string& agent);
  // The lines to send after Host (and User-Agent, unless a line carries one), in order. curl's
  // own versions of the headers named in `suppress` are left out unless a line supplies one.
  void SetHeaderLines(std::vector<std::string> lines, std::vector<std::string> suppress);
  // "GET", "POST", "HEAD" or any other method; the body goes out with any method but GET.
  void SetMethod(std::string method, std::string body);
  void SetHttp10(bool http10);
  // connect_ms and idle_ms (no byte moving) of 0 mean none; total_ms 0 means no overall limit.
  void SetLimits(long connect_ms, long idle_ms, long total_ms);
  void SetRedirectPolicy(RedirectPolicy policy) { policy_ = policy; }
  // curl itself follows up to `hops` redirects to http and https addresses, through the proxy
  // the handle has (an https hop through its CONNECT tunnel); the policy then follows none.
  // Another scheme or one hop too many ends the transfer with an error.
  void FollowThroughProxy(int hops) { FollowInCurl(hops, false); }
  // The same, with `https_only` limiting the hops to https addresses.
  void FollowInCurl(int hops, bool https_only);
  // The transfer aborts soon after the flag becomes true.
  void SetCancelFlag(const std::atomic<bool>* cancel) { cancel_ = cancel; }
  // Runs whenever curl reports progress (while bytes move, and about once a second while they do
  // not), on the thread that drives the transfer; not once the cancel flag is up.
  void SetProgressObserver(std::function<void()> observer) {
    progress_observer_ = std::move(observer);
  }
  // The body stops growing at `bytes` (at most kMaxBodyBytes); the transfer ends there. A small
  // limit also shrinks curl's receive buffer, which every transfer in flight holds.
  void SetBodyLimit(std::size_t bytes);
  // Each piece of the body goes to `sink` as it arrives instead of into body(), with no body
  // limit; a sink that returns false refuses the piece, which ends the transfer
  // (CURLE_WRITE_ERROR). Runs on the thread that drives the transfer.
  using BodySink = std::function<bool(std::string_view piece)>;
  void SetBodySink(BodySink sink) { body_sink_ = std::move(sink); }

  // The handle keeps its host names and its connection to itself instead of in the multi
  // handle's caches, which curl searches on every connection: with thousands of transfers in
  // flight that cost grew with their number. Not with a cookie jar (a handle has one share).
  void UseOwnCaches();

  // Sees each hop that ended well before the next is prepared, so a client can adjust the
  // redirect policy to where the exchange has got to.
  void SetHopObserver(std::function<void(CurlTransfer&)> observer) {
    hop_observer_ = std::move(observer);
  }

  // After a hop has ended: when the response redirects somewhere the policy allows, sets the
  // handle up for the next hop and returns true.
  bool PrepareRedirect();

  // The body of the last response (up to the cap) and its raw header block, status line
  // included, each line ending in CR LF (also where the server ended it with a bare LF).
  const std::string& body() const { return body_; }
  std::string TakeBody() { return std::move(body_); }
  const std::string& headers() const { return headers_; }
  // Status code of the last response; 0 when none arrived.
  int ResponseStatus() const;
  // The Content-Type of the last response, as sent; empty when it had none.
  std::string ContentType() const;
  // A socket could not be made because the process (or the system) had no descriptor left: the
  // failure says nothing about the other side.
  bool OutOfDescriptors() const { return out_of_descriptors_; }

 private:
  static size_t OnBody(char* data, size_t size, size_t count, void* user);
  static size_t OnHeader(char* data, size_t size, size_t count, void* user);
  static int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
  static curl_socket_t OnOpenSocket(void* user, curlsocktype purpose, curl_sockaddr* address);
  void ApplyHeaderList();
  void ApplyMethod();

  CURL* easy_ = nullptr;
  curl_slist* header_list_ = nullptr;
  curl_slist* proxy_header_list_ = nullptr;
  CURLSH* own_share_ = nullptr;
  std::vector<std::string> lines_;
  std::vector<std::string> suppress_;
  std::string url_;
  CurlProxy proxy_;
  bool require_proxy_ = false;
  std::string method_ = "GET";
  std::string request_body_;
  RedirectPolicy policy_;
  std::function<void(CurlTransfer&)> hop_observer_;
  int redirects_ = 0;
  const std::atomic<bool>* cancel_ = nullptr;
  std::function<void()> progress_observer_;
  BodySink body_sink_;
  std::size_t body_limit_;
  bool out_of_descriptors_ = false;
  std::string body_;
  std::string headers_;
};

}  // namespace lumvex::http
