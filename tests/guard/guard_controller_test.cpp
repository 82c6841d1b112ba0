// The window's guard against loopback farm proxies that stop answering: the walk over the "成功"
// rows with a check of each before the switch, the "失败" it writes into dead rows, the way off
// when none passes, the messages, the tray item and its file, and the ways it stops.
#include "app/guard_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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
  // Row 1 answers but its verdict is "失败": passed over for row 2, which is checked and passes.
  ASSERT_TRUE(WaitUntil([&] { return StoredIs(second.Address()); })) << Stored().host;
  // The dead row says so, in red, as a check run would have it.
  EXPECT_TRUE(list_.GetCheckState(0).Failed());
  EXPECT_EQ(list_.GetCheckMark(0), CheckMark::kFailed);
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
  // Rows 3 ("正在验证...") and 4 ("失败") do not count; wrapping round to the top, row 0 is now
  // "失败" and row 1 was.
  ASSERT_TRUE(WaitUntil([&] { return !Stored().enabled; }));
  EXPECT_TRUE(list_.GetCheckState(2).Failed());
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
  // The next row is checked before the switch, and from then on.
  ASSERT_TRUE(check.AnswerCheck(5, true));
  ASSERT_TRUE(WaitUntil([&] { return StoredIs(second.Address()); }));
  ASSERT_TRUE(check.WaitForStarted(6));
  EXPECT_EQ(check.Started()[4], second.Address());
  EXPECT_EQ(check.Started()[5], second.Address());
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

// Where the walk goes once the guarded proxy has failed twice: every "成功" row in the order shown,
// from the one after the dead row round to the one before it, each checked before the switch; a
// row that fails its check gets "失败", and none passing switches the proxy off.
TEST_F(GuardControllerTest, TheWalkChecksEachWorkingRowOnceRoundTheWholeList) {
  struct Case {
    const char* name;
    // By list row: 'S' "成功", 'F' "失败", 'C' "正在验证...", 'D' "成功" with the dead row's
    // address.
    std::string rows;
    std::vector<int> shown;  // the view's order; empty: the list's
    int dead;                // the row whose proxy dies
    std::string answers;     // of the candidates' checks, in turn: 'y' relays, 'n' does not
    std::vector<int> checked;
    int ends_on;  // -1: off
    std::vector<int> failed;
  };
  const std::vector<Case> cases = {
      {"a working row above the dead one", "SSSSS", {}, 2, "nny", {3, 4, 0}, 0, {2, 3, 4}},
      {"the first candidate passes", "SSS", {}, 0, "y", {1}, 1, {0}},
      {"none passes", "SSS", {}, 1, "nn", {2, 0}, -1, {0, 1, 2}},
      {"rows not passing are no candidates", "SFCSF", {}, 0, "y", {3}, 3, {0, 1, 4}},
      {"the dead proxy's duplicates", "SDSD", {}, 0, "n", {2}, -1, {0, 1, 2, 3}},
      {"sorted view", "SSSS", {3, 1, 0, 2}, 0, "ny", {2, 3}, 3, {0, 2}},
      {"the only row", "S", {}, 0, "", {}, -1, {0}},
  };
  const auto address = [](const Case& c, int row) {
    const int ip = c.rows[static_cast<std::size_t>(row)] == 'D' ? c.dead : row;
    return "10.7.0." + std::to_string(ip + 1) + ":8080";
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<ProxyEntry> rows;
    for (int row = 0; row < static_cast<int>(c.rows.size()); ++row) {
      const char kind = c.rows[static_cast<std::size_t>(row)];
      const std::string verdict = kind == 'F' ? "失败" : kind == 'C' ? "正在验证..." : "成功";
      const std::string text = address(c, row);
      rows.push_back(
          WithVerdict(ProxyEntry{{text.substr(0, text.find(':')), "8080", verdict, "", "", ""}}));
    }
    list_.ReplaceAll(std::move(rows));
    if (c.shown.empty()) {
      switch_.SetShownOrder(nullptr);
    } else {
      switch_.SetShownOrder([shown = c.shown] { return shown; });
    }
    ScriptedCheck check;
    auto guard = std::make_unique<GuardController>(ui_, state_, list_, switch_, prompts_,
                                                   DataDir(data_.path()), check.AsCheck(), 0ms);
    OnUi([&] {
      list_.SetCurrentRow(c.dead);
      switch_.SetIeProxyFromCurrentRow();
      if (!state_.Checked(TrayItem::kGuard)) guard->Toggle();
    });
    ASSERT_TRUE(check.AnswerCheck(1, false));
    ASSERT_TRUE(check.AnswerCheck(2, false));
    for (std::size_t i = 0; i < c.answers.size(); ++i) {
      ASSERT_TRUE(check.AnswerCheck(3 + i, c.answers[i] == 'y'));
    }
    if (c.ends_on < 0) {
      ASSERT_TRUE(WaitUntil([&] { return !Stored().enabled; }));
    } else {
      ASSERT_TRUE(WaitUntil([&] { return StoredIs(address(c, c.ends_on)); }));
    }
    ui_.Drain();
    const std::vector<std::string> started = check.Started();
    ASSERT_GE(started.size(), 2 + c.checked.size());
    std::vector<std::string> expected_checks;
    for (const int row : c.checked) expected_checks.push_back(address(c, row));
    EXPECT_EQ(std::vector<std::string>(
                  started.begin() + 2,
                  started.begin() + 2 + static_cast<std::ptrdiff_t>(c.checked.size())),
              expected_checks);
    OnUi([&] {
      if (c.ends_on >= 0) {
        EXPECT_EQ(list_.CurrentRow(), c.ends_on);
        EXPECT_EQ(guard->Guard().Address(), address(c, c.ends_on));  // guarded from now on
      } else {
        EXPECT_EQ(state_.Text(control::kStatusLine), "IE：http=无代理");
        EXPECT_FALSE(guard->Guard().Running());
      }
      for (int row = 0; row < list_.ListCount(); ++row) {
        const bool failed = std::find(c.failed.begin(), c.failed.end(), row) != c.failed.end();
        EXPECT_EQ(list_.GetCheckState(row).Failed(), failed) << "row " << row;
        // A row the walk found dead is red; one that was "失败" before keeps what it had.
        if (failed && c.rows[static_cast<std::size_t>(row)] != 'F') {
          EXPECT_EQ(list_.GetCheckMark(row), CheckMark::kFailed) << "row " << row;
        }
      }
    });
    EXPECT_EQ(TrayTexts().back(),
              c.ends_on < 0 ? "没有可用代理，已取消代理" : "已自动切换到 " + address(c, c.ends_on));
    // Off for the next case, whose guard starts when it switches a proxy on.
    OnUi([&] { switch_.CancelIeProxy(); });
    guard.reset();
  }
}

