#include "app/shell_controller.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "app/leftover_executables.h"
#include "config/strict_settings.h"
#include "platform/file_io.h"
#include "platform/headless_ui_thread.h"
#include "proxylist/agent_file.h"
#include "settings/settings.h"
#include "support/scripted_prompts.h"
#include "support/verdict_rows.h"
#include "temp_dir.h"
#include "text/codec.h"

namespace lumvex {
namespace {

using lumvex::testing::ScriptedPrompts;
using lumvex::testing::TempDir;

ProxyEntry Row(std::string ip, std::string port, std::string type) {
  return WithVerdict(
      ProxyEntry{{std::move(ip), std::move(port), std::move(type), "0.5", "北京市 电信", "1天"}});
}

class ShellControllerTest : public ::testing::Test {
 protected:
  std::string DataDir() const { return run_dir_.path() + "/data"; }

  ShellController& Controller(bool tray_available = true) {
    ShellConfig config;
    config.run_directory = run_dir_.path();
    config.data_dir = lumvex::DataDir(DataDir());
    config.tray_available = tray_available;
    config.running_executable = running_executable_;
    controller_ = std::make_unique<ShellController>(state_, session_, list_, prompts_, config);
    return *controller_;
  }

  // Controllers are UI-thread handlers: drive them there, as the window does.
  template <typename Fn>
  void OnUi(Fn fn) {
    ASSERT_TRUE(ui_.RunSync(fn));
  }

  void WriteListFile(const std::string& utf8_text) {
    ASSERT_TRUE(EnsureDirectory(DataDir()));
    ASSERT_TRUE(
        WriteWholeFile(AgentFilePath(lumvex::DataDir(DataDir())), text::EncodeGbk(utf8_text)));
  }

  Settings MakeSettings() const { return Settings(lumvex::DataDir(DataDir())); }

