// Helpers of the online-update tests: waiting on the headless UI thread, and a manifest source
// that answers with a page set by the test.
#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/headless_ui_thread.h"
#include "text/codec.h"
#include "update/manifest_fetcher.h"

namespace lumvex::testing {

// Polls `condition` on the UI thread until it holds or `timeout_ms` passes.
inline bool WaitOnUi(HeadlessUiThread& ui, const std::function<bool()>& condition,
                     int timeout_ms = 20000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    bool holds = false;
    ui.RunSync([&] { holds = condition(); });
    if (holds) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Answers every request with the page given last (UTF-8 text sent as GBK), on the UI thread.
class PageSource : public update::ManifestSource {
 public:
  explicit PageSource(UiThread& ui) : ui_(ui) {}
  void SetPage(const std::string& utf8) { page_ = text::EncodeGbk(utf8); }
  void SetRawPage(std::string bytes) { page_ = std::move(bytes); }
  void Fetch(const std::string& url, std::function<void(update::ManifestPage)> done) override {
    urls.push_back(url);
    std::string page = page_;
    ui_.Post([done = std::move(done), page] { done(update::ManifestPage(page)); });
  }
  std::vector<std::string> urls;

 private:
  UiThread& ui_;
  std::string page_;
};

// The names in `directory`, sorted.
inline std::vector<std::string> FileNames(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace lumvex::testing
