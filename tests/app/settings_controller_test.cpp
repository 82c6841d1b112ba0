// The settings dialog's rules without a display: which thread counts "确 定" takes, and what the
// empty number fields stand for.
#include "app/settings_controller.h"

#include <gtest/gtest.h>

#include "acquire/source_a.h"
#include "app/window_session.h"
#include "platform/headless_ui_thread.h"
#include "temp_dir.h"

namespace lumvex {
namespace {

TEST(SettingsControllerTest, ThreadCountRange) {
  struct Case {
    const char* text;
    bool accepted;
  };
  const Case cases[] = {
      {"", true},  // the default thread count
      {"1", true},
      {"20", true},
      {"10000", true},
      {"0010000", true},
      {"0", false},
      {"000", false},
      {"10001", false},
      {"99999", false},
      {"4294967297", false},  // 2^32 + 1: no wrap-around to a small number
      {"99999999999999999999999999999999", false},
      {"-5", false},
      {"+5", false},
      {" 20", false},  // a file may hold anything; the typed field holds digits only
      {"20 ", false},
      {"2x", false},
      {"二十", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ThreadCountAccepted(c.text), c.accepted) << '"' << c.text << '"';
  }
}

TEST(SettingsControllerTest, EmptyFieldsStandForTheDefaults) {
  HeadlessUiThread ui;
  MainWindowState state(ui);
  WindowSession session;
  testing::TempDir dir;
  SettingsController settings(state, session, DataDir(dir.path() + "/data"),
                              Autostart(dir.path() + "/autostart", "/usr/bin/lumvexip"));
  const SettingsDialogValues values = settings.Load();
  // An empty thread count runs 20 checks at once; an empty fetch count fetches one source-A
  // page, which holds 80 proxies.
  EXPECT_EQ(values.thread_count_in_force, "20");
  EXPECT_EQ(values.thread_count_in_force, std::to_string(ChecksAtOnceOf("")));
  EXPECT_EQ(values.thread_count_in_force, std::to_string(session.ChecksAtOnce()));
  EXPECT_EQ(values.fetch_count_in_force, "80");
  EXPECT_EQ(source_a::PageCount(""), 1);
}

}  // namespace
}  // namespace lumvex