  TempDir run_dir_;
  std::string running_executable_ = "/proc/self/exe";
  HeadlessUiThread ui_;
  MainWindowState state_{ui_};
  WindowSession session_;
  ProxyList list_{ui_};
  ScriptedPrompts prompts_;
  std::unique_ptr<ShellController> controller_;
};

TEST_F(ShellControllerTest, FirstStartInAnEmptyDirectory) {
  ShellController& shell = Controller();
  OnUi([&] { shell.StartupSequence(); });
  EXPECT_EQ(list_.ListCount(), 0);
  EXPECT_FALSE(state_.Visible(TrayItem::kSavedProxy));
  EXPECT_TRUE(state_.Visible(control::kTrayIcon));
  EXPECT_EQ(state_.Indicator(control::kTrayIcon), ProxyIndicator::kProxyOff);
  EXPECT_EQ(state_.Text(control::kTrayIcon), "LumvexIP代理验证");
  EXPECT_EQ(state_.Indicator(control::kProxyPicture), ProxyIndicator::kProxyOff);
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kNormal);
  // No list file: no status text, nothing to check, the counter untouched.
  EXPECT_EQ(state_.Text(control::kStatusLine), "");
  EXPECT_FALSE(state_.Enabled(Command::kValidate));
  EXPECT_EQ(state_.Text(Counter::kList), "0");
  EXPECT_EQ(session_.FetchCount(), "");
  EXPECT_EQ(session_.ChecksAtOnce(), ValidationRun::kDefaultThreads);
  EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(ShellControllerTest, LoadsTheListFileAndReportsIt) {
  WriteListFile(
      "1.2.3.4 | 8080 | HTTP | 0.5 | 北京市 电信 | 1天\r\n"
      "5.6.7.8 | 3128 | 成功 |  | 上海 | ");
  ShellController& shell = Controller();
  OnUi([&] { shell.StartupSequence(); });
  ASSERT_EQ(list_.ListCount(), 2);
  EXPECT_EQ(list_.GetRow(0), Row("1.2.3.4", "8080", "HTTP"));
  EXPECT_EQ(list_.GetCell(1, kColType), "成功");
  EXPECT_EQ(state_.Text(control::kStatusLine), "上次代理IP：2个  IE：http=无代理");
  EXPECT_TRUE(state_.Enabled(Command::kValidate));
  EXPECT_EQ(state_.Text(Counter::kList), "2");
}

// The program reads the list file while its window is built; start-up then takes those rows
// at its list step, replacing whatever the list held, exactly as a read at that step would.
TEST_F(ShellControllerTest, RowsReadAheadAreLoadedAtTheListStep) {
  OnUi([&] { list_.InsertRow(-1, "stale"); });
  ShellConfig config;
  config.run_directory = run_dir_.path();
  config.data_dir = lumvex::DataDir(DataDir());
  config.running_executable = running_executable_;
  int reads = 0;
  config.read_list_ahead = [&reads] {
    ++reads;
    AgentFileContent content;
    content.rows.emplace_back(Row("9.9.9.9", "81", "HTTP"));
    return std::optional<AgentFileContent>(std::move(content));
  };
  ShellController shell(state_, session_, list_, prompts_, config);
  OnUi([&] { shell.StartupSequence(); });
  EXPECT_EQ(reads, 1);
  ASSERT_EQ(list_.ListCount(), 1);
  EXPECT_EQ(list_.GetCell(0, kColAddress), "9.9.9.9");
  EXPECT_EQ(state_.Text(control::kStatusLine), "上次代理IP：1个  IE：http=无代理");
  EXPECT_EQ(state_.Text(Counter::kList), "1");

  // Nothing read ahead (no file): the list is emptied and nothing is reported.
  config.read_list_ahead = [] { return std::optional<AgentFileContent>(); };
  ShellController empty_shell(state_, session_, list_, prompts_, config);
  state_.SetText(control::kStatusLine, "");
  OnUi([&] { empty_shell.StartupSequence(); });
  EXPECT_EQ(list_.ListCount(), 0);
  EXPECT_EQ(state_.Text(control::kStatusLine), "");
}

TEST_F(ShellControllerTest, MalformedListFileLoadsWhatItCan) {
  ASSERT_TRUE(EnsureDirectory(DataDir()));
  // A line without bars, bytes that are not GBK, a trailing line end.
  ASSERT_TRUE(WriteWholeFile(AgentFilePath(lumvex::DataDir(DataDir())),
                             std::string("garbage without bars\r\n9.9.9.9 | 80 | \xff\xfe\r\n"
                                         "\r\n1.1.1.1 | 81\r\n")));
  ShellController& shell = Controller();
  OnUi([&] { shell.StartupSequence(); });
  ASSERT_EQ(list_.ListCount(), 2);
  EXPECT_EQ(list_.GetCell(0, kColAddress), "9.9.9.9");
  EXPECT_EQ(list_.GetCell(1, kColPort), "81");
  // The unread line is kept in a copy of the file, and the status line says where.
  const std::string status = state_.Text(control::kStatusLine);
  const std::string before =
      "上次代理IP：2个  IE：http=无代理  列表文件有1行无法读取，原文件已另存为“";
  ASSERT_TRUE(status.starts_with(before)) << status;
  const std::string copy = status.substr(before.size(), status.size() - before.size() - 3);
  EXPECT_TRUE(copy.starts_with("The agent.unread-")) << copy;
  EXPECT_EQ(ReadWholeFile(DataDir() + "/" + copy),
            ReadWholeFile(AgentFilePath(lumvex::DataDir(DataDir()))));
}

TEST_F(ShellControllerTest, ListReadAsUtf8ThatGbkCouldReadIsNamedOnce) {
  ASSERT_TRUE(EnsureDirectory(DataDir()));
  // 本地测试 in UTF-8 is also GBK: the next save writes GBK, so the bytes are kept.
  const std::string original = "1.1.1.1 | 81 | HTTP |  | 本地测试 | ";
  ASSERT_TRUE(WriteWholeFile(AgentFilePath(lumvex::DataDir(DataDir())), original));
  ShellController& shell = Controller();
  OnUi([&] { shell.StartupSequence(); });
  ASSERT_EQ(list_.ListCount(), 1);
  EXPECT_EQ(list_.GetCell(0, kColLocation), "本地测试");
  const std::string status = state_.Text(control::kStatusLine);
  const std::string before =
      "上次代理IP：1个  IE：http=无代理  列表文件按UTF-8读取，原文件已另存为“";
  ASSERT_TRUE(status.starts_with(before)) << status;
  const std::string copy = status.substr(before.size(), status.size() - before.size() - 3);
  EXPECT_TRUE(copy.starts_with("The agent.utf8-")) << copy;
  EXPECT_EQ(ReadWholeFile(DataDir() + "/" + copy), original);

  // Saved as GBK, the list reads as GBK at the next start and nothing more is said.
  ASSERT_TRUE(SaveAgentFile(list_, lumvex::DataDir(DataDir())));
  state_.SetText(control::kStatusLine, "");
  ShellController& second = Controller();
  OnUi([&] { second.StartupSequence(); });
  EXPECT_EQ(list_.GetCell(0, kColLocation), "本地测试");
  EXPECT_EQ(state_.Text(control::kStatusLine), "上次代理IP：1个  IE：http=无代理");
}

TEST_F(ShellControllerTest, EmptyListFileStillCountsAsLoaded) {
  WriteListFile("");
  ShellController& shell = Controller();
  OnUi([&] { shell.StartupSequence(); });
  EXPECT_EQ(list_.ListCount(), 0);
  EXPECT_EQ(state_.Text(control::kStatusLine), "上次代理IP：0个  IE：http=无代理");
  EXPECT_TRUE(state_.Enabled(Command::kValidate));
  EXPECT_EQ(state_.Text(Counter::kList), "0");
}

TEST_F(ShellControllerTest, StatusSetBeforeTheListLoadsIsKept) {
  WriteListFile("1.2.3.4 | 8080 | HTTP | 0.5 | x | y\r\n5.6.7.8 | 80 | HTTP | | |");
  ShellController& shell = Controller();
  shell.Hooks().apply_manifest_settings = [&] {
    state_.SetText(control::kStatusLine, "IE：http=9.9.9.9:80");
  };
  OnUi([&] { shell.StartupSequence(); });
  EXPECT_EQ(state_.Text(control::kStatusLine), "IE：http=9.9.9.9:80");
  EXPECT_TRUE(state_.Enabled(Command::kValidate));
  EXPECT_EQ(state_.Text(Counter::kList), "2");
}

TEST_F(ShellControllerTest, StartUpRunsItsStepsInOrder) {
  WriteListFile("1.2.3.4 | 8080 | HTTP | 0.5 | x | y");
  ASSERT_TRUE(MakeSettings().WriteThreadCount("30"));
  ShellController& shell = Controller();
  std::vector<std::string> log;
  ShellHooks& hooks = shell.Hooks();
  hooks.start_source_loaders = [&] {
    log.push_back("sources picture=" +
                  std::to_string(static_cast<int>(state_.Indicator(control::kProxyPicture))));
  };
  state_.SetIndicator(control::kProxyPicture,
                      ProxyIndicator::kProxyOn);  // start-up must turn it off after the loaders
  hooks.apply_manifest_settings = [&] {
    log.push_back("manifest picture=" +
                  std::to_string(static_cast<int>(state_.Indicator(control::kProxyPicture))) +
                  " rows=" + std::to_string(list_.ListCount()));
  };
  hooks.restore_system_proxy = [&] {
    log.push_back("restore rows=" + std::to_string(list_.ListCount()) +
                  " tray=" + (state_.Visible(control::kTrayIcon) ? "1" : "0") +
                  " threads=" + std::to_string(session_.ChecksAtOnce()));
  };
  hooks.check_new_version = [&] {
    log.push_back("version threads=" + std::to_string(session_.ChecksAtOnce()));
  };
  OnUi([&] { shell.StartupSequence(); });
  const std::vector<std::string> expected = {
      "sources picture=1", "manifest picture=0 rows=0",
      "restore rows=1 tray=1 threads=20", "version threads=30"};
  EXPECT_EQ(log, expected);
}

TEST_F(ShellControllerTest, StartUpReadsTheSettingsFilesIntoTheSession) {
  ASSERT_TRUE(MakeSettings().WriteAgentNumber("300"));
  ASSERT_TRUE(MakeSettings().WriteThreadCount("35"));
  ASSERT_TRUE(WriteStrictRule(lumvex::DataDir(DataDir()), {"http://mine.test/", "OK", "", {}}));
  ShellController& shell = Controller();
  OnUi([&] { shell.StartupSequence(); });
  EXPECT_EQ(session_.FetchCount(), "300");
  EXPECT_EQ(session_.ChecksAtOnce(), 35);
  EXPECT_EQ(session_.Get().strict, (StrictRule{"http://mine.test/", "OK", "", {}}));
}

TEST_F(ShellControllerTest, StartInTrayOnlyWhereATrayExists) {
  ASSERT_TRUE(MakeSettings().WriteTray(true));
  {
    ShellController& shell = Controller(/*tray_available=*/true);
    OnUi([&] { shell.StartupSequence(); });
    EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)),
              WindowMode::kMinimisedToTray);
    EXPECT_TRUE(state_.Visible(control::kTrayIcon));
  }
  state_.SetValue(control::kWindow, static_cast<int>(WindowMode::kNormal));
  state_.SetVisible(control::kTrayIcon, false);
  ShellController& shell = Controller(/*tray_available=*/false);
  OnUi([&] { shell.StartupSequence(); });
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kNormal);
  EXPECT_FALSE(state_.Visible(control::kTrayIcon));

  ASSERT_TRUE(MakeSettings().WriteTray(false));
  ShellController& again = Controller(true);
  OnUi([&] { again.StartupSequence(); });
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kNormal);
}

