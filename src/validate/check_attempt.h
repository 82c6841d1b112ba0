// One check of one proxy, as every check runs it (the validation run, the menu check, the proxy
// guard, `lumvexip check`): the fetch through the proxy, the judge's own refusals waited out, and
// the verdict with its reason.
//
// A judge marks the refusals it produces itself (its rate limit, its connection caps) with
// "X-Judge-Refusal: busy" and "Retry-After: SECONDS" on a 429 or 503. Such a reply says nothing
// of the proxy that carried it: the check asks again after Retry-After while its deadline lasts,
// and at the deadline ends with no verdict (kJudgeBusy). A 429 or 503 without the mark is the
// proxy's own ("proxy said 503").
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "http/fetch_client.h"
#include "validate/strict_check.h"

namespace lumvex {

inline constexpr std::string_view kJudgeRefusalHeader = "X-Judge-Refusal";
inline constexpr std::string_view kJudgeRefusalBusy = "busy";
// The wait when a marked refusal names none (or one that cannot be read).
inline constexpr double kDefaultRetryAfterS = 1;

// The seconds to wait when `result` is the judge's own refusal; nullopt for any other reply.
std::optional<double> JudgeRefusalRetryS(const http::FetchResult& result);

// What a finished check hands back: the verdict, and the last reply (whose out_of_descriptors
// says the check never began for want of a socket).
using CheckDone = std::function<void(const CheckOutcome& outcome, const http::FetchResult& last)>;

// Fetches `url` with `options` (CheckFetchOptions) and judges the reply by `rule`, asking again
// after a judge's refusal within `options.timeout_s` of the start. `done` runs once, on the fetch
// driver's thread, unless the fetcher is closed while the check waits to ask again. `fetcher`
// must outlive the check.
void RunProxyCheck(http::FetchClient& fetcher, std::string url, http::FetchOptions options,
                   std::shared_ptr<const StrictRule> rule, CheckDone done);

}  // namespace lumvex
