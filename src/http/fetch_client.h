// FetchPage: one HTTP(S) request with a deadline. Any number of threads may call it at once;
// all transfers run on one driver thread, so a blocked caller costs no more than its own wait.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "http/fetch_driver.h"
#include "http/fetch_request.h"
#include "http/http_limits.h"

namespace lumvex::http {

class CookieStore;

class FetchClient {
 public:
  using Callback = std::function<void(FetchResult)>;

  // `cookies` (may be null) must outlive the client.
  explicit FetchClient(CookieStore* cookies);
  // Cancels what is still running (those calls get an empty body) and joins the driver.
  ~FetchClient();
  FetchClient(const FetchClient&) = delete;
  FetchClient& operator=(const FetchClient&) = delete;

  // Blocks until the response or the deadline. `url` is in/out: it receives the normalised
  // address ("http://" put in front when it has no scheme). At the deadline the result is the
  // timeout message and the transfer is torn down; an answer arriving at the same instant is
  // discarded.
  FetchResult FetchPage(std::string& url, const FetchOptions& options = {});

  // The same exchange without blocking: `url` is normalised before this returns, and `done`
  // gets exactly what FetchPage would have returned. It runs on the driver thread (inline, before
  // this returns, when there is nothing to send: blank URL, zero deadline, unusable address).
  // It must be quick and must not call the blocking FetchPage (the driver would wait on itself);
  // a UI caller hands the result over with UiThread::Post.
  void FetchPageAsync(std::string& url, const FetchOptions& options, Callback done);

  // A prepared transfer on the driver, for a client that truly has to wait on its own thread (never
  // the driver's): blocks until it ended, every redirect its policy allows included, or until
  // `limits.total_ms` ran out (CURLE_OPERATION_TIMEDOUT) or the client closed
  // (CURLE_ABORTED_BY_CALLBACK). The caller reads the transfer once this returns.
  CURLcode Perform(const std::shared_ptr<CurlTransfer>& transfer, SyncLimits limits);
  // The same without a waiting thread: `done` gets the outcome on the driver thread (inline, before
  // this returns, when the transfer cannot start or the client is closed). Quick and never
  // blocking, as every completion.
  void PerformAsync(std::shared_ptr<CurlTransfer> transfer, SyncLimits limits,
                    std::function<void(CURLcode)> done);

  // Perform without an overall limit, for a transfer that may last as long as its bytes keep
  // coming (a download): it ends at its own end, when nothing moved for `idle_ms`, when its cancel
  // flag is raised (CURLE_ABORTED_BY_CALLBACK) or when the client closed (the same code).
  CURLcode PerformWhileMoving(const std::shared_ptr<CurlTransfer>& transfer, long connect_ms,
                              long idle_ms);

  // Runs `call` on the driver thread after `delay`, like a completion (quick, never blocking);
  // dropped once the client is closed.
  void After(std::chrono::milliseconds delay, std::function<void()> call);

  // Program exit: cancels every transfer (blocked callers get an empty body at once, callbacks
  // run with one) and joins the driver. Later calls end at once the same way. Safe to repeat.
  void Close();

 private:
  struct Call;
  std::unique_ptr<CurlTransfer> Prepare(const std::string& url, const FetchOptions& options,
                                        std::string* host) const;
  // Submits the prepared transfer and blocks until the driver completed it.
  CURLcode SubmitAndWait(const std::shared_ptr<CurlTransfer>& transfer,
                         FetchDriver::Clock::time_point deadline);

  CookieStore* cookies_;
  FetchDriver driver_;
};

}  // namespace lumvex::http
