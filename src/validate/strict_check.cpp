#include "validate/strict_check.h"

#include "validate/page_text.h"

namespace lumvex {

CheckOutcome JudgeReply(const http::FetchResult& result, const StrictRule& rule) {
  CheckOutcome outcome;
  if (result.timed_out) return outcome;
  outcome.status = result.status;
  outcome.bytes = result.body.size();
  if (!rule.Strict()) {
    outcome.ok = ProxyRelayed(result);
    return outcome;
  }
  outcome.ok = result.status >= 200 && result.status < 300 &&
               PageText(result.body, result.content_type).find(rule.expect) != std::string::npos;
  return outcome;
}

CheckState FinishedCheck(const CheckOutcome& outcome,
                         std::chrono::steady_clock::time_point started) {
  CheckState state;
  state.status = outcome.ok ? CheckStatus::kOk : CheckStatus::kFailed;
  state.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  state.http_status = outcome.status;
  state.bytes = outcome.bytes;
  return state;
}

std::string CheckAddress(const CheckTarget& target, const StrictRule& rule, int salt) {
  return rule.url.empty() ? ValidationUrl(target, salt) : rule.url;
}

}  // namespace lumvex
