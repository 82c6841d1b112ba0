// The window's guard against loopback farm proxies that stop answering: the move to the next
// "成功" row, the way off when none is left, the messages, the tray item and its file, and the
// ways it stops.
#include "app/guard_controller.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/proxy_switch_controller.h"
#include "guard_rig.h"
#include "http/fetch_client.h"
#include "platform/file_io.h"
#include "platform/headless_ui_thread.h"
#include "scripted_check.h"
#include "settings/settings.h"
#include "support/scripted_prompts.h"
#include "temp_dir.h"
#include "text/codec.h"
#include "validate/guard_check.h"

namespace lumvex {
namespace {

using lumvex::testing::KeyfileStore;
using lumvex::testing::LiveProxy;
using lumvex::testing::ScriptedCheck;
using lumvex::testing::ScriptedPrompts;
using lumvex::testing::TempDir;
using lumvex::testing::WaitUntil;
using namespace std::chrono_literals;

class GuardControllerTest : public ::testing::Test {
 protected:
  template <typename Fn>
  void OnUi(Fn fn) {
    ASSERT_TRUE(ui_.RunSync(fn));
  }
  // The guard with the real check (the connectivity address through the proxy, 2 s deadline).
  void StartGuard() {
    guard_ = std::make_unique<GuardController>(ui_, state_, list_, switch_, prompts_,
                                               DataDir(data_.path()),
                                               MakeGuardCheck(fetcher_, "connect.test", 2), 5ms);
  }
  // Sets row `row` as the system proxy and ticks "自动切换代理".
  void SetAndGuard(int row) {
    OnUi([&] {
      list_.SetCurrentRow(row);
      switch_.SetIeProxyFromCurrentRow();
      guard_->Toggle();
    });
  }
  SystemProxySetting Stored() const { return keyfile_.Open()->Read(); }
  bool StoredIs(const std::string& address) const {
    const SystemProxySetting s = Stored();
    return s.enabled && s.host + ":" + std::to_string(s.port) == address;
  }
  std::vector<std::string> TrayTexts() {
    std::vector<std::string> texts;
    ui_.RunSync([&] {
      for (const auto& message : prompts_.tray_messages) texts.push_back(message.text);
    });
    return texts;
  }
  bool GuardRunning() {
    bool running = false;
    ui_.RunSync([&] { running = guard_->Guard().Running(); });
    return running;
  }
  std::string GuardFileText() const {
    return text::DecodeGbk(ReadWholeFile(data_.File("guard")).value_or(""));
  }