TEST_F(ShellControllerTest, CloseButtonHidesToTheTray) {
  ShellController& shell = Controller(true);
  int destroyed = 0;
  shell.Hooks().destroy_main_window = [&] { ++destroyed; };
  list_.AddRow(Row("1.2.3.4", "8080", "HTTP"));
  bool allowed = true;
  OnUi([&] { allowed = shell.OnCloseRequested(); });
  EXPECT_FALSE(allowed);
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kMinimisedToTray);
  EXPECT_EQ(shell.ExitCount(), 0);
  EXPECT_FALSE(FileExists(AgentFilePath(lumvex::DataDir(DataDir()))));
  EXPECT_EQ(destroyed, 0);
}

TEST_F(ShellControllerTest, WithoutATrayTheWindowWaitsInTheTaskbarAndOffersTheTrayMenu) {
  ShellController& shell = Controller(false);
  int destroyed = 0;
  shell.Hooks().destroy_main_window = [&] { ++destroyed; };
  list_.AddRow(Row("1.2.3.4", "8080", "HTTP"));
  // The close button neither ends the program nor hides the window where nothing could bring it
  // back: it is minimised to the taskbar, and the first time a message says so.
  for (int close = 0; close < 2; ++close) {
    bool allowed = true;
    OnUi([&] { allowed = shell.OnCloseRequested(); });
    EXPECT_FALSE(allowed);
    EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kMinimised);
    OnUi([&] { shell.OnWindowRestoredByDesktop(); });
    EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kNormal);
  }
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text, kNoTrayCloseNotice);
  EXPECT_EQ(shell.ExitCount(), 0);
  EXPECT_EQ(destroyed, 0);
  EXPECT_FALSE(FileExists(AgentFilePath(lumvex::DataDir(DataDir()))));

  // The proxy status picture stands in for the tray icon: its click pops up the tray menu with
  // the enabling a right click on the icon gives, and 最小化 goes to the taskbar.
  bool pop = false;
  OnUi([&] { pop = shell.OnProxyPictureClicked(); });
  EXPECT_TRUE(pop);
  EXPECT_FALSE(state_.Enabled(TrayItem::kRestore));
  EXPECT_TRUE(state_.Enabled(TrayItem::kMinimise));
  OnUi([&] { shell.OnTrayItem(TrayItem::kMinimise); });
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kMinimised);
  // "退出程序" from that menu ends the program as from the tray.
  OnUi([&] { shell.OnTrayItem(TrayItem::kExit); });
  EXPECT_EQ(shell.ExitCount(), 1);
  EXPECT_EQ(destroyed, 1);
  EXPECT_TRUE(FileExists(AgentFilePath(lumvex::DataDir(DataDir()))));
}

