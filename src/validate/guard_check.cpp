#include "validate/guard_check.h"

#include <optional>
#include <utility>

#include "validate/proxy_check.h"

namespace lumvex {

namespace {

ProxyGuard::Check MakeCheck(http::FetchClient& fetcher, std::string url, double timeout_s,
                            std::optional<CheckProtocol> protocol) {
  return [&fetcher, url = std::move(url), timeout_s, protocol](const std::string& address,
                                                               std::function<void(bool)> done) {
    std::string target = url;
    fetcher.FetchPageAsync(
        target, CheckFetchOptions(address, timeout_s, kCheckBodyBytes, protocol),
        [done = std::move(done)](http::FetchResult result) { done(ProxyRelayed(result)); });
  };
}

}  // namespace

ProxyGuard::Check MakeGuardCheck(http::FetchClient& fetcher, std::string url, double timeout_s) {
  return MakeCheck(fetcher, std::move(url), timeout_s, std::nullopt);
}

ProxyGuard::Check MakeTunnelProbe(http::FetchClient& fetcher, std::string url, double timeout_s) {
  return MakeCheck(fetcher, std::move(url), timeout_s, CheckProtocol::kConnect);
}

}  // namespace lumvex
