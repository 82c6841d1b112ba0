#include "app/update_controller.h"

#include <chrono>
#include <utility>

#include "text/text_util.h"
#include "update/detached_process.h"
#include "update/download_progress.h"
#include "update/download_target.h"
#include "update/file_digest.h"

namespace lumvex {
namespace {

constexpr int kProgressTickMs = 500;

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

std::string NewVersionNotice(std::string_view title, std::string_view new_version) {
  return "发现新版本，请及时更新！\r\n\r\n当前版本：" + std::string(title) +
         "   \r\n\r\n新  版  本：" + std::string(new_version) + "    ";
}

std::string RunNowQuestion(std::string_view path) {
  return std::string(kRunNowQuestion) + std::string(kSavedAtText) + std::string(path);
}

UpdateController::UpdateController(UiThread& ui, MainWindowState& state, ShellController& shell,
                                   UserPrompts& prompts, UpdateConfig config,
                                   update::ManifestSource& source, http::FetchClient& client)
    : ui_(ui),
      state_(state),
      shell_(shell),
      prompts_(prompts),
      config_(std::move(config)),
      source_(source),
      downloader_(ui, client) {
  if (!config_.start_process) config_.start_process = update::StartDetached;
  if (!config_.restart_arguments) config_.restart_arguments = update::OwnArguments;
  if (!config_.seconds_now) config_.seconds_now = SteadySeconds;
}

UpdateController::~UpdateController() {
  *alive_ = false;
  Shutdown();
}

void UpdateController::Shutdown() { downloader_.Shutdown(); }

void UpdateController::BeginStartupManifest() {
  std::weak_ptr<bool> alive = alive_;
  source_.Fetch(config_.manifest_url, [this, alive](update::ManifestPage page) {
    if (alive.expired()) return;
    manifest_ = std::move(page);
    startup_manifest_arrived_ = true;
    ApplyRemoteSettings(manifest_);
    if (startup_notice_wanted_) NotifyNewVersion();
  });
}

void UpdateController::StartupVersionNotice() {
  startup_notice_wanted_ = true;
  if (startup_manifest_arrived_) NotifyNewVersion();
}

void UpdateController::ApplyRemoteSettings(const update::ManifestPage& page) {
  if (!page.IsManifest()) return;
  const update::RemoteSettings settings = update::ReadRemoteSettings(page);
  if (!update::IsBlank(settings.tray_caption)) {
    state_.SetText(TrayItem::kWebSite, settings.tray_caption);
  }
  if (!update::IsBlank(settings.tray_address)) {
    shell_.Session().SetTrayWebAddress(settings.tray_address);
  }
  if (!update::IsBlank(settings.about_address)) {
    shell_.Session().SetAboutWebAddress(settings.about_address);
  }
  const Link links[] = {Link::kBlog, Link::kSecond, Link::kThird};
  for (std::size_t i = 0; i < settings.links.size(); ++i) {
    const std::string& value = settings.links[i];
    if (update::WithoutSpaces(value) == "0|0") continue;
    const std::vector<std::string> pieces = text::Split(value, "|");
    if (pieces.size() >= 2) {
      state_.Apply(
          {ControlChange::Text(links[i], pieces[0]), ControlChange::Target(links[i], pieces[1])});
    }
  }
  const std::string& picture = settings.picture_visible;
  if (update::IsBlank(picture) || (picture != "yes" && picture != "no")) return;
  const bool show_picture = picture == "yes";
  state_.SetVisible(control::kProxyPicture, show_picture);
  for (Link link : {Link::kSecond, Link::kThird}) {
    if (!update::IsBlank(state_.Get(link).text)) state_.SetVisible(link, !show_picture);
  }
}

void UpdateController::NotifyNewVersion() {
  startup_notice_wanted_ = false;
  if (!manifest_.IsManifest()) return;
  const std::string new_version = manifest_.Field("新版本");
  if (new_version == config_.title) return;
  const MessageAnswer answer =
      prompts_.ShowMessage(kProgramName, NewVersionNotice(config_.title, new_version),
                           MessageButtons::kOkCancel, MessageIcon::kInformation);
  if (answer == MessageAnswer::kOk) OpenUpdateWindow();
}

void UpdateController::CheckForUpdate() {
  // One check at a time: a second press while the page is on its way changes nothing.
  if (check_running_) return;
  check_running_ = true;
  std::weak_ptr<bool> alive = alive_;
  source_.Fetch(config_.manifest_url, [this, alive](update::ManifestPage page) {
    if (alive.expired()) return;
    check_running_ = false;
    manifest_ = std::move(page);
    if (!manifest_.IsManifest()) {
      prompts_.ShowMessage(kProgramName, kNoConnectionMessage, MessageButtons::kOk,
                           MessageIcon::kInformation);
      return;
    }
    if (manifest_.Field("新版本") != config_.title) {
      OpenUpdateWindow();
    } else {
      prompts_.ShowMessage(kProgramName, kNoNewVersionMessage, MessageButtons::kOk,
                           MessageIcon::kInformation);
    }
  });
}

void UpdateController::OpenUpdateWindow() {
  if (window_.View().open) return;
  const int generation = ++window_generation_;
  window_.Reset(true);
  // "立即更新" needs the version title and address the window's own page brings.
  window_.Change([](update::UpdateWindowView& view) { view.update_enabled = false; });
  std::weak_ptr<bool> alive = alive_;
  source_.Fetch(config_.manifest_url, [this, alive, generation](update::ManifestPage page) {
    if (alive.expired() || generation != window_generation_ || !window_.View().open) return;
    FillUpdateWindow(page);
  });
}

void UpdateController::FillUpdateWindow(const update::ManifestPage& page) {
  fields_ = update::ReadUpdateFields(page);
  if (!update::IsBlank(fields_.download_address)) download_address_ = fields_.download_address;
  window_.Change([this](update::UpdateWindowView& view) {
    view.current_version +=
        update::IsBlank(fields_.old_version) ? config_.title : fields_.old_version;
    view.new_version += update::IsBlank(fields_.new_version) ? "无" : fields_.new_version;
    for (std::size_t i = 0; i < fields_.notes.size(); ++i) {
      if (update::IsBlank(fields_.notes[i])) continue;
      const std::size_t at = std::min(i, view.notes.size());
      view.notes.insert(view.notes.begin() + static_cast<std::ptrdiff_t>(at), fields_.notes[i]);
    }
    view.update_enabled = true;
  });
}

void UpdateController::CloseUpdateWindow() {
  if (std::exchange(restore_main_window_on_close_, false) && shell_.ExitCount() == 0) {
    shell_.RestoreFromTray();
  }
  ++window_generation_;
  window_.Change([](update::UpdateWindowView& view) { view.open = false; });
}

std::optional<std::string> UpdateController::ChooseTarget() {
  const std::optional<std::string> named = update::DownloadTargetPath(
      config_.download_directory, fields_.new_version, config_.executable_suffix);
  if (!named || update::IsSameFile(*named, config_.running_executable)) {
    prompts_.ShowMessage(kProgramName, kUnusableNameMessage, MessageButtons::kOk,
                         MessageIcon::kWarning);
    return std::nullopt;
  }
  if (!update::EnsureDownloadFolder(config_.download_directory)) {
    prompts_.ShowMessage(kProgramName,
                         std::string(kNoDownloadFolderMessage) + config_.download_directory,
                         MessageButtons::kOk, MessageIcon::kWarning);
    return std::nullopt;
  }
  const std::optional<std::string> target =
      update::FreeTargetPath(*named, config_.executable_suffix);
  if (!target) {
    prompts_.ShowMessage(kProgramName, kUnusableNameMessage, MessageButtons::kOk,
                         MessageIcon::kWarning);
  }
  return target;
}

void UpdateController::StartUpdateDownload() {
  if (!update::IsDownloadAddressAllowed(download_address_)) {
    prompts_.ShowMessage(kProgramName, kUnusableAddressMessage, MessageButtons::kOk,
                         MessageIcon::kWarning);
    return;
  }
  // The digest is optional; one that is there but cannot be a SHA-256 stops the download, as
  // the check it asks for could not be made.
  std::optional<std::string> sha256;
  if (!update::IsBlank(fields_.sha256)) {
    sha256 = update::ParseSha256(fields_.sha256);
    if (!sha256) {
      prompts_.ShowMessage(kProgramName, kUnusableDigestMessage, MessageButtons::kOk,
                           MessageIcon::kWarning);
      return;
    }
  }
  const std::optional<std::string> target = ChooseTarget();
  if (!target) return;
  target_path_ = *target;
  window_.Change([](update::UpdateWindowView& view) {
    view.exit_enabled = false;
    view.update_enabled = false;
  });
  shell_.MinimiseToTray();

  update::TaskParam task;
  task.address = download_address_;
  task.target_path = target_path_;
  task.expected_sha256 = sha256.value_or(std::string());
  std::weak_ptr<bool> alive = alive_;
  task.on_event = [this, alive](int code, std::int64_t value) {
    return alive.expired() ? 0 : OnDownloadEvent(code, value);
  };
  update::SetProgramTaskSettings(task);
  // The size of an earlier download must not stand for this one.
  total_bytes_ = 0;
  download_started_ = config_.seconds_now();
  if (!downloader_.Start(std::move(task))) {
    // An earlier download (its window closed while it ran) is still going: this one cannot
    // start, and the window must not wait for events that will never come.
    window_.Change([](update::UpdateWindowView& view) { update::ShowDownloadFailed(view); });
    restore_main_window_on_close_ = true;
    return;
  }
  window_.Change([](update::UpdateWindowView& view) { view.timer_running = true; });
}

void UpdateController::OpenFileSharePage() {
  if (!config_.file_share_url.empty()) prompts_.OpenWebAddress(config_.file_share_url);
}

void UpdateController::ShowDownloadProgress() {
  update::DownloadFigures figures;
  figures.received = downloader_.BytesReceived();
  figures.total = total_bytes_;
  figures.task_speed = downloader_.TaskSpeed();
  figures.overall_speed = downloader_.OverallSpeed();
  window_.Change(
      [&figures](update::UpdateWindowView& view) { update::ShowDownloadProgress(view, figures); });
}

int UpdateController::OnDownloadEvent(int code, std::int64_t value) {
  switch (code) {
    case update::kEventTotalSize:
      total_bytes_ = static_cast<double>(value);
      break;
    case update::kEventComplete: {
      const double total = total_bytes_ > 0 ? total_bytes_ : static_cast<double>(value);
      const double elapsed = config_.seconds_now() - download_started_;
      window_.Change([total, elapsed](update::UpdateWindowView& view) {
        update::ShowDownloadCompleted(view, total, elapsed);
      });
      const MessageAnswer answer =
          prompts_.ShowMessage(kProgramName, RunNowQuestion(target_path_), MessageButtons::kYesNo,
                               MessageIcon::kQuestion);
      if (answer == MessageAnswer::kYes) {
        window_.Change(
            [](update::UpdateWindowView& view) { view.percent_text = std::string(kStartingText); });
        RunNewVersion();
        CloseUpdateWindow();
      } else {
        shell_.RestoreFromTray();
        CloseUpdateWindow();
      }
      break;
    }
    case update::kEventFailed:
      window_.Change([](update::UpdateWindowView& view) { update::ShowDownloadFailed(view); });
      restore_main_window_on_close_ = true;
      if (value == update::kFailedDigest) {
        prompts_.ShowMessage(kProgramName, kDigestMismatchMessage, MessageButtons::kOk,
                             MessageIcon::kWarning);
      }
      break;
    default:
      break;
  }
  return 0;
}

void UpdateController::RunNewVersion() {
  // The exit sequence first: the new version then finds the list saved and the system proxy
  // off. Its last step only asks the event loop to end, so the start below still happens.
  shell_.ExitSequence();
  // A start that fails changes nothing: the program ends all the same.
  if (!target_path_.empty()) config_.start_process(target_path_, config_.restart_arguments());
}

}  // namespace lumvex