// While a candidate is being checked the user may take over: the answer then changes nothing.
TEST_F(GuardControllerTest, AWalkIsDroppedWhenTheUserTakesOverDuringACheck) {
  struct Case {
    const char* name;
    std::function<void(GuardController&)> act;
    bool dead_proxy_stays_on;
  };
  const std::vector<Case> cases = {
      {"another proxy set",
       [this](GuardController&) {
         list_.SetCurrentRow(2);
         switch_.SetIeProxyFromCurrentRow();
       },
       false},
      {"the item unticked", [](GuardController& guard) { guard.Toggle(); }, true},
      {"a validation run starts", [](GuardController& guard) { guard.Stop(); }, true},
      {"the proxy switched off", [this](GuardController&) { switch_.CancelIeProxy(); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    list_.ReplaceAll({WithVerdict(ProxyEntry{{"10.8.0.1", "80", "成功", "", "", ""}}),
                      WithVerdict(ProxyEntry{{"10.8.0.2", "80", "成功", "", "", ""}}),
                      WithVerdict(ProxyEntry{{"10.8.0.3", "80", "成功", "", "", ""}})});
    OnUi([&] { prompts_.tray_messages.clear(); });
    ScriptedCheck check;
    auto guard = std::make_unique<GuardController>(ui_, state_, list_, switch_, prompts_,
                                                   DataDir(data_.path()), check.AsCheck(), 0ms);
    OnUi([&] {
      list_.SetCurrentRow(0);
      switch_.SetIeProxyFromCurrentRow();
      if (!state_.Checked(TrayItem::kGuard)) guard->Toggle();
    });
    ASSERT_TRUE(check.AnswerCheck(1, false));
    ASSERT_TRUE(check.AnswerCheck(2, false));
    ASSERT_TRUE(check.WaitForStarted(3));  // row 1's check, in flight
    EXPECT_EQ(check.Started()[2], "10.8.0.2:80");
    const SystemProxySetting before = Stored();
    OnUi([&] { c.act(*guard); });
    const SystemProxySetting after = Stored();
    ASSERT_TRUE(check.Answer(false));
    ui_.Drain();
    EXPECT_EQ(Stored(), after);
    EXPECT_EQ(after == before, c.dead_proxy_stays_on);
    OnUi([&] {
      EXPECT_FALSE(guard->Walking());
      EXPECT_TRUE(list_.GetCheckState(1).Ok());  // the abandoned answer writes nothing
      EXPECT_TRUE(list_.GetCheckState(2).Ok());
    });
    EXPECT_TRUE(TrayTexts().empty());
    // Off for the next case, whose guard starts when it switches a proxy on.
    OnUi([&] { switch_.CancelIeProxy(); });
    guard.reset();
  }
}

}  // namespace
}  // namespace lumvex