  TempDir data_;
  KeyfileStore keyfile_;
  std::shared_ptr<MarkedSystemProxy> store_ = testing::MarkedKeyfileStore(keyfile_, data_.path());
  HeadlessUiThread ui_;
  MainWindowState state_{ui_};
  ProxyList list_{ui_};
  ProxySwitchController switch_{state_, list_, *store_, DataDir(data_.path())};
  ScriptedPrompts prompts_;
  http::FetchClient fetcher_{nullptr};
  // Outlives the guard, whose thread may still be starting a check when a test ends.
  ScriptedCheck check_;
  std::unique_ptr<GuardController> guard_;
};

TEST_F(GuardControllerTest, MovesToTheNextSuccessfulRowWhenTheProxyDiesThenOffWhenNoneIsLeft) {
  LiveProxy first(0), failed_but_alive(1), second(2), checking(3), last_failed(4);
  list_.AddRows({first.Row("成功"), failed_but_alive.Row("失败"), second.Row("成功", "上海 联通"),
                 checking.Row("正在验证..."), last_failed.Row("失败")});
  StartGuard();
  SetAndGuard(0);
  EXPECT_TRUE(StoredIs(first.Address()));
  EXPECT_TRUE(store_->Marker().Exists());
  EXPECT_EQ(GuardFileText(), "[guard]\r\nguard=yes\r\n");
  // The proxy answers: checks pass and nothing moves.
  ASSERT_TRUE(WaitUntil([&] { return guard_->Guard().ChecksCounted() >= 3; }));
  EXPECT_TRUE(StoredIs(first.Address()));
  EXPECT_TRUE(TrayTexts().empty());

  first.Die();
  // Row 1 answers but its verdict is "失败": passed over for row 2.
  ASSERT_TRUE(WaitUntil([&] { return StoredIs(second.Address()); })) << Stored().host;
  ASSERT_TRUE(WaitUntil([&] { return !TrayTexts().empty(); }));
  EXPECT_EQ(TrayTexts(), std::vector<std::string>{"已自动切换到 " + second.Address()});
  OnUi([&] {
    // The same indicators and saved caption as "切换IE代理".
    EXPECT_EQ(state_.Text(control::kStatusLine), "IE：http=" + second.Address());
    EXPECT_EQ(state_.Text(control::kTrayIcon), second.Address() + "代理已启用");
    EXPECT_EQ(state_.Text(TrayItem::kSavedProxy), second.Address() + " | 上海");
    EXPECT_TRUE(state_.Checked(TrayItem::kSavedProxy));
    EXPECT_EQ(list_.CurrentRow(), 2);
  });
  EXPECT_EQ(Settings(DataDir(data_.path())).ReadSavedProxy(), second.Address() + " | 上海");
  EXPECT_TRUE(store_->Marker().Exists());

  second.Die();
  // Rows 3 ("正在验证...") and 4 ("失败") do not count, and it never wraps to row 0 or 1.
  ASSERT_TRUE(WaitUntil([&] { return !Stored().enabled; }));
  ASSERT_TRUE(WaitUntil([&] { return TrayTexts().size() == 2; }));
  EXPECT_EQ(TrayTexts()[1], "没有可用代理，已取消代理");
  EXPECT_EQ(Stored().host, second.Ip());  // off, the address kept
  OnUi([&] {
    EXPECT_EQ(state_.Text(control::kStatusLine), "IE：http=无代理");
    EXPECT_EQ(state_.Text(control::kTrayIcon), "未启用代理");
    EXPECT_FALSE(state_.Checked(TrayItem::kSavedProxy));
    EXPECT_TRUE(state_.Checked(TrayItem::kGuard));  // the item stays ticked for the next proxy
  });
  EXPECT_FALSE(GuardRunning());
  EXPECT_FALSE(store_->Marker().Exists());
}

TEST_F(GuardControllerTest, WithoutATrayTheMessagesGoToTheStatusLine) {
  LiveProxy first(0), second(1);
  list_.AddRows({first.Row("成功"), second.Row("成功", "")});
  prompts_.tray_shown = false;
  StartGuard();
  SetAndGuard(0);
  first.Die();
  ASSERT_TRUE(WaitUntil([&] { return StoredIs(second.Address()); }));
  ASSERT_TRUE(WaitUntil([&] {
    return state_.Text(control::kStatusLine) == "已自动切换到 " + second.Address();
  })) << state_.Text(control::kStatusLine);
  second.Die();
  ASSERT_TRUE(WaitUntil([&] {
    return state_.Text(control::kStatusLine) == "没有可用代理，已取消代理";
  })) << state_.Text(control::kStatusLine);
  EXPECT_FALSE(Stored().enabled);
}

TEST_F(GuardControllerTest, OneFailureBetweenSuccessesDoesNotMove) {
  LiveProxy first(0), second(1);
  list_.AddRows({first.Row("成功"), second.Row("成功")});
  ScriptedCheck& check = check_;
  guard_ = std::make_unique<GuardController>(ui_, state_, list_, switch_, prompts_,
                                             DataDir(data_.path()), check.AsCheck(), 0ms);
  SetAndGuard(0);
  ASSERT_TRUE(check.AnswerCheck(1, false));
  ASSERT_TRUE(check.AnswerCheck(2, true));
  ASSERT_TRUE(check.AnswerCheck(3, false));
  ASSERT_TRUE(check.WaitForStarted(4));
  ui_.Drain();
  EXPECT_TRUE(StoredIs(first.Address()));
  ASSERT_TRUE(check.Answer(false));  // two in a row now
  ASSERT_TRUE(WaitUntil([&] { return StoredIs(second.Address()); }));
  // The next address is checked from then on.
  ASSERT_TRUE(check.WaitForStarted(5));
  EXPECT_EQ(check.Started()[4], second.Address());
}

TEST_F(GuardControllerTest, TurningTheItemOffStopsAtOnceAndTheChoiceIsKept) {
  LiveProxy first(0);
  list_.AddRows({first.Row("成功")});
  ScriptedCheck& check = check_;
  guard_ = std::make_unique<GuardController>(ui_, state_, list_, switch_, prompts_,
                                             DataDir(data_.path()), check.AsCheck(), 0ms);
  SetAndGuard(0);
  ASSERT_TRUE(check.WaitForStarted(1));  // a check in flight that never answers
  EXPECT_TRUE(GuardRunning());
  OnUi([&] { guard_->Toggle(); });
  EXPECT_FALSE(GuardRunning());
  EXPECT_FALSE(state_.Checked(TrayItem::kGuard));
  EXPECT_EQ(GuardFileText(), "[guard]\r\nguard=no\r\n");
  EXPECT_TRUE(StoredIs(first.Address()));  // the proxy itself stays on

  // A later start of the program reads the choice back.
  OnUi([&] { guard_->Toggle(); });
  GuardController later(ui_, state_, list_, switch_, prompts_, DataDir(data_.path()),
                        check.AsCheck(), 0ms);
  OnUi([&] {
    state_.SetChecked(TrayItem::kGuard, false);
    later.LoadSetting();
  });
  EXPECT_TRUE(state_.Checked(TrayItem::kGuard));
}

TEST_F(GuardControllerTest, RunsOnlyWhileAProxySetByTheProgramIsOn) {
  LiveProxy first(0), second(1);
  list_.AddRows({first.Row("成功"), second.Row("成功")});
  ScriptedCheck& check = check_;
  guard_ = std::make_unique<GuardController>(ui_, state_, list_, switch_, prompts_,
                                             DataDir(data_.path()), check.AsCheck(), 0ms);
  OnUi([&] { guard_->Toggle(); });  // ticked, but no proxy is on
  EXPECT_FALSE(GuardRunning());
  OnUi([&] {
    list_.SetCurrentRow(0);
    switch_.SetIeProxyFromCurrentRow();
  });
  EXPECT_TRUE(GuardRunning());
  // "切换IE代理" moves the guard along with the proxy.
  OnUi([&] { switch_.SwitchIeProxyToNextRow(); });
  OnUi([&] { EXPECT_EQ(guard_->Guard().Address(), second.Address()); });
  // "取消IE代理" stops it, with a check in flight.
  ASSERT_TRUE(check.WaitForStarted(1));
  OnUi([&] { switch_.CancelIeProxy(); });
  EXPECT_FALSE(GuardRunning());
  // Re-applying the saved proxy starts it again.
  OnUi([&] { switch_.ReapplySavedIeProxy(); });
  EXPECT_TRUE(GuardRunning());
  OnUi([&] { guard_->Stop(); });  // what a validation run's start and the exit do
  EXPECT_FALSE(GuardRunning());
}

TEST_F(GuardControllerTest, AFailureReportForAProxyTheUserHasLeftChangesNothing) {
  LiveProxy first(0), second(1), third(2);
  list_.AddRows({first.Row("成功"), second.Row("成功"), third.Row("成功")});
  ScriptedCheck& check = check_;
  guard_ = std::make_unique<GuardController>(ui_, state_, list_, switch_, prompts_,
                                             DataDir(data_.path()), check.AsCheck(), 1h);
  SetAndGuard(0);
  OnUi([&] {
    list_.SetCurrentRow(2);
    switch_.SetIeProxyFromCurrentRow();
    guard_->MoveOn(first.Address());  // a stale report about row 0
  });
  EXPECT_TRUE(StoredIs(third.Address()));
  EXPECT_TRUE(TrayTexts().empty());
}

}  // namespace
}  // namespace lumvex
