#include "validate/check_attempt.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "text/text_util.h"

namespace lumvex {
namespace {

using Clock = std::chrono::steady_clock;

// A retry with less time than this left would end at the deadline before any answer came.
constexpr double kLeastAttemptS = 0.05;
// Longer waits are not taken from a judge's header: a check deadline is never that long.
constexpr double kLongestRetryAfterS = 3600;

// The value of the header `name` in a CR LF header block; nullopt without one.
std::optional<std::string> HeaderValue(std::string_view block, std::string_view name) {
  for (const std::string& line : text::Split(block, "\r\n")) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    if (text::ToLowerAscii(text::Trim(line.substr(0, colon))) == text::ToLowerAscii(name)) {
      return text::Trim(line.substr(colon + 1));
    }
  }
  return std::nullopt;
}

struct Attempt {
  http::FetchClient& fetcher;
  std::string url;
  http::FetchOptions options;
  std::shared_ptr<const StrictRule> rule;
  CheckDone done;
  Clock::time_point started;
  double timeout_s;
};

double SecondsLeft(const Attempt& attempt) {
  const double spent = std::chrono::duration<double>(Clock::now() - attempt.started).count();
  return attempt.timeout_s - spent;
}

void Fetch(const std::shared_ptr<Attempt>& attempt);

void OnReply(const std::shared_ptr<Attempt>& attempt, const http::FetchResult& reply) {
  const std::optional<double> retry_s = JudgeRefusalRetryS(reply);
  if (!retry_s) {
    attempt->done(JudgeReply(reply, *attempt->rule), reply);
    return;
  }
  const double left = SecondsLeft(*attempt);
  const double wait = std::clamp(*retry_s, 0.0, std::max(0.0, left));
  const bool again = left - wait >= kLeastAttemptS;
  // Without time for another answer the check still ends at its deadline, not earlier: the
  // judge asked for that long, and the checks queued behind this one keep waiting meanwhile.
  attempt->fetcher.After(
      std::chrono::ceil<std::chrono::milliseconds>(std::chrono::duration<double>(wait)),
      [attempt, again, reply] {
        if (again) {
          Fetch(attempt);
          return;
        }
        CheckOutcome busy;
        busy.status = reply.status;
        busy.reason = CheckReason::kJudgeBusy;
        attempt->done(busy, reply);
      });
}

void Fetch(const std::shared_ptr<Attempt>& attempt) {
  http::FetchOptions options = attempt->options;
  options.timeout_s = std::max(0.0, SecondsLeft(*attempt));
  std::string url = attempt->url;
  attempt->fetcher.FetchPageAsync(url, options,
                                  [attempt](http::FetchResult reply) { OnReply(attempt, reply); });
}

}  // namespace

std::optional<double> JudgeRefusalRetryS(const http::FetchResult& result) {
  if (result.timed_out || (result.status != 429 && result.status != 503)) return std::nullopt;
  if (!result.response_headers) return std::nullopt;
  const std::optional<std::string> mark =
      HeaderValue(*result.response_headers, kJudgeRefusalHeader);
  if (!mark || text::ToLowerAscii(*mark) != kJudgeRefusalBusy) return std::nullopt;
  const std::optional<std::string> retry = HeaderValue(*result.response_headers, "Retry-After");
  // Only the seconds form: a judge writes that one.
  if (!retry || retry->empty() || retry->size() > 9 ||
      retry->find_first_not_of("0123456789") != std::string::npos) {
    return kDefaultRetryAfterS;
  }
  return std::min<double>(text::AtoI(*retry), kLongestRetryAfterS);
}

void RunProxyCheck(http::FetchClient& fetcher, std::string url, http::FetchOptions options,
                   std::shared_ptr<const StrictRule> rule, CheckDone done) {
  const double timeout_s = options.timeout_s.value_or(http::FetchDeadlineMs(std::nullopt) / 1000);
  auto attempt =
      std::make_shared<Attempt>(Attempt{fetcher, std::move(url), std::move(options),
                                        std::move(rule), std::move(done), Clock::now(), timeout_s});
  Fetch(attempt);
}

}  // namespace lumvex
