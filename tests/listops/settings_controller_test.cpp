#include "app/settings_controller.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>

#include "app/window_events.h"
#include "config/strict_settings.h"
#include "platform/file_io.h"
#include "platform/headless_ui_thread.h"
#include "temp_dir.h"
#include "text/codec.h"

namespace lumvex {
namespace {

struct SettingsRig {
  ~SettingsRig() { ui.Close(); }
  testing::TempDir dir;
  HeadlessUiThread ui;
  MainWindowState state{ui};
  WindowSession session;
  std::string data = dir.File("data");
  std::string autostart_dir = dir.File("config/autostart");
  SettingsController settings{state, session, DataDir(data),
                              Autostart(autostart_dir, "/opt/Lumvex IP/lumvexip")};
  std::string Read(const std::string& name) const {
    return ReadWholeFile(data + "/" + name).value_or("<missing>");
  }
};

TEST(SettingsControllerTest, FirstOpenShowsTheFormDefaults) {
  SettingsRig rig;
  const SettingsDialogValues values = rig.settings.Load();
  EXPECT_FALSE(values.fetch_count);
  EXPECT_FALSE(values.thread_count);
  EXPECT_FALSE(values.autostart);
  EXPECT_FALSE(values.start_in_tray);
  EXPECT_FALSE(values.switch_proxy_on_start);
  EXPECT_FALSE(values.numbers_enabled);
  Announce(rig.state, WindowEvent::kSourceChosen, {.source = SourceChoice::kSourceA});
  EXPECT_TRUE(rig.settings.Load().numbers_enabled);
  Announce(rig.state, WindowEvent::kSourceChosen, {.source = SourceChoice::kSourceB});
  EXPECT_FALSE(rig.settings.Load().numbers_enabled);
}

TEST(SettingsControllerTest, ConfirmWritesTheFilesExactlyAndTheAutostartEntry) {
  SettingsRig rig;
  rig.settings.Confirm({"300", "50", true, true, true});
  EXPECT_EQ(rig.Read("agent number"), "300");
  EXPECT_EQ(rig.Read("thread"), "50");
  EXPECT_EQ(rig.Read("Powered up"), "[Powered up]\r\nPowered up=yes\r\n");
  EXPECT_EQ(rig.Read("tray"), "[tray]\r\ntray=yes\r\n");
  EXPECT_EQ(rig.Read("IE Agent"), "[run]\r\nrun=yes\r\n");
  const std::string entry_path = rig.autostart_dir + "/lumvexip.desktop";
  const std::optional<std::string> entry = ReadWholeFile(entry_path);
  ASSERT_TRUE(entry);
  EXPECT_NE(entry->find("[Desktop Entry]\n"), std::string::npos);
  EXPECT_NE(entry->find("\nType=Application\n"), std::string::npos);
  EXPECT_NE(entry->find("\nExec=\"/opt/Lumvex IP/lumvexip\"\n"), std::string::npos);

  const SettingsDialogValues values = rig.settings.Load();
  EXPECT_EQ(values.fetch_count, "300");
  EXPECT_EQ(values.thread_count, "50");
  EXPECT_TRUE(values.autostart);
  EXPECT_TRUE(values.start_in_tray);
  EXPECT_EQ(values.switch_proxy_on_start, true);

  // Unchecking removes the entry and writes "no"; empty fields give empty files.
  rig.settings.Confirm({"", "", false, false, false});
  EXPECT_EQ(rig.Read("agent number"), "");
  EXPECT_EQ(rig.Read("thread"), "");
  EXPECT_EQ(rig.Read("Powered up"), "[Powered up]\r\nPowered up=no\r\n");
  EXPECT_EQ(rig.Read("tray"), "[tray]\r\ntray=no\r\n");
  EXPECT_EQ(rig.Read("IE Agent"), "[run]\r\nrun=no\r\n");
  EXPECT_FALSE(FileExists(entry_path));
  EXPECT_EQ(rig.settings.Load().switch_proxy_on_start, false);
}

TEST(SettingsControllerTest, TheRunKeyKeepsTheSavedProxyBesideIt) {
  SettingsRig rig;
  Settings(DataDir(rig.data)).WriteSavedProxy("1.2.3.4:80 | 广东");
  rig.settings.Confirm({"1", "2", false, false, true});
  EXPECT_EQ(Settings(DataDir(rig.data)).ReadSavedProxy(), "1.2.3.4:80 | 广东");
  EXPECT_EQ(Settings(DataDir(rig.data)).ReadRun(), RunChoice::kYes);
  // GBK on disk.
  EXPECT_NE(rig.Read("IE Agent").find(text::EncodeGbk("广东")), std::string::npos);
}

// The session is what the runs go by: start-up fills it from the files, the dialog's number
// fields change it as they are typed in (whatever the dialog's end), and "确 定" of the strict
// group replaces its rule once the file is written. Reading never rewrites a file.
TEST(SettingsControllerTest, StartUpAndTheDialogFillTheSession) {
  const StrictRule probe{"http://mine.test/probe", "LUMVEX-OK", "", {}};
  const StrictRule judged{"", "", "http://127.0.0.1:8/judge", {}};
  struct Case {
    const char* name;
    std::optional<std::string> agent_number_file, thread_file;
    std::optional<StrictRule> strict_file;
    std::optional<std::string> fetch_typed, threads_typed;
    std::optional<StrictRule> strict_confirmed;
    bool strict_written;  // false: the strict file cannot be written
    std::string fetch_count;
    int checks_at_once;
    StrictRule strict;
  };
  const Case cases[] = {
      {"no files, nothing typed", {}, {}, {}, {}, {}, {}, true, "", 20, {}},
      {"the files as stored", "300", "35", probe, {}, {}, {}, true, "300", 35, probe},
      {"an out-of-range thread file", "300", "99999", {}, {}, {}, {}, true, "300", 10000, {}},
      {"typing replaces the files' numbers", "300", "35", {}, "120", "7", {}, true, "120", 7, {}},
      {"typed text without a number", {}, "35", {}, "", "abc", {}, true, "", 20, {}},
      {"a confirmed judge", {}, {}, probe, {}, {}, judged, true, "", 20, judged},
      {"a rule that could not be written", {}, {}, probe, {}, {}, judged, false, "", 20, probe},
  };
  for (const Case& c : cases) {
    SettingsRig rig;
    const Settings files{DataDir(rig.data)};
    if (c.agent_number_file) {
      ASSERT_TRUE(files.WriteAgentNumber(*c.agent_number_file));
    }
    if (c.thread_file) {
      ASSERT_TRUE(files.WriteThreadCount(*c.thread_file));
    }
    if (c.strict_file) {
      ASSERT_TRUE(WriteStrictRule(DataDir(rig.data), *c.strict_file));
    }
    const std::string agent_number_before = rig.Read("agent number");
    const std::string thread_before = rig.Read("thread");
    rig.session.Load(DataDir(rig.data));
    if (c.fetch_typed) rig.settings.OnFetchCountEdited(*c.fetch_typed);
    if (c.threads_typed) rig.settings.OnThreadCountEdited(*c.threads_typed);
    if (!c.strict_written) {
      std::remove((rig.data + "/strict").c_str());
      ASSERT_TRUE(EnsureDirectory(rig.data + "/strict"));  // in the way of the file
    }
    if (c.strict_confirmed) {
      EXPECT_EQ(rig.settings.ConfirmStrictRule(*c.strict_confirmed).empty(), c.strict_written)
          << c.name;
    }
    const SessionValues session = rig.session.Get();
    EXPECT_EQ(session.fetch_count, c.fetch_count) << c.name;
    EXPECT_EQ(session.checks_at_once, c.checks_at_once) << c.name;
    EXPECT_EQ(session.strict, c.strict) << c.name;
    EXPECT_EQ(rig.Read("agent number"), agent_number_before) << c.name;
    EXPECT_EQ(rig.Read("thread"), thread_before) << c.name;
  }
}

TEST(AutostartTest, EntryQuotesThePathAndASecondWriteReplacesIt) {
  EXPECT_NE(
      Autostart::EntryText("/a/b c/$x\"%`\\").find("Exec=\"/a/b c/\\\\$x\\\\\"%%\\\\`\\\\\\\\\"\n"),
      std::string::npos);
  testing::TempDir dir;
  Autostart first(dir.File("autostart"), "/usr/bin/lumvexip");
  EXPECT_FALSE(first.IsEnabled());
  EXPECT_TRUE(first.Enable());
  Autostart second(dir.File("autostart"), "/opt/lumvexip");
  EXPECT_TRUE(second.Enable());
  EXPECT_EQ(first.EntryPath(), second.EntryPath());
  EXPECT_NE(ReadWholeFile(second.EntryPath())->find("Exec=\"/opt/lumvexip\""), std::string::npos);
  EXPECT_TRUE(second.Disable());
  EXPECT_FALSE(first.IsEnabled());
  EXPECT_TRUE(second.Disable());  // nothing left to remove
}

TEST(AutostartTest, DirectoryFollowsXdgConfigHome) {
  auto env = [](const char* config, const char* home) {
    return [config, home](const char* name) -> const char* {
      if (std::string_view(name) == "XDG_CONFIG_HOME") return config;
      if (std::string_view(name) == "HOME") return home;
      return nullptr;
    };
  };
  EXPECT_EQ(Autostart::DirectoryFromEnvironment(env("/x/cfg", "/home/u")), "/x/cfg/autostart");
  EXPECT_EQ(Autostart::DirectoryFromEnvironment(env(nullptr, "/home/u")),
            "/home/u/.config/autostart");
  EXPECT_EQ(Autostart::DirectoryFromEnvironment(env("rel", "/home/u")),
            "/home/u/.config/autostart");
  EXPECT_EQ(Autostart::DirectoryFromEnvironment(env(nullptr, nullptr)), "");
}

}  // namespace
}  // namespace lumvex
