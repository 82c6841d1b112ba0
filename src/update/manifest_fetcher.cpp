#include "update/manifest_fetcher.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <utility>

#include "http/scripted_request.h"

namespace lumvex::update {

struct ManifestFetcher::Queue {
  struct Job {
    std::string url;
    std::function<void(ManifestPage)> done;
  };
  Queue(UiThread& ui, http::FetchClient& client) : ui(ui), client(client) {}

  UiThread& ui;
  http::FetchClient& client;
  std::mutex mutex;
  std::deque<Job> jobs;
  bool running = false;
  bool stopping = false;
  std::atomic<bool> cancel{false};
};

ManifestFetcher::ManifestFetcher(UiThread& ui, http::FetchClient& client)
    : queue_(std::make_shared<Queue>(ui, client)) {}

ManifestFetcher::~ManifestFetcher() { Shutdown(); }

void ManifestFetcher::Fetch(const std::string& url, std::function<void(ManifestPage)> done) {
  {
    std::lock_guard<std::mutex> lock(queue_->mutex);
    if (queue_->stopping) return;
    queue_->jobs.push_back({url, std::move(done)});
  }
  Pump(queue_);
}

void ManifestFetcher::Shutdown() {
  std::lock_guard<std::mutex> lock(queue_->mutex);
  queue_->stopping = true;
  queue_->jobs.clear();
  queue_->cancel.store(true);
}

void ManifestFetcher::Pump(const std::shared_ptr<Queue>& queue) {
  Queue::Job job;
  {
    std::lock_guard<std::mutex> lock(queue->mutex);
    if (queue->stopping || queue->running || queue->jobs.empty()) return;
    job = std::move(queue->jobs.front());
    queue->jobs.pop_front();
    queue->running = true;
  }
  http::ScriptedRequestArgs args;
  args.cancel = &queue->cancel;
  // The completion runs on the driver thread, or here when no request could start; the answer
  // reaches `done` through the UI thread either way, never inline.
  http::ScriptedRequestAsync(
      queue->client, job.url, std::move(args),
      [queue, done = std::move(job.done)](http::ScriptedResponse response) {
        {
          std::lock_guard<std::mutex> lock(queue->mutex);
          queue->running = false;
          if (queue->stopping) return;
          auto page = std::make_shared<ManifestPage>(std::move(response.body));
          queue->ui.Post([done, page] { done(std::move(*page)); });
        }
        Pump(queue);
      });
}

}  // namespace lumvex::update