TEST_F(ShellControllerTest, WithATrayThePictureIsOnlyAPicture) {
  ShellController& shell = Controller(true);
  bool pop = true;
  OnUi([&] { pop = shell.OnProxyPictureClicked(); });
  EXPECT_FALSE(pop);
  OnUi([&] { shell.OnCloseRequested(); });
  EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(ShellControllerTest, ExitSavesTheListAndRunsTwiceHarmlessly) {
  ShellController& shell = Controller();
  std::vector<std::string> log;
  shell.Hooks().switch_system_proxy_off = [&] {
    log.push_back("proxy off saved=" +
                  std::string(FileExists(AgentFilePath(lumvex::DataDir(DataDir()))) ? "1" : "0"));
  };
  shell.Hooks().close_dialogs = [&] { log.push_back("dialogs"); };
  shell.Hooks().destroy_main_window = [&] {
    log.push_back("destroy");
    shell.OnMainWindowDestroyed();  // as the real window does while being destroyed
  };
  list_.AddRows({Row("1.2.3.4", "8080", "成功"), Row("5.6.7.8", "3128", "失败")});

  OnUi([&] { shell.OnTrayItem(TrayItem::kExit); });
  const std::vector<std::string> expected = {"proxy off saved=0", "dialogs", "destroy",
                                             "proxy off saved=1", "dialogs"};
  EXPECT_EQ(log, expected);
  EXPECT_EQ(shell.ExitCount(), 2);
  EXPECT_FALSE(shell.MainWindowExists());
  const std::optional<std::string> saved = ReadWholeFile(AgentFilePath(lumvex::DataDir(DataDir())));
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(text::DecodeGbk(*saved),
            "1.2.3.4 | 8080 | 成功 | 0.5 | 北京市 电信 | 1天\r\n"
            "5.6.7.8 | 3128 | 失败 | 0.5 | 北京市 电信 | 1天");

  // A third run (another destroy notice) still changes nothing and destroys nothing more.
  OnUi([&] { shell.ExitSequence(); });
  EXPECT_EQ(std::count(log.begin(), log.end(), "destroy"), 1);
  EXPECT_EQ(ReadWholeFile(AgentFilePath(lumvex::DataDir(DataDir()))), saved);
}

TEST_F(ShellControllerTest, ExitWithAnEmptyListKeepsTheOldFile) {
  const std::string old_text = "1.2.3.4 | 8080 | HTTP | 0.5 | x | y";
  WriteListFile(old_text);
  ShellController& shell = Controller();
  OnUi([&] { shell.StartupSequence(); });
  list_.DeleteAllRows();
  OnUi([&] { shell.ExitSequence(); });
  EXPECT_EQ(ReadWholeFile(AgentFilePath(lumvex::DataDir(DataDir()))), text::EncodeGbk(old_text));
}

TEST_F(ShellControllerTest, ExitWhereTheDataDirectoryCannotExist) {
  // A plain file where the data directory should be: loading and saving fail silently.
  ASSERT_TRUE(WriteWholeFile(DataDir(), "not a directory"));
  ShellController& shell = Controller();
  OnUi([&] { shell.StartupSequence(); });
  list_.AddRow(Row("1.2.3.4", "8080", "HTTP"));
  OnUi([&] { shell.ExitSequence(); });
  EXPECT_EQ(ReadWholeFile(DataDir()), std::optional<std::string>("not a directory"));
  EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(ShellControllerTest, ContextMenuFollowsTheListAndTheButtons) {
  ShellController& shell = Controller();
  bool show = false;
  // Empty list: the row commands are off.
  OnUi([&] { show = shell.ShowListContextMenu(); });
  EXPECT_TRUE(show);
  for (ContextItem item : {ContextItem::kCopy, ContextItem::kModify, ContextItem::kDelete,
                           ContextItem::kSetSystemProxy}) {
    EXPECT_FALSE(state_.Enabled(item)) << ContextItemCaption(item);
  }
  EXPECT_TRUE(state_.Enabled(ContextItem::kCancelProxy));
  // Three items mirror their buttons.
  EXPECT_TRUE(state_.Enabled(ContextItem::kFetch));
  EXPECT_FALSE(state_.Enabled(ContextItem::kValidateSelected));
  EXPECT_FALSE(state_.Enabled(ContextItem::kCleanFailed));

  list_.AddRows({Row("1.2.3.4", "8080", "成功"), Row("5.6.7.8", "80", "失败"),
                 Row("9.9.9.9", "81", "HTTP"), Row("7.7.7.7", "82", "验证成功了")});
  state_.SetEnabled({Command::kValidate, Command::kExport}, true);
  state_.SetEnabled(Command::kFetch, false);
  const struct {
    int row;
    bool set_proxy;
  } cases[] = {{0, true},
               {1, false},
               {2, false},
               {3, false},  // a source's type text with the success word in it is no verdict
               {-1, false}};
  for (const auto& c : cases) {
    list_.SetCurrentRow(c.row);
    OnUi([&] { show = shell.ShowListContextMenu(); });
    EXPECT_TRUE(show);
    EXPECT_EQ(state_.Enabled(ContextItem::kSetSystemProxy), c.set_proxy) << c.row;
    EXPECT_TRUE(state_.Enabled(ContextItem::kCopy));
    EXPECT_TRUE(state_.Enabled(ContextItem::kModify));
    EXPECT_TRUE(state_.Enabled(ContextItem::kDelete));
    EXPECT_FALSE(state_.Enabled(ContextItem::kFetch));
    EXPECT_TRUE(state_.Enabled(ContextItem::kValidateSelected));
    EXPECT_TRUE(state_.Enabled(ContextItem::kCleanFailed));
  }
  // Each mirrored item follows its own button.
  state_.SetEnabled(Command::kValidate, false);
  state_.SetEnabled(Command::kFetch, true);
  OnUi([&] { show = shell.ShowListContextMenu(); });
  EXPECT_TRUE(state_.Enabled(ContextItem::kFetch));
  EXPECT_FALSE(state_.Enabled(ContextItem::kValidateSelected));
  EXPECT_TRUE(state_.Enabled(ContextItem::kCleanFailed));
}

TEST_F(ShellControllerTest, NoContextMenuWhilePasteIsDisabled) {
  ShellController& shell = Controller();
  list_.AddRow(Row("1.2.3.4", "8080", "成功"));
  list_.SetCurrentRow(0);
  state_.SetEnabled(Command::kPaste, false);
  state_.SetEnabled(ContextItem::kSetSystemProxy, false);
  bool show = true;
  OnUi([&] { show = shell.ShowListContextMenu(); });
  EXPECT_FALSE(show);
  // The rules were not applied either.
  EXPECT_FALSE(state_.Enabled(ContextItem::kSetSystemProxy));
}

TEST_F(ShellControllerTest, TrayEvents) {
  ShellController& shell = Controller();
  bool pop = true;
  OnUi([&] { pop = shell.OnTrayEvent(1); });
  EXPECT_FALSE(pop);
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kNormal);

  OnUi([&] { pop = shell.OnTrayEvent(3); });
  EXPECT_TRUE(pop);
  EXPECT_FALSE(state_.Enabled(TrayItem::kRestore));
  EXPECT_TRUE(state_.Enabled(TrayItem::kMinimise));

  OnUi([&] { pop = shell.OnTrayEvent(2); });
  EXPECT_FALSE(pop);
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kMinimisedToTray);
  OnUi([&] { pop = shell.OnTrayEvent(3); });
  EXPECT_TRUE(state_.Enabled(TrayItem::kRestore));
  EXPECT_FALSE(state_.Enabled(TrayItem::kMinimise));
  OnUi([&] { shell.OnTrayEvent(1); });
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kMinimisedToTray);
  OnUi([&] { shell.OnTrayEvent(2); });
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kNormal);

  // Minimised by the title bar counts as minimised too.
  OnUi([&] { shell.OnWindowMinimised(); });
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kMinimised);
  OnUi([&] { shell.OnTrayEvent(3); });
  EXPECT_TRUE(state_.Enabled(TrayItem::kRestore));
  OnUi([&] { shell.OnTrayEvent(2); });
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kNormal);

  // Unknown kinds do nothing.
  OnUi([&] { pop = shell.OnTrayEvent(7); });
  EXPECT_FALSE(pop);
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kNormal);

  // The menu items restore and minimise too.
  OnUi([&] { shell.OnTrayItem(TrayItem::kMinimise); });
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kMinimisedToTray);
  OnUi([&] { shell.OnTrayItem(TrayItem::kRestore); });
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kNormal);
}

