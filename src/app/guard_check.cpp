#include "app/guard_check.h"

#include <utility>

#include "validate/proxy_check.h"

namespace lumvex {

ProxyGuard::Check MakeGuardCheck(http::FetchClient& fetcher, std::string url, double timeout_s) {
  return [&fetcher, url = std::move(url), timeout_s](const std::string& address,
                                                     std::function<void(bool)> done) {
    std::string target = url;
    http::FetchOptions options;
    options.proxy = address;
    options.timeout_s = timeout_s;
    fetcher.FetchPageAsync(target, options, [done = std::move(done)](http::FetchResult result) {
      done(ProxyRelayed(result));
    });
  };
}

}  // namespace lumvex
