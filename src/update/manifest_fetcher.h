// Reads the update manifest page without blocking the UI thread: each request is a transfer on the
// fetch client's driver, waited for on a thread of the fetcher's own, and its answer is handed to
// the UI thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "http/fetch_client.h"
#include "platform/ui_thread.h"
#include "update/manifest_page.h"

namespace lumvex::update {

// Where manifest pages come from; the controller's tests may give their own.
class ManifestSource {
 public:
  virtual ~ManifestSource() = default;
  // Requests the page at `url`; `done` runs later on the UI thread with the page (empty when
  // the request failed). Never runs `done` inline.
  virtual void Fetch(const std::string& url, std::function<void(ManifestPage)> done) = 0;
};

// The real source: ScriptedRequest with only the address given (GET, default header block,
// 15-second time limits, redirects followed but never from https to http), one request at a
// time on one background thread.
class ManifestFetcher : public ManifestSource {
 public:
  // `client` must outlive the fetcher.
  ManifestFetcher(UiThread& ui, http::FetchClient& client);
  // Runs Shutdown.
  ~ManifestFetcher() override;
  ManifestFetcher(const ManifestFetcher&) = delete;
  ManifestFetcher& operator=(const ManifestFetcher&) = delete;

  void Fetch(const std::string& url, std::function<void(ManifestPage)> done) override;

  // Cancels the running request (it ends within about a second), drops queued ones and joins
  // the thread. Safe to call more than once.
  void Shutdown();

 private:
  struct Job {
    std::string url;
    std::function<void(ManifestPage)> done;
  };
  void Loop();

  UiThread& ui_;
  http::FetchClient& client_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool stopping_ = false;
  std::atomic<bool> cancel_{false};
  std::thread thread_;
};

}  // namespace lumvex::update
