#include "update/manifest_fetcher.h"

#include <memory>
#include <utility>

#include "http/scripted_request.h"

namespace lumvex::update {

ManifestFetcher::ManifestFetcher(UiThread& ui, http::FetchClient& client)
    : ui_(ui), client_(client) {}

ManifestFetcher::~ManifestFetcher() { Shutdown(); }

void ManifestFetcher::Fetch(const std::string& url, std::function<void(ManifestPage)> done) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_) return;
  jobs_.push_back({url, std::move(done)});
  if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
  wake_.notify_one();
}

void ManifestFetcher::Shutdown() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  cancel_.store(true);
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void ManifestFetcher::Loop() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    http::ScriptedRequestArgs args;
    args.cancel = &cancel_;
    http::ScriptedResponse response = http::ScriptedRequest(client_, job.url, args);
    if (cancel_.load()) return;
    auto page = std::make_shared<ManifestPage>(std::move(response.body));
    auto done = std::move(job.done);
    ui_.Post([done, page] { done(std::move(*page)); });
  }
}

}  // namespace lumvex::update