TEST_F(ShellControllerTest, CopiesTheCurrentRow) {
  ShellController& shell = Controller();
  prompts_.clipboard = "before";
  OnUi([&] { shell.OnContextItem(ContextItem::kCopy); });
  EXPECT_EQ(prompts_.clipboard, "before");  // no rows, no current row
  EXPECT_EQ(prompts_.clipboard_writes, 0);

  list_.AddRows({Row("5.6.7.8", "80", "HTTP"), Row("1.2.3.4", "8080", "成功")});
  OnUi([&] { shell.CopyCurrentRow(); });
  EXPECT_EQ(prompts_.clipboard_writes, 0);
  list_.SetCurrentRow(1);
  OnUi([&] { shell.OnContextItem(ContextItem::kCopy); });
  EXPECT_EQ(prompts_.clipboard, "1.2.3.4:8080");
  EXPECT_EQ(prompts_.clipboard_writes, 1);
}

TEST_F(ShellControllerTest, WebAddressesOpenOnlyWhenKnown) {
  ShellController& shell = Controller();
  OnUi([&] { shell.OnTrayItem(TrayItem::kWebSite); });
  OnUi([&] { shell.OnLinkClicked(Link::kBlog); });
  EXPECT_TRUE(prompts_.opened_addresses.empty());
  session_.SetTrayWebAddress("http://www.example.com/");
  state_.Apply({ControlChange::Text(Link::kSecond, "友情链接"),
                ControlChange::Target(Link::kSecond, "http://links.example.com/")});
  OnUi([&] { shell.OnTrayItem(TrayItem::kWebSite); });
  OnUi([&] { shell.OnLinkClicked(Link::kSecond); });
  const std::vector<std::string> expected = {"http://www.example.com/",
                                             "http://links.example.com/"};
  EXPECT_EQ(prompts_.opened_addresses, expected);
  // Addresses from the manifest that are no web addresses are never handed on.
  session_.SetTrayWebAddress("file:///etc/passwd");
  state_.Apply({ControlChange::Text(Link::kThird, "友情链接"),
                ControlChange::Target(Link::kThird, "javascript:alert(1)")});
  OnUi([&] { shell.OnTrayItem(TrayItem::kWebSite); });
  OnUi([&] { shell.OnLinkClicked(Link::kThird); });
  EXPECT_EQ(prompts_.opened_addresses, expected);
}

