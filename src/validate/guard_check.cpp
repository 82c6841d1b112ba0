#include "validate/guard_check.h"

#include <memory>
#include <optional>
#include <utility>

#include "validate/check_attempt.h"
#include "validate/proxy_check.h"

namespace lumvex {

namespace {

ProxyGuard::Check MakeCheck(http::FetchClient& fetcher, std::string url, double timeout_s,
                            std::optional<CheckProtocol> protocol) {
  return [&fetcher, url = std::move(url), timeout_s, protocol](const std::string& address,
                                                               std::function<void(bool)> done) {
    RunProxyCheck(fetcher, url, CheckFetchOptions(address, timeout_s, kCheckBodyBytes, protocol),
                  std::make_shared<const StrictRule>(),
                  [done = std::move(done)](const CheckOutcome& outcome, const http::FetchResult&) {
                    done(outcome.ok);
                  });
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
