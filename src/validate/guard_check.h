// The proxy guard's re-check of a proxy: the connectivity-test address fetched through it with
// the check deadline, judged by the single check's rule (ProxyRelayed: a whole 2xx reply with a
// body through the proxy in time, redirects followed through it; never a direct fetch).
#pragma once

#include <string>

#include "http/fetch_client.h"
#include "sysproxy/proxy_guard.h"

namespace lumvex {

// `fetcher` must outlive every check started; `url` is the connectivity-test address (host with
// or without "http://"), `timeout_s` the check deadline.
ProxyGuard::Check MakeGuardCheck(http::FetchClient& fetcher, std::string url, double timeout_s);

// The same fetch through a CONNECT tunnel of the HTTP proxy: whether the proxy tunnels, and so
// may carry the desktop's https.
ProxyGuard::Check MakeTunnelProbe(http::FetchClient& fetcher, std::string url, double timeout_s);

}  // namespace lumvex
