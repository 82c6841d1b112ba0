#include "validate/strict_check.h"

#include "validate/anonymity.h"
#include "validate/judge_reply.h"
#include "validate/page_text.h"

namespace lumvex {

CheckOutcome JudgeReply(const http::FetchResult& result, const StrictRule& rule) {
  CheckOutcome outcome;
  if (result.timed_out) return outcome;
  outcome.status = result.status;
  outcome.bytes = result.body.size();
  if (rule.Judged()) {
    if (!ProxyRelayed(result)) return outcome;
    const JudgeReading reading = ReadJudgeReply(result.body);
    if (!reading.view) {
      outcome.reason = reading.reason;
      return outcome;
    }
    outcome.ok = true;
    if (!rule.own_addresses.empty()) {
      outcome.anonymity = Classify(*reading.view, rule.own_addresses);
    }
    return outcome;
  }
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
  state.anonymity = outcome.anonymity;
  state.reason = outcome.reason;
  return state;
}

std::string CheckAddress(const CheckTarget& target, const StrictRule& rule, int salt) {
  if (rule.Judged()) return rule.judge;
  return rule.url.empty() ? ValidationUrl(target, salt) : rule.url;
}

std::size_t CheckBodyBytes(const StrictRule& rule) {
  // One byte past the judge's limit, so that a longer reply is seen to be too long.
  if (rule.Judged()) return kJudgeReplyMaxBytes + 1;
  return rule.Strict() ? kStrictCheckBodyBytes : kCheckBodyBytes;
}

}  // namespace lumvex