TEST_F(ShellControllerTest, RoutesClicksToRegisteredHandlers) {
  ShellController& shell = Controller();
  std::vector<std::string> calls;
  // Items of later work do nothing until someone registers for them.
  OnUi([&] {
    shell.OnCommand(Command::kFetch);
    shell.OnContextItem(ContextItem::kSetSystemProxy);
    shell.OnTrayItem(TrayItem::kSwitchProxy);
  });
  EXPECT_EQ(state_.Text(control::kStatusLine), "");
  shell.SetCommandHandler(Command::kFetch, [&] { calls.push_back("fetch"); });
  shell.SetContextItemHandler(ContextItem::kFetch, [&] { calls.push_back("menu fetch"); });
  shell.SetTrayItemHandler(TrayItem::kSwitchProxy, [&] {
    calls.push_back("switch");
    shell.SetTrayItemHandler(TrayItem::kSwitchProxy, nullptr);  // replaces itself while running
  });
  OnUi([&] {
    shell.OnCommand(Command::kFetch);
    shell.OnContextItem(ContextItem::kFetch);
    shell.OnTrayItem(TrayItem::kSwitchProxy);
    shell.OnTrayItem(TrayItem::kSwitchProxy);
  });
  const std::vector<std::string> expected = {"fetch", "menu fetch", "switch"};
  EXPECT_EQ(calls, expected);
}

