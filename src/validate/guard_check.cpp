#include "validate/guard_check.h"

#include <utility>

#include "validate/proxy_check.h"

namespace lumvex {

ProxyGuard::Check MakeGuardCheck(http::FetchClient& fetcher, std::string url, double timeout_s) {
  return [&fetcher, url = std::move(url), timeout_s](const std::string& address,
                                                     std::function<void(bool)> done) {
    std::string target = url;
    fetcher.FetchPageAsync(
        target, CheckFetchOptions(address, timeout_s),
        [done = std::move(done)](http::FetchResult result) { done(ProxyRelayed(result)); });
  };
}

}  // namespace lumvex
