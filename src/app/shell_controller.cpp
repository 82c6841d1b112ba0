#include "app/shell_controller.h"

#include <chrono>
#include <optional>
#include <utility>

#include "app/leftover_executables.h"
#include "app/web_address.h"
#include "app/window_events.h"
#include "platform/file_io.h"
#include "proxylist/agent_file.h"
#include "proxylist/proxy_entry.h"
#include "settings/settings.h"
#include "text/text_util.h"

namespace lumvex {
namespace {

// A save takes milliseconds; a temporary file this old belongs to no save still running.
constexpr std::chrono::minutes kStaleStagedFileAge{10};

template <typename Enum>
std::size_t Index(Enum value) {
  return static_cast<std::size_t>(value);
}

// Said after the list was loaded when some of its lines could not be read.
std::string UnreadLinesNote(std::size_t lines, const std::string& copy_name) {
  const std::string count =
      "列表文件有" + text::FormatInt(static_cast<std::int64_t>(lines)) + "行无法读取";
  if (copy_name.empty()) return count + "，副本未能保存";
  return count + "，原文件已另存为“" + copy_name + "”";
}

// Said after the list was loaded when it was read as UTF-8 though GBK could read it too: the
// next save writes GBK, so the user learns where the bytes as they were are kept.
std::string Utf8ReadingNote(const AgentFileContent& content) {
  if (content.utf8_copy_failed) return "列表文件按UTF-8读取，副本未能保存";
  return "列表文件按UTF-8读取，原文件已另存为“" + content.utf8_copy + "”";
}

}  // namespace

ShellController::ShellController(MainWindowState& state, WindowSession& session, ProxyList& list,
                                 UserPrompts& prompts, ShellConfig config, ShellHooks hooks)
    : state_(state),
      session_(session),
      list_(list),
      prompts_(prompts),
      config_(std::move(config)),
      hooks_(std::move(hooks)) {
  context_handlers_[Index(ContextItem::kCopy)] = [this] { CopyCurrentRow(); };
  tray_handlers_[Index(TrayItem::kExit)] = [this] { ExitSequence(); };
  tray_handlers_[Index(TrayItem::kRestore)] = [this] { RestoreFromTray(); };
  tray_handlers_[Index(TrayItem::kMinimise)] = [this] { MinimiseToTray(); };
  tray_handlers_[Index(TrayItem::kWebSite)] = [this] { OpenTrayWebAddress(); };
}

void ShellController::RunHook(const std::function<void()>& hook) {
  if (hook) hook();
}

void ShellController::StartupSequence() {
  RunHook(hooks_.before_startup);
  RunHook(hooks_.start_source_loaders);
  state_.SetIndicator(control::kProxyPicture, ProxyIndicator::kProxyOff);
  RunHook(hooks_.apply_manifest_settings);
  // The menu icons are fixed data (ContextItemIconName, TrayItemIconName) the window applies
  // when it builds its menus.
  LoadProxyList();
  state_.Apply({ControlChange::Indicator(control::kTrayIcon, ProxyIndicator::kProxyOff),
                ControlChange::Text(control::kTrayIcon, std::string(kIdleTrayTooltip))});
  state_.SetVisible(control::kTrayIcon, config_.tray_available);
  RunHook(hooks_.restore_system_proxy);
  LoadNumbersAndTray();
  RunHook(hooks_.check_new_version);
  RemoveLeftovers();
}

void ShellController::LoadProxyList() {
  auto content =
      config_.read_list_ahead ? config_.read_list_ahead() : ReadAgentFile(config_.data_dir);
  const std::size_t unread = content ? content->unread_lines : 0;
  const std::string unread_copy = content ? content->unread_copy : std::string();
  const bool utf8_note = content && (!content->utf8_copy.empty() || content->utf8_copy_failed);
  const std::string utf8_text = utf8_note ? Utf8ReadingNote(*content) : std::string();
  if (!FillFromAgentRows(list_, std::move(content))) return;
  const int count = list_.ListCount();
  // A status set by an earlier step (the restored system proxy) has priority.
  if (state_.Text(control::kStatusLine).empty()) {
    state_.SetText(control::kStatusLine,
                   "上次代理IP：" + text::FormatInt(count) + "个  IE：http=无代理");
  }
  if (unread > 0)
    state_.SetText(control::kStatusLine,
                   state_.Text(control::kStatusLine) + "  " + UnreadLinesNote(unread, unread_copy));
  if (utf8_note)
    state_.SetText(control::kStatusLine, state_.Text(control::kStatusLine) + "  " + utf8_text);
  Announce(state_, WindowEvent::kRowsAdded);
  state_.SetCount(Counter::kList, count);
}

void ShellController::LoadNumbersAndTray() {
  session_.Load(config_.data_dir);
  const Settings settings{config_.data_dir};
  // Without a tray the hidden window could not be brought back, so it starts normally.
  if (settings.ReadTray() && config_.tray_available) MinimiseToTray();
}

void ShellController::RemoveLeftovers() {
  RemoveLeftoverExecutables(config_.run_directory, config_.running_executable);
  // Saves cut short by a kill or a crash leave their temporary files; the next start tidies up.
  RemoveStaleStagedFiles(config_.data_dir.Path(), kStaleStagedFileAge);
}

void ShellController::ExitSequence() {
  ++exit_count_;
  RunHook(hooks_.switch_system_proxy_off);
  SaveAgentFile(list_, config_.data_dir);
  RunHook(hooks_.close_dialogs);
  if (window_exists_) {
    window_exists_ = false;
    RunHook(hooks_.destroy_main_window);
  }
}

bool ShellController::OnCloseRequested() {
  if (!config_.tray_available && !close_notice_shown_) {
    close_notice_shown_ = true;
    prompts_.ShowMessage(kProgramName, kNoTrayCloseNotice, MessageButtons::kOk,
                         MessageIcon::kInformation);
  }
  MinimiseToTray();
  return false;
}

void ShellController::OnMainWindowDestroyed() {
  window_exists_ = false;
  ExitSequence();
}

void ShellController::OnWindowMinimised() {
  state_.SetValue(control::kWindow, static_cast<int>(WindowMode::kMinimised));
}

void ShellController::OnWindowRestoredByDesktop() {
  if (!config_.tray_available)
    state_.SetValue(control::kWindow, static_cast<int>(WindowMode::kNormal));
}

void ShellController::MinimiseToTray() {
  state_.SetValue(control::kWindow,
                  static_cast<int>(config_.tray_available ? WindowMode::kMinimisedToTray
                                                          : WindowMode::kMinimised));
}

bool ShellController::OnProxyPictureClicked() {
  if (config_.tray_available) return false;
  return OnTrayEvent(3);
}

void ShellController::RestoreFromTray() {
  state_.SetValue(control::kWindow, static_cast<int>(WindowMode::kNormal));
}

bool ShellController::OnTrayEvent(int kind) {
  const bool minimised =
      static_cast<WindowMode>(state_.Value(control::kWindow)) != WindowMode::kNormal;
  switch (kind) {
    case 2:
      if (minimised) {
        RestoreFromTray();
      } else {
        MinimiseToTray();
      }
      return false;
    case 3:
      Announce(state_, WindowEvent::kTrayMenuOpening);
      return true;
    default:
      return false;
  }
}

bool ShellController::ShowListContextMenu() {
  // A running fetch or check run has disabled the paste button; the menu stays closed then.
  if (!state_.Enabled(Command::kPaste)) return false;
  const int row = list_.CurrentRow();
  Announce(state_, WindowEvent::kContextMenuOpening,
           {.has_rows = list_.ListCount() > 0,
            .current_row_ok = row >= 0 && ShowsOk(list_.GetRow(row))});
  return true;
}

void ShellController::CopyCurrentRow() {
  const int row = list_.CurrentRow();
  if (row < 0) return;
  prompts_.SetClipboardText(list_.GetCell(row, kColAddress) + ":" + list_.GetCell(row, kColPort));
}

void ShellController::OnSourceChosen(SourceChoice choice) {
  Announce(state_, WindowEvent::kSourceChosen, {.source = choice});
}

void ShellController::OnLinkClicked(Link link) { OpenWebAddress(state_.Get(link).target); }

void ShellController::OpenTrayWebAddress() { OpenWebAddress(session_.Get().tray_web_address); }

void ShellController::OpenWebAddress(const std::string& address) {
  // The targets come from the update manifest: only web addresses reach the browser.
  if (const std::optional<std::string> web = BrowsableWebAddress(address)) {
    prompts_.OpenWebAddress(*web);
  }
}

void ShellController::OnCommand(Command command) {
  // A copy, so a handler may replace itself while it runs.
  if (Index(command) < command_handlers_.size())
    RunHook(std::function<void()>(command_handlers_[Index(command)]));
}

void ShellController::OnContextItem(ContextItem item) {
  // A copy, so a handler may replace itself while it runs.
  if (Index(item) < context_handlers_.size())
    RunHook(std::function<void()>(context_handlers_[Index(item)]));
}

void ShellController::OnTrayItem(TrayItem item) {
  // A copy, so a handler may replace itself while it runs.
  if (Index(item) < tray_handlers_.size())
    RunHook(std::function<void()>(tray_handlers_[Index(item)]));
}

void ShellController::SetCommandHandler(Command command, std::function<void()> handler) {
  if (Index(command) < command_handlers_.size()) {
    command_handlers_[Index(command)] = std::move(handler);
  }
}

void ShellController::SetContextItemHandler(ContextItem item, std::function<void()> handler) {
  if (Index(item) < context_handlers_.size()) context_handlers_[Index(item)] = std::move(handler);
}

void ShellController::SetTrayItemHandler(TrayItem item, std::function<void()> handler) {
  if (Index(item) < tray_handlers_.size()) tray_handlers_[Index(item)] = std::move(handler);
}

}  // namespace lumvex
