// The strict check (opt-in): a reply counts only when its status is 2xx and its body contains an
// expected text, so captive login pages, injected pages and fake replies no longer pass. Also the
// address a check fetches when the user names one of their own, and the judge whose echo of the
// request classifies a working proxy's anonymity. Empty fields mean the usual rules: the
// validation address, and a reply the proxy relayed (ProxyRelayed).
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "http/fetch_request.h"
#include "proxylist/check_state.h"
#include "validate/proxy_check.h"

namespace lumvex {

struct StrictRule {
  std::string url;     // fetched instead of the validation address when not empty
  std::string expect;  // when not empty: the reply must be 2xx and its body must contain it
  // When not empty: every check fetches this judge instead (url and expect do not apply), and a
  // relayed reply must be a judge's echo, which gives the proxy's anonymity.
  std::string judge{};
  // The user's own addresses in canonical form (CanonicalAddress), looked up when the run
  // starts; not kept with the settings. Empty with a judge: checks pass as usual, unclassified.
  std::vector<std::string> own_addresses{};

  bool Strict() const { return !expect.empty() && judge.empty(); }
  bool Judged() const { return !judge.empty(); }
  friend bool operator==(const StrictRule&, const StrictRule&) = default;
};

// A strict check reads this much of a reply at most: the text may stand far into a page.
inline constexpr std::size_t kStrictCheckBodyBytes = 256u * 1024u;

// What one check found.
struct CheckOutcome {
  bool ok = false;
  int status = 0;         // of the reply that came through the proxy; 0 when none arrived
  std::size_t bytes = 0;  // body bytes received (0 after a failure or the deadline)
  Anonymity anonymity = Anonymity::kUnknown;  // with a judge and own addresses, when ok
  // Why it failed; kJudgeBusy: no verdict (the judge refused the check until its deadline).
  CheckReason reason = CheckReason::kNone;
  std::string detail{};  // with a judge: why a relayed reply was not a judge's echo
};

// The verdict on a reply fetched with CheckFetchOptions, with the reason of a failure: the single
// check's rule (ProxyRelayed), or with `rule.Strict()` a 2xx status, no deadline, and
// `rule.expect` found in the page's text (decoded from its own charset, PageText; a reply cut
// after the text passes). With `rule.Judged()`: relayed (ProxyRelayed) and a readable judge reply
// (ReadJudgeReply), classified against `rule.own_addresses`.
CheckOutcome JudgeReply(const http::FetchResult& result, const StrictRule& rule);

// The state of a check that began at `started` and found `outcome`: its verdict with the seconds
// it took, the status, the bytes and the reason; no verdict (kNone) when the judge was busy.
CheckState FinishedCheck(const CheckOutcome& outcome,
                         std::chrono::steady_clock::time_point started);

// The address a pool check fetches: the judge, else `rule.url` when given, else the validation
// address.
std::string CheckAddress(const CheckTarget& target, const StrictRule& rule, int salt);

// How much of a reply a check under `rule` reads.
std::size_t CheckBodyBytes(const StrictRule& rule);

}  // namespace lumvex
