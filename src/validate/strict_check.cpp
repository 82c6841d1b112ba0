#include "validate/strict_check.h"

#include "validate/anonymity.h"
#include "validate/judge_reply.h"
#include "validate/page_text.h"

namespace lumvex {

CheckOutcome JudgeReply(const http::FetchResult& result, const StrictRule& rule) {
  CheckOutcome outcome;
  if (result.timed_out) {
    outcome.reason = FailureReason(result);
    return outcome;
  }
  outcome.status = result.status;
  outcome.bytes = result.body.size();
  if (rule.Strict()) {
    // The text is what the check reads for: a reply cut after it has given what was needed.
    const bool cut_late = result.failure == http::FetchFailure::kCutReply && result.status > 0;
    if (result.failure != http::FetchFailure::kNone && !cut_late) {
      outcome.reason = FailureReason(result);
      outcome.status = FailedStatus(result);
      return outcome;
    }
    if (result.status < 200 || result.status > 299) {
      http::FetchResult status_only;
      status_only.status = result.status;
      outcome.reason = FailureReason(status_only);
      return outcome;
    }
    outcome.ok = PageText(result.body, result.content_type).find(rule.expect) != std::string::npos;
    if (!outcome.ok)
      outcome.reason = cut_late ? CheckReason::kCutReply : CheckReason::kContentMissing;
    return outcome;
  }
  if (!ProxyRelayed(result)) {
    outcome.reason = FailureReason(result);
    outcome.status = FailedStatus(result);
    return outcome;
  }
  if (rule.Judged()) {
    const JudgeReading reading = ReadJudgeReply(result.body);
    if (!reading.view) {
      outcome.reason = CheckReason::kJudgeUnreadable;
      outcome.detail = reading.reason;
      return outcome;
    }
    if (!rule.own_addresses.empty()) {
      outcome.anonymity = Classify(*reading.view, rule.own_addresses);
    }
  }
  outcome.ok = true;
  return outcome;
}

CheckState FinishedCheck(const CheckOutcome& outcome,
                         std::chrono::steady_clock::time_point started) {
  CheckState state;
  if (outcome.ok) {
    state.status = CheckStatus::kOk;
  } else {
    state.status =
        outcome.reason == CheckReason::kJudgeBusy ? CheckStatus::kNone : CheckStatus::kFailed;
  }
  state.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  state.http_status = outcome.status;
  state.bytes = outcome.bytes;
  state.anonymity = outcome.anonymity;
  state.reason = outcome.reason;
  state.detail = outcome.detail;
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
