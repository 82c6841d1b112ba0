// Reads the update manifest page without blocking the UI thread: each request is a transfer on the
// fetch client's driver, and its answer is handed to the UI thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

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
// time, in the order asked.
class ManifestFetcher : public ManifestSource {
 public:
  // `client` must outlive the fetcher.
  ManifestFetcher(UiThread& ui, http::FetchClient& client);
  // Runs Shutdown.
  ~ManifestFetcher() override;
  ManifestFetcher(const ManifestFetcher&) = delete;
  ManifestFetcher& operator=(const ManifestFetcher&) = delete;

  void Fetch(const std::string& url, std::function<void(ManifestPage)> done) override;

  // Cancels the running request (it ends within about a second) and drops queued ones; no
  // `done` runs afterwards. Safe to call more than once.
  void Shutdown();

 private:
  // What a request's completion needs, kept alive by the request after the fetcher has gone.
  struct Queue;
  // Starts the next queued request unless one runs.
  static void Pump(const std::shared_ptr<Queue>& queue);

  std::shared_ptr<Queue> queue_;
};

}  // namespace lumvex::update
