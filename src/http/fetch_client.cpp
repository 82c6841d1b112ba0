#include "http/fetch_client.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "http/cookie_store.h"
#include "http/http_limits.h"
#include "http/transfer_failure.h"
#include "http/url_text.h"
#include "text/codec.h"
#include "text/text_util.h"

namespace lumvex::http {
namespace {

using Clock = FetchDriver::Clock;

// curl's own limit stays behind the driver's deadline so that the driver decides.
constexpr long kBackstopMs = 1000;

// Sets the transfer's limits; the driver's deadline for it.
Clock::time_point ApplySyncLimits(CurlTransfer& transfer, const SyncLimits& limits) {
  const long total_ms = limits.total_ms > 0 ? limits.total_ms : kSyncTotalMs;
  transfer.SetLimits(limits.connect_ms, limits.idle_ms, total_ms + kBackstopMs);
  return Clock::now() + std::chrono::milliseconds(total_ms);
}

FetchResult TimeoutResult() {
  FetchResult result;
  result.body = std::string(kFetchTimeoutMessage);
  result.timed_out = true;
  return result;
}

// A failed exchange: empty body, and empty texts where the caller asked for them.
FetchResult EmptyResult(const FetchOptions& options) {
  FetchResult result;
  if (options.want_response_headers) result.response_headers.emplace();
  if (options.want_cookies) result.cookies.emplace();
  return result;
}

double ElapsedMs(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

// What one call carries from submission to completion.
struct FetchClient::Call {
  FetchOptions options;
  std::string host;
  Clock::time_point start;
  double deadline_ms = 0;
  CookieStore* cookies = nullptr;

  FetchResult Complete(FetchDriver::Outcome outcome, CURLcode code, CurlTransfer& transfer) const {
    if (outcome == FetchDriver::Outcome::kDeadline ||
        IsFetchTimedOut(ElapsedMs(start), deadline_ms)) {
      FetchResult timed_out = TimeoutResult();
      timed_out.failure = ClassifyFailure(transfer.handle(), code, true).failure;
      return timed_out;
    }
    if (outcome == FetchDriver::Outcome::kCancelled) return EmptyResult(options);
    if (transfer.OutOfDescriptors()) {
      FetchResult short_of_descriptors = EmptyResult(options);
      short_of_descriptors.out_of_descriptors = true;
      return short_of_descriptors;
    }
    FetchResult result;
    std::string header_text =
        text::DecodeGbk(FitHeaderBuffer(transfer.headers(), kFetchHeaderBufferBytes));
    std::string set_cookies = CollectFetchCookies(header_text, host, cookies);
    if (options.want_response_headers) result.response_headers = std::move(header_text);
    if (options.want_cookies) result.cookies = std::move(set_cookies);
    result.body = DecodeFetchBody(transfer.TakeBody(), options.body_encoding.value_or(kBodyAsIs));
    result.status = transfer.ResponseStatus();
    result.content_type = transfer.ContentType();
    const FetchFailureInfo failure = ClassifyFailure(transfer.handle(), code, false);
    result.failure = failure.failure;
    result.proxy_status = failure.proxy_status;
    return result;
  }
};

FetchClient::FetchClient(CookieStore* cookies) : cookies_(cookies) {}

FetchClient::~FetchClient() { driver_.Shutdown(); }

void FetchClient::Close() { driver_.Shutdown(); }

void FetchClient::After(std::chrono::milliseconds delay, std::function<void()> call) {
  driver_.After(Clock::now() + delay, std::move(call));
}

std::unique_ptr<CurlTransfer> FetchClient::Prepare(const std::string& url,
                                                   const FetchOptions& options,
                                                   std::string* host) const {
  // Addresses and header blocks leave the program as GBK bytes.
  std::string wire_url = text::EncodeGbk(url);
  bool https = text::Contains(wire_url, "https://", true);
  *host = UrlHost(wire_url);
  std::string target = ComposeUrl(https, *host, https ? 443 : UrlPort(wire_url), UrlPath(wire_url));
  auto transfer = std::make_unique<CurlTransfer>();
  if (target.empty() || !transfer->valid()) return nullptr;

  bool post = options.method.value_or(0) == 1;
  std::string block = options.headers.value_or("");
  std::string cookie_text = options.cookies.value_or("");
  std::string body = post ? options.body.value_or("") : std::string();
  std::string complete = CompleteFetchHeaderBlock(block, url, post, cookie_text, body.size());

  if (!transfer->SetUrl(target)) return nullptr;
  transfer->SetTunnelPlainHttp(options.proxy_tunnel);
  const bool proxy_taken = transfer->SetProxy(options.proxy.value_or(""), options.proxy_only);
  // A check must never reach the site itself: without its proxy it sends nothing.
  if (options.proxy_only && !(proxy_taken && transfer->ProxyInEffect())) return nullptr;
  transfer->RequireProxy(options.proxy_only);
  transfer->SetUserAgent(text::EncodeGbk(FetchUserAgent(block)));
  transfer->SetHeaderLines(SplitHeaderBlock(text::EncodeGbk(complete)),
                           {"Accept", "Expect", "Content-Type"});
  transfer->SetMethod(post ? "POST" : "GET", std::move(body));
  // A secure request keeps only the secure flag: cookies from the store and redirects always
  // apply there, and only to https. Plain http may be redirected to https; outside a proxy check
  // that hop goes direct, since a given proxy serves plain http only.
  if (options.proxy_only) {
    // A proxy check keeps no cookies; thousands at once must not share a host-name cache.
    transfer->UseOwnCaches();
    // Where a redirect leads is part of the proxy's answer: it is followed through the proxy.
    transfer->FollowThroughProxy(kMaxCheckRedirects);
  } else if (https || text::Trim(cookie_text).empty()) {
    if (cookies_) cookies_->Attach(transfer->handle());
  }
  RedirectPolicy policy;
  policy.follow = !options.proxy_only && (https || options.allow_redirect.value_or(true));
  policy.to_http = !https;
  policy.to_https = true;
  transfer->SetRedirectPolicy(policy);
  if (options.max_body_bytes) transfer->SetBodyLimit(*options.max_body_bytes);
  return transfer;
}

void FetchClient::FetchPageAsync(std::string& url, const FetchOptions& options, Callback done) {
  std::optional<std::string> normalised = NormaliseFetchUrl(url);
  if (!normalised) {
    done(FetchResult{});
    return;
  }
  url = *normalised;
  auto call = std::make_shared<Call>();
  call->start = Clock::now();
  call->deadline_ms = FetchDeadlineMs(options.timeout_s);
  if (IsFetchTimedOut(0.0, call->deadline_ms)) {
    done(TimeoutResult());
    return;
  }
  call->options = options;
  call->cookies = cookies_;
  std::unique_ptr<CurlTransfer> transfer = Prepare(url, options, &call->host);
  if (!transfer) {
    done(EmptyResult(options));
    return;
  }
  auto deadline = call->start + std::chrono::ceil<Clock::duration>(
                                    std::chrono::duration<double, std::milli>(call->deadline_ms));
  const long connect_ms =
      options.connect_timeout_s
          ? std::max(1L, static_cast<long>(FetchDeadlineMs(options.connect_timeout_s)))
          : 0L;
  transfer->SetLimits(connect_ms, 0, static_cast<long>(call->deadline_ms) + kBackstopMs);
  driver_.Submit(std::move(transfer), deadline,
                 [call, done = std::move(done)](FetchDriver::Outcome outcome, CURLcode code,
                                                CurlTransfer& transfer) {
                   done(call->Complete(outcome, code, transfer));
                 });
}

CURLcode FetchClient::Perform(const std::shared_ptr<CurlTransfer>& transfer, SyncLimits limits) {
  if (!transfer || !transfer->valid()) return CURLE_FAILED_INIT;
  return SubmitAndWait(transfer, ApplySyncLimits(*transfer, limits));
}

void FetchClient::PerformAsync(std::shared_ptr<CurlTransfer> transfer, SyncLimits limits,
                               std::function<void(CURLcode)> done) {
  if (!transfer || !transfer->valid()) {
    done(CURLE_FAILED_INIT);
    return;
  }
  const Clock::time_point deadline = ApplySyncLimits(*transfer, limits);
  driver_.Submit(std::move(transfer), deadline,
                 [done = std::move(done)](FetchDriver::Outcome, CURLcode code, CurlTransfer&) {
                   done(code);
                 });
}

CURLcode FetchClient::PerformWhileMoving(const std::shared_ptr<CurlTransfer>& transfer,
                                         long connect_ms, long idle_ms) {
  if (!transfer || !transfer->valid()) return CURLE_FAILED_INIT;
  transfer->SetLimits(connect_ms, idle_ms, 0);
  return SubmitAndWait(transfer, Clock::time_point::max());
}

CURLcode FetchClient::SubmitAndWait(const std::shared_ptr<CurlTransfer>& transfer,
                                    Clock::time_point deadline) {
  struct Waiter {
    std::mutex mutex;
    std::condition_variable ready;
    std::optional<CURLcode> code;
  };
  auto waiter = std::make_shared<Waiter>();
  // The driver completes every transfer: at its end, at the deadline or when it shuts down.
  driver_.Submit(transfer, deadline, [waiter](FetchDriver::Outcome, CURLcode code, CurlTransfer&) {
    std::lock_guard<std::mutex> lock(waiter->mutex);
    waiter->code = code;
    waiter->ready.notify_all();
  });
  std::unique_lock<std::mutex> lock(waiter->mutex);
  waiter->ready.wait(lock, [&] { return waiter->code.has_value(); });
  return *waiter->code;
}

FetchResult FetchClient::FetchPage(std::string& url, const FetchOptions& options) {
  if (!NormaliseFetchUrl(url)) return {};
  struct Waiter {
    std::mutex mutex;
    std::condition_variable ready;
    std::optional<FetchResult> result;
  };
  auto waiter = std::make_shared<Waiter>();
  Clock::time_point start = Clock::now();
  double deadline_ms = FetchDeadlineMs(options.timeout_s);
  FetchPageAsync(url, options, [waiter](FetchResult result) {
    std::lock_guard<std::mutex> lock(waiter->mutex);
    waiter->result = std::move(result);
    waiter->ready.notify_all();
  });
  auto deadline = start + std::chrono::ceil<Clock::duration>(
                              std::chrono::duration<double, std::milli>(deadline_ms));
  std::unique_lock<std::mutex> lock(waiter->mutex);
  waiter->ready.wait_until(lock, deadline, [&] { return waiter->result.has_value(); });
  // Whatever arrived, a wait that reached the deadline is a timeout.
  if (!waiter->result || IsFetchTimedOut(ElapsedMs(start), deadline_ms)) return TimeoutResult();
  return std::move(*waiter->result);
}

}  // namespace lumvex::http
