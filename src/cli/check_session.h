// The checks `lumvexip check` and `lumvexip gateway` run over a list: the fetch driver, the
// user's own address when a judge classifies the proxies, and one validation run per protocol
// tried, together keeping about `threads` checks in flight.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/subcommand_args.h"
#include "config/endpoints.h"
#include "http/cookie_store.h"
#include "http/fetch_client.h"
#include "proxylist/check_state.h"
#include "proxylist/proxy_entry.h"
#include "validate/check_protocol.h"
#include "validate/strict_check.h"
#include "validate/validation_run.h"

namespace lumvex::cli {

// --threads, or ValidationRun::kDefaultThreads; a bad value adds a message to `errors`.
int ThreadsOf(const SubcommandArgs& parsed, std::vector<std::string>& errors);

class CheckSession {
 public:
  // The verdict of `row` (an index into the rows given to Start) by the `index`-th protocol (0
  // without protocols); on the fetch driver's thread.
  using Finished = std::function<void(int row, std::size_t index, const CheckState& state)>;
  // The process has too few descriptors: at most `limit` checks at once.
  using Limited = std::function<void(int limit)>;

  // `protocols` empty: each row by its own scheme.
  CheckSession(const Endpoints& endpoints, double timeout_s, StrictRule rule,
               std::vector<CheckProtocol> protocols, Finished finished, Limited limited);
  ~CheckSession();
  CheckSession(const CheckSession&) = delete;
  CheckSession& operator=(const CheckSession&) = delete;

  // A judged rule without the user's own addresses asks the judge for them once, directly. The
  // judge's error text when it could not tell.
  std::optional<std::string> LearnOwnAddresses();
  void Start(const std::vector<ProxyEntry>& rows, int threads);
  // Drops checks not begun and closes the fetch driver (no verdict comes after it returns).
  void Close();

  // The fetch driver and the rule (with the user's own addresses once learnt), for checks run
  // another way (`check --every`).
  http::FetchClient& Fetcher() { return fetcher_; }
  const StrictRule& Rule() const { return rule_; }

 private:
  double timeout_s_;
  StrictRule rule_;
  http::CookieStore cookies_;
  http::FetchClient fetcher_;
  std::vector<std::unique_ptr<ValidationRun>> runs_;
  bool closed_ = false;
};

}  // namespace lumvex::cli