TEST_F(ShellControllerTest, SourceChoiceAppliesTheComboRule) {
  ShellController& shell = Controller();
  OnUi([&] { shell.OnSourceChosen(SourceChoice::kSourceB); });
  EXPECT_EQ(state_.ChosenSource(), SourceChoice::kSourceB);
  EXPECT_FALSE(state_.Get(Combo::kSourceACategories).enabled);
  OnUi([&] { shell.OnSourceChosen(SourceChoice::kSourceA); });
  EXPECT_TRUE(state_.Get(Combo::kSourceACategories).enabled);
  EXPECT_FALSE(state_.Get(Combo::kSourceBDatabases).enabled);
}

TEST_F(ShellControllerTest, StartUpRemovesLeftoversButNotItself) {
  const std::vector<std::string> names = LeftoverExecutableNames();
  ASSERT_EQ(names.size(), 2u);
  for (const std::string& name : names) {
    ASSERT_TRUE(WriteWholeFile(run_dir_.File(name), "old"));
  }
  ASSERT_TRUE(WriteWholeFile(run_dir_.File("lumvexip"), "current"));
  // The program runs under the second leftover name this time.
  running_executable_ = run_dir_.File(names[1]);
  ShellController& shell = Controller();
  OnUi([&] { shell.StartupSequence(); });
  EXPECT_FALSE(FileExists(run_dir_.File(names[0])));
  EXPECT_TRUE(FileExists(run_dir_.File(names[1])));
  EXPECT_TRUE(FileExists(run_dir_.File("lumvexip")));
}

}  // namespace
}  // namespace lumvex
