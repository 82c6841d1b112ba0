// Online update: the manifest's remote settings and new-version notice at start-up, the manual
// check of "软件更新", the update window "upgrade", the download of the new version with its
// progress texts, and the start of the new version. All methods run on the UI thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_window_state.h"
#include "app/shell_controller.h"
#include "config/user_prompts.h"
#include "platform/ui_thread.h"
#include "update/downloader.h"
#include "update/manifest_fetcher.h"
#include "update/manifest_page.h"
#include "update/update_window_model.h"

namespace lumvex {

inline constexpr std::string_view kNoConnectionMessage = "无法检测更新，请查看网络是否已连接！  ";
inline constexpr std::string_view kNoNewVersionMessage = "检测完毕，暂无新的版本！  ";
inline constexpr std::string_view kRunNowQuestion = "程序更新完毕，是否现在重新运行？  ";
inline constexpr std::string_view kStartingText = "正在自动运行请稍等....";
inline constexpr std::string_view kUnusableNameMessage = "新版本的名称不能用作文件名，无法下载！  ";
inline constexpr std::string_view kUnusableAddressMessage =
    "下载地址无效，只能从 http 或 https 地址下载！  ";
inline constexpr std::string_view kUnusableDigestMessage =
    "更新页的SHA256校验值无效（应为64位十六进制数），无法下载！  ";
inline constexpr std::string_view kDigestMismatchMessage =
    "下载的文件与更新页的SHA256校验值不符，已删除，未运行！  ";
inline constexpr std::string_view kNoDownloadFolderMessage = "无法创建下载文件夹：";
// Follows kRunNowQuestion: where the new version was saved.
inline constexpr std::string_view kSavedAtText = "\r\n\r\n新版本已保存到：";

struct UpdateConfig {
  std::string manifest_url;    // UpdateManifestAddress
  std::string file_share_url;  // opened by "网盘更新"
  // The folder of its own the downloaded program goes into ("updates" in the data directory),
  // created when missing; a download never replaces a file there or anywhere else.
  std::string download_directory;
  std::string executable_suffix;
  std::string title = std::string(kMainWindowTitle);  // the running version
  // The running executable; a download never replaces it.
  std::string running_executable = "/proc/self/exe";
  // Starts the new version detached; the default uses update::StartDetached.
  std::function<bool(const std::string& path, const std::vector<std::string>& arguments)>
      start_process;
  // The arguments the new version gets; the default repeats this program's own.
  std::function<std::vector<std::string>()> restart_arguments;
  // Seconds on a steady clock (elapsed time of a download); the default reads steady_clock.
  std::function<double()> seconds_now;
};

// The message text of the start-up notice.
std::string NewVersionNotice(std::string_view title, std::string_view new_version);
// The question asked when the download is complete, with the place of the new file.
std::string RunNowQuestion(std::string_view path);

class UpdateController {
 public:
  // `source` (the program's ManifestFetcher outside tests) and `client` (the download's
  // transfers run on it) must outlive the controller.
  UpdateController(UiThread& ui, MainWindowState& state, ShellController& shell,
                   UserPrompts& prompts, UpdateConfig config, update::ManifestSource& source,
                   http::FetchClient& client);
  ~UpdateController();
  UpdateController(const UpdateController&) = delete;
  UpdateController& operator=(const UpdateController&) = delete;

  // Start-up step: requests the manifest; its remote settings are applied when it arrives.
  void BeginStartupManifest();
  // Later start-up step: the new-version notice, shown once the manifest has arrived (and
  // after its settings have been applied).
  void StartupVersionNotice();
  // "软件更新": fetches the manifest again and opens the update window or says why not.
  void CheckForUpdate();

  // The update window: opened modal; its texts are filled when its own copy of the page
  // arrives ("立即更新" waits for that).
  void OpenUpdateWindow();
  // "退出更新", the close button, the exit sequence. After a failed download it also brings back
  // the main window that "立即更新" hid to the tray (not during the exit sequence).
  void CloseUpdateWindow();
  void StartUpdateDownload();   // "立即更新"
  void OpenFileSharePage();     // "网盘更新"
  void ShowDownloadProgress();  // each tick of 时钟1
  int OnDownloadEvent(int code, std::int64_t value);
  // Ends this program through the exit sequence (list saved, system proxy off) and starts the
  // downloaded version.
  void RunNewVersion();

  update::UpdateWindowModel& Window() { return window_; }
  const update::ManifestPage& UpdateManifest() const { return manifest_; }
  const std::string& DownloadAddress() const { return download_address_; }
  double DownloadTotalBytes() const { return total_bytes_; }
  const std::string& TargetPath() const { return target_path_; }
  update::Downloader& Download() { return downloader_; }

  // Cancels the manifest request and the download and joins their threads.
  void Shutdown();

 private:
  void ApplyRemoteSettings(const update::ManifestPage& page);
  void NotifyNewVersion();
  void FillUpdateWindow(const update::ManifestPage& page);
  // The path the download goes to, the folder created; nullopt (after saying why) when there is
  // none.
  std::optional<std::string> ChooseTarget();

  UiThread& ui_;
  MainWindowState& state_;
  ShellController& shell_;
  UserPrompts& prompts_;
  UpdateConfig config_;
  update::ManifestSource& source_;
  update::Downloader downloader_;
  update::UpdateWindowModel window_;

  update::ManifestPage manifest_;  // UpdateManifest
  // A download failed while the main window was hidden to the tray for it.
  bool restore_main_window_on_close_ = false;
  bool startup_manifest_arrived_ = false;
  bool startup_notice_wanted_ = false;
  bool check_running_ = false;
  int window_generation_ = 0;  // a page for an earlier opening of the window is dropped
  update::UpdateFields fields_;
  std::string download_address_;  // DownloadAddress
  double total_bytes_ = 0;        // DownloadTotalBytes
  std::string target_path_;
  double download_started_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace lumvex
