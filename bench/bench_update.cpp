// Figures of the online update. Prints one figure per line: name value unit.
//   download_mib_per_s     a 64 MiB download over loopback, unthrottled, written to disk
//   manifest_fields_ms     the twelve update fields cut from a 4 MiB GBK page
//   startup_silent_manifest_ms  the start-up sequence while the manifest server never answers
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>

#include "app/main_window_state.h"
#include "app/shell_controller.h"
#include "app/update_controller.h"
#include "config/user_prompts.h"
#include "fixture/fixture_server.h"
#include "http/fetch_client.h"
#include "platform/headless_ui_thread.h"
#include "proxylist/proxy_list.h"
#include "text/codec.h"
#include "update/downloader.h"
#include "update/manifest_fetcher.h"
#include "update/manifest_page.h"
#include "update_servers/download_server.h"
#include "update_servers/manifest_server.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration span) { return std::chrono::duration<double, std::milli>(span).count(); }

class SilentPrompts : public lumvex::UserPrompts {
 public:
  lumvex::MessageAnswer ShowMessage(std::string_view, std::string_view, lumvex::MessageButtons,
                                    lumvex::MessageIcon) override {
    return lumvex::MessageAnswer::kCancel;
  }
  std::string ChooseOpenFile(std::string_view) override { return ""; }
  std::string ChooseSaveFile(std::string_view, std::string_view) override { return ""; }
  std::string ClipboardText() override { return ""; }
  void SetClipboardText(std::string_view) override {}
  void ClearClipboard() override {}
  void OpenWebAddress(std::string_view) override {}
};

std::string ScratchDir() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "lumvex-bench-update-XXXXXX").string();
  return mkdtemp(pattern.data()) ? pattern : std::string();
}

void Download(const std::string& dir) {
  constexpr std::size_t kBytes = std::size_t{64} << 20;
  lumvex::tools::DownloadServer server({lumvex::tools::KnownBody(kBytes)});
  if (!server.Start()) return;
  lumvex::HeadlessUiThread ui;
  lumvex::http::FetchClient fetcher(nullptr);
  lumvex::update::Downloader downloader(ui, fetcher);
  std::mutex mutex;
  std::condition_variable done_cv;
  bool done = false;
  bool ok = false;
  lumvex::update::TaskParam task;
  task.address = server.Url();
  task.target_path = dir + "/new";
  lumvex::update::SetProgramTaskSettings(task);
  task.on_event = [&](int code, std::int64_t) {
    if (code == lumvex::update::kEventComplete || code == lumvex::update::kEventFailed) {
      std::lock_guard<std::mutex> lock(mutex);
      done = true;
      ok = code == lumvex::update::kEventComplete;
      done_cv.notify_all();
    }
    return 0;
  };
  const Clock::time_point start = Clock::now();
  downloader.Start(task);
  std::unique_lock<std::mutex> lock(mutex);
  done_cv.wait(lock, [&] { return done; });
  const double seconds = Ms(Clock::now() - start) / 1000;
  if (ok) std::printf("download_mib_per_s %.1f MiB/s\n", 64 / seconds);
}

void ManifestFields() {
  lumvex::tools::ManifestContent content;
  content.download_address = "http://127.0.0.1:1/new";
  std::string filler;
  while (filler.size() < (std::size_t{4} << 20)) filler += "<p>更新日志 Lorem ipsum 【旧】</p>\r\n";
  const std::string page =
      lumvex::text::EncodeGbk(filler + lumvex::tools::ManifestPageText(content));
  const Clock::time_point start = Clock::now();
  lumvex::update::UpdateFields fields =
      lumvex::update::ReadUpdateFields(lumvex::update::ManifestPage(page));
  const double ms = Ms(Clock::now() - start);
  if (!fields.new_version.empty()) std::printf("manifest_fields_ms %.1f ms\n", ms);
}

void StartupWithSilentManifest(const std::string& dir) {
  lumvex::tools::FixtureServer silent;
  lumvex::tools::Reply never;
  never.mode = lumvex::tools::Reply::Mode::kNeverAnswer;
  silent.SetDefault(never);
  if (!silent.Start()) return;
  lumvex::HeadlessUiThread ui;
  lumvex::MainWindowState state(ui);
  lumvex::WindowSession session;
  lumvex::ProxyList list(ui);
  SilentPrompts prompts;
  lumvex::ShellConfig shell_config;
  shell_config.run_directory = dir;
  shell_config.data_dir = lumvex::DataDir(dir + "/data");
  lumvex::ShellController shell(state, session, list, prompts, shell_config);
  lumvex::UpdateConfig config;
  config.manifest_url = silent.BaseUrl() + "/update.html";
  config.download_directory = dir + "/data/updates";
  lumvex::http::FetchClient fetcher(nullptr);
  lumvex::update::ManifestFetcher manifest(ui, fetcher);
  lumvex::UpdateController update(ui, state, shell, prompts, config, manifest, fetcher);
  shell.Hooks().apply_manifest_settings = [&update] { update.BeginStartupManifest(); };
  shell.Hooks().check_new_version = [&update] { update.StartupVersionNotice(); };
  double ms = 0;
  ui.RunSync([&] {
    const Clock::time_point start = Clock::now();
    shell.StartupSequence();
    ms = Ms(Clock::now() - start);
  });
  std::printf("startup_silent_manifest_ms %.2f ms\n", ms);
  ui.Close();
  update.Shutdown();
  manifest.Shutdown();
}

}  // namespace

int main() {
  const std::string dir = ScratchDir();
  if (dir.empty()) return 1;
  Download(dir);
  ManifestFields();
  StartupWithSilentManifest(dir);
  std::filesystem::remove_all(dir);
  return 0;
}
