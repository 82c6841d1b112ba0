#include "validate/validation_run.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/window_session.h"
#include "config/flag_values.h"
#include "http/fetch_client.h"
#include "platform/open_file_limit.h"
#include "proxylist/agent_file.h"
#include "validation_fixture.h"

namespace lumvex {
namespace {

using testing::ValidationFixture;
using Behaviour = tools::ProxyBehaviour;

const std::vector<Command> kEditing = {
    Command::kFetch,     Command::kExport,    Command::kCleanFailed, Command::kImport,
    Command::kDeleteRow, Command::kClearList, Command::kAddProxy,    Command::kPaste};

bool AllDigits(std::string_view text, std::size_t count) {
  return text.size() == count && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The validation address sent to check.test, with its account, token and a salt in range.
bool IsValidationUrl(std::string_view url) {
  constexpr std::string_view kHead = "http://check.test/fcg-bin/cgi_emotion_list.fcg?uin=";
  constexpr std::string_view kLogin = "&loginUin=0&s=";
  constexpr std::string_view kTail = "&num=3&noflower=1&g_tk=";
  if (!url.starts_with(kHead)) return false;
  url.remove_prefix(kHead.size());
  if (url.size() < 9 || !AllDigits(url.substr(0, 9), 9)) return false;
  url.remove_prefix(9);
  if (!url.starts_with(kLogin)) return false;
  url.remove_prefix(kLogin.size());
  const std::size_t tail = url.find(kTail);
  if (tail == std::string_view::npos) return false;
  const std::string_view salt = url.substr(0, tail);
  if (salt.empty() || salt.size() > 7 || salt[0] == '0' || !AllDigits(salt, salt.size())) {
    return false;
  }
  const int value = std::stoi(std::string(salt));
  if (value < 100 || value > 9999999) return false;
  return AllDigits(url.substr(tail + kTail.size()), 4);
}

class ValidationRunTest : public ValidationFixture {
 protected:
  void ExpectEditingEnabled(bool enabled) {
    for (Command c : kEditing) {
      EXPECT_EQ(app_->State().Enabled(c), enabled) << CommandCaption(c);
    }
    EXPECT_EQ(app_->State().Enabled(Radio::kSourceA), enabled);
    EXPECT_EQ(app_->State().Enabled(Radio::kSourceB), enabled);
    EXPECT_EQ(app_->State().Get(Combo::kSourceACategories).enabled, enabled);
  }
};

TEST_F(ValidationRunTest, EveryFarmBehaviourGetsItsVerdictAndTheRunCompletes) {
  struct Case {
    tools::ProxySpec spec;
    std::string verdict;
    std::string reason;  // shown as the tooltip of the verdict
  };
  // Rows in order, with the verdict each must get (deadline 2 s).
  const std::vector<Case> cases = {
      {Spec(Behaviour::kAnswer), "成功", ""},
      {Spec(Behaviour::kDelay, 300), "成功", ""},  // slow, within the deadline
      {Spec(Behaviour::kAnswer, 0, "<html>an error page sent as 200</html>"), "成功", ""},
      {Spec(Behaviour::kEndlessBody), "成功", ""},  // a reply came; only its start is read
      {Spec(Behaviour::kDelay, 6000), "失败", "timeout waiting"},  // late: past the deadline
      {Spec(Behaviour::kRefuse), "失败", "refused"},
      {Spec(Behaviour::kNeverAnswer), "失败", "timeout waiting"},
      {Spec(Behaviour::kReset), "失败", "cut reply"},
      {Spec(Behaviour::kCloseNoAnswer), "失败", "cut reply"},
      {Spec(Behaviour::kGarbage), "失败", "content missing"},
      {Spec(Behaviour::kAnswer, 0, ""), "失败", "content missing"},         // empty page
      {Spec(Behaviour::kAnswer, 0, std::string("\0late", 5)), "成功", ""},  // a body all the same
      // The proxy's own refusals: its rules (403), a login (407), no way to the site (5xx).
      {Refusal(403), "失败", "proxy said 403"},
      {Refusal(407), "失败", "proxy said 407"},
      {Refusal(500), "失败", "proxy said 500"},
      {Refusal(502), "失败", "proxy said 502"},
      {Refusal(503), "失败", "proxy said 503"},
      {Refusal(504), "失败", "proxy said 504"},
      {Refusal(302), "失败", "redirect"},  // a redirect that leads nowhere is no page
  };
  std::vector<tools::ProxySpec> specs;
  for (const auto& c : cases) specs.push_back(c.spec);
  Start(specs, 2);

  Press(Command::kValidate);
  ExpectEditingEnabled(false);
  EXPECT_TRUE(app_->State().Enabled(Command::kStopValidation));
  EXPECT_TRUE(app_->State().Enabled(Command::kValidate));
  EXPECT_EQ(app_->State().Value(control::kTimer), 1000);
  EXPECT_TRUE(app_->Validation().Run().Running());

  ASSERT_TRUE(WaitFor([&] { return AllDecided(); }));
  const std::vector<ProxyEntry> checked = app_->List().Snapshot();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(Verdict(static_cast<int>(i)), cases[i].verdict) << "row " << i;
    const CheckState& check = checked[i].check;
    EXPECT_EQ(CheckReasonText(check.reason, check.http_status), cases[i].reason) << "row " << i;
    // Red text on the list's own background for failures only.
    EXPECT_EQ(checked[i].mark, cases[i].verdict == "失败" ? CheckMark::kFailed : CheckMark::kNone)
        << "row " << i;
  }
  // A check measures no time and touches no other column.
  for (const ProxyEntry& e : app_->List().Snapshot()) {
    EXPECT_EQ(e.cells[kColSpeed], "0.5");
    EXPECT_EQ(e.cells[kColLocation], "测试");
  }

  Tick();
  std::size_t passed = 0;
  for (const auto& c : cases) passed += c.verdict == "成功" ? 1 : 0;
  const std::string total = std::to_string(cases.size());
  const std::string ok = std::to_string(passed);
  const std::string failed = std::to_string(cases.size() - passed);
  EXPECT_EQ(app_->State().Text(control::kStatusLine),
            "代理IP验证完毕  共：" + total + "  可用代理IP：" + ok + "  不可用代理IP：" + failed);
  EXPECT_EQ(app_->State().Text(Counter::kSuccess), ok);
  EXPECT_EQ(app_->State().Text(Counter::kFailure), failed);
  ExpectEditingEnabled(true);
  // Source A is chosen: its combo comes back, those of source B stay as they were.
  EXPECT_TRUE(app_->State().Enabled(Command::kStopValidation));
  EXPECT_EQ(app_->State().Value(control::kTimer), 0);
  EXPECT_FALSE(app_->Validation().Run().Running());

  // After completion "停止验证" still works and shows the stopped message.
  Press(Command::kStopValidation);
  EXPECT_EQ(app_->State().Text(control::kStatusLine),
            "已停止代理IP验证！  共有代理IP：" + total + "个");
  EXPECT_FALSE(app_->State().Enabled(Command::kStopValidation));
}

TEST_F(ValidationRunTest, TicksShowProgressUntilEveryRowHasAVerdict) {
  Start({Spec(Behaviour::kAnswer), Spec(Behaviour::kRefuse), Spec(Behaviour::kNeverAnswer)}, 3);
  Press(Command::kValidate);
  ASSERT_TRUE(WaitFor([&] { return Verdict(0) == "成功" && Verdict(1) == "失败"; }));
  Tick();
  EXPECT_EQ(Verdict(2), "正在验证...");
  EXPECT_EQ(app_->State().Text(control::kStatusLine),
            "正在验证代理IP.... 共：3个  验证成功：1个  验证失败：1个");
  EXPECT_EQ(app_->State().Value(control::kTimer), 1000);
  ASSERT_TRUE(WaitFor([&] { return AllDecided(); }));
  Tick();
  EXPECT_EQ(app_->State().Text(control::kStatusLine),
            "代理IP验证完毕  共：3  可用代理IP：1  不可用代理IP：2");
  // A tick after completion changes nothing: the tick is off.
  OnUi([&] { app_->State().SetText(control::kStatusLine, "later"); });
  Tick();
  EXPECT_EQ(app_->State().Text(control::kStatusLine), "later");
}

TEST_F(ValidationRunTest, SourceBCombosComeBackWhenSourceBIsChosen) {
  Start({Spec(Behaviour::kAnswer)}, 3);
  OnUi([&] {
    Announce(app_->State(), WindowEvent::kSourceChosen, {.source = SourceChoice::kSourceB});
  });
  Press(Command::kValidate);
  OnUi([&] {
    app_->State().SetEnabled(Combo::kSourceBPages, false);
    app_->State().SetEnabled(Combo::kSourceBDatabases, false);
  });
  ASSERT_TRUE(WaitFor([&] { return AllDecided(); }));
  Tick();
  EXPECT_TRUE(app_->State().Get(Combo::kSourceBPages).enabled);
  EXPECT_TRUE(app_->State().Get(Combo::kSourceBDatabases).enabled);
  EXPECT_FALSE(app_->State().Get(Combo::kSourceACategories).enabled);
}

TEST_F(ValidationRunTest, StopMidRunFreezesTheCountsButRunningChecksStillWrite) {
  std::vector<tools::ProxySpec> specs(6, Spec(Behaviour::kNeverAnswer));
  // Two workers: rows 1 and 2 are under way, rows 3 to 6 wait in the queue.
  Start(specs, 2, 2);
  Press(Command::kValidate);
  ASSERT_TRUE(WaitFor([&] { return farm_.RequestsSeen() == 2; }));
  Press(Command::kStopValidation);
  EXPECT_EQ(app_->State().Text(control::kStatusLine), "已停止代理IP验证！  共有代理IP：6个");
  ExpectEditingEnabled(true);
  EXPECT_FALSE(app_->State().Enabled(Command::kStopValidation));
  EXPECT_EQ(app_->State().Value(control::kTimer), 0);
  EXPECT_FALSE(app_->Validation().Run().Running());
  // The two running checks end at their deadline and still write their verdicts.
  ASSERT_TRUE(WaitFor([&] { return Verdict(0) == "失败" && Verdict(1) == "失败"; }));
  // Queued rows were dropped: they keep what their cell held.
  ASSERT_TRUE(WaitFor([&] { return app_->Validation().Run().InFlight() == 0; }));
  for (int row = 2; row < 6; ++row) EXPECT_EQ(Verdict(row), "HTTP");
  EXPECT_EQ(farm_.RequestsSeen(), 2u);
  EXPECT_EQ(app_->State().Text(control::kStatusLine), "已停止代理IP验证！  共有代理IP：6个");
}

TEST_F(ValidationRunTest, SecondPressWhileRunningChecksEveryRowAgain) {
  std::vector<tools::ProxySpec> specs(4, Spec(Behaviour::kDelay, 400));
  Start(specs, 5, 8);
  Press(Command::kValidate);
  Press(Command::kValidate);
  ASSERT_TRUE(WaitFor([&] { return farm_.RequestsSeen() == 8; }));
  ASSERT_TRUE(WaitFor([&] { return AllDecided(); }));
  Tick();
  EXPECT_EQ(app_->State().Text(control::kStatusLine),
            "代理IP验证完毕  共：4  可用代理IP：4  不可用代理IP：0");
  // Every check drew its own "s": two checks of the same row sent different addresses.
  std::set<std::string> targets;
  for (const auto& request : farm_.Requests()) {
    EXPECT_TRUE(IsValidationUrl(request.target)) << request.target;
    targets.insert(request.target);
  }
  EXPECT_EQ(targets.size(), 8u);
}

TEST_F(ValidationRunTest, RebuiltTableWithFewerRowsLeavesOldTasksIdle) {
  std::vector<tools::ProxySpec> specs(5, Spec(Behaviour::kNeverAnswer));
  Start(specs, 2, 1);
  Press(Command::kValidate);  // one worker: row 1 runs, rows 2..5 queued
  ASSERT_TRUE(WaitFor([&] { return farm_.RequestsSeen() == 1; }));
  // The list shrinks to two rows (as a cleaning would) and the button is pressed again.
  OnUi([&] {
    app_->List().DeleteRow(4);
    app_->List().DeleteRow(3);
    app_->List().DeleteRow(2);
  });
  Press(Command::kValidate);
  // Queue now: 2,3,4,5 (old), 1,2 (new). Old 3..5 name no record and do nothing, so four
  // checks in all reach the farm.
  ASSERT_TRUE(WaitFor([&] { return farm_.RequestsSeen() == 4; }, 30000));
  ASSERT_TRUE(WaitFor([&] { return AllDecided(); }, 30000));
  EXPECT_EQ(Verdicts(), (std::vector<std::string>{"失败", "失败"}));
  Press(Command::kStopValidation);
  ASSERT_TRUE(WaitFor([&] { return app_->Validation().Run().InFlight() == 0; }));
  EXPECT_EQ(farm_.RequestsSeen(), 4u);
}

TEST_F(ValidationRunTest, EmptyListLocksTheButtonsAndNeverCompletesUntilStopped) {
  Start({}, 2);
  OnUi([&] { app_->State().SetText(control::kStatusLine, "上次代理IP：0个  IE：http=无代理"); });
  Press(Command::kValidate);
  ExpectEditingEnabled(false);
  EXPECT_TRUE(app_->State().Enabled(Command::kStopValidation));
  EXPECT_EQ(app_->State().Value(control::kTimer), 1000);
  EXPECT_FALSE(app_->Validation().Run().Running());  // nothing to post, no pool
  for (int i = 0; i < 3; ++i) Tick();
  EXPECT_EQ(app_->State().Text(control::kStatusLine), "上次代理IP：0个  IE：http=无代理");
  EXPECT_EQ(app_->State().Value(control::kTimer), 1000);
  ExpectEditingEnabled(false);
  Press(Command::kStopValidation);
  ExpectEditingEnabled(true);
  EXPECT_EQ(app_->State().Text(control::kStatusLine), "已停止代理IP验证！  共有代理IP：0个");
  EXPECT_EQ(app_->State().Value(control::kTimer), 0);
}

// A check the judge refused until its deadline leaves its row without a verdict: the run ends
// without it and the status line says how many such rows there are.
TEST_F(ValidationRunTest, RowsTheJudgeKeptFromAVerdictAreCountedApart) {
  Start(std::vector<tools::ProxySpec>(4, Spec(Behaviour::kNeverAnswer)), 30, 0);
  OnUi([&] {
    app_->List().SetCheckState(0, CheckState{CheckStatus::kOk});
    // The red of an earlier failure goes with the verdict.
    app_->List().SetCheckState(1, CheckState{CheckStatus::kFailed});
    app_->List().SetCheckState(1, CheckState{CheckStatus::kNone, 30, 429, 0, Anonymity::kUnknown,
                                             CheckReason::kJudgeBusy});
    app_->List().SetCheckState(2, CheckState{CheckStatus::kFailed});
  });
  // No worker starts (no checks at once): the states set here stand.
  Press(Command::kValidate);
  Tick();
  EXPECT_EQ(app_->State().Text(control::kStatusLine),
            "正在验证代理IP.... 共：4个  验证成功：1个  验证失败：1个  "
            "判定服务器繁忙，1个代理IP未判定");
  EXPECT_EQ(Verdict(1), "HTTP");  // neither verdict: the row shows its own type
  EXPECT_EQ(app_->List().GetCheckMark(1), CheckMark::kNone);
  OnUi([&] { app_->List().SetCheckState(3, CheckState{CheckStatus::kOk}); });
  Tick();
  EXPECT_EQ(
      app_->State().Text(control::kStatusLine),
      "代理IP验证完毕  共：4  可用代理IP：2  不可用代理IP：1  判定服务器繁忙，1个代理IP未判定");
  EXPECT_EQ(app_->State().Text(Counter::kSuccess), "2");
  EXPECT_EQ(app_->State().Text(Counter::kFailure), "1");
  EXPECT_EQ(app_->State().Value(control::kTimer), 0);
}

TEST_F(ValidationRunTest, OldVerdictsCanCompleteANewRunAtItsFirstTick) {
  Start({Spec(Behaviour::kNeverAnswer), Spec(Behaviour::kNeverAnswer)}, 30, 0);
  OnUi([&] {
    app_->List().SetCheckState(0, CheckState{CheckStatus::kOk});
    app_->List().SetCheckState(1, CheckState{CheckStatus::kFailed});
  });
  // No checks at once start no worker: nothing is checked, the old verdicts stand.
  Press(Command::kValidate);
  EXPECT_EQ(app_->Validation().Run().InFlight(), 0);
  Tick();
  EXPECT_EQ(app_->State().Text(control::kStatusLine),
            "代理IP验证完毕  共：2  可用代理IP：1  不可用代理IP：1");
}

TEST_F(ValidationRunTest, RepeatedRunsLeaveOnlyTheFailedRowsRed) {
  Start({Spec(Behaviour::kRefuse), Spec(Behaviour::kReset), Spec(Behaviour::kAnswer)}, 2);
  for (int run = 0; run < 2; ++run) {
    OnUi([&] {
      for (int row = 0; row < 3; ++row) app_->List().SetCell(row, kColType, "HTTP");
    });
    Press(Command::kValidate);
    ASSERT_TRUE(WaitFor([&] { return AllDecided(); }));
    Tick();
  }
  const std::vector<ProxyEntry> rows = app_->List().Snapshot();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].mark, CheckMark::kFailed);
  EXPECT_EQ(rows[1].mark, CheckMark::kFailed);
  EXPECT_EQ(rows[2].mark, CheckMark::kNone);
}

TEST_F(ValidationRunTest, SystemProxyIsSwitchedOffFirst) {
  Start({Spec(Behaviour::kAnswer)}, 2);
  std::vector<std::string> order;
  app_->Validation().SetSystemProxyOff([&] {
    order.push_back("proxy off");
    // The buttons are not locked yet at this step.
    EXPECT_TRUE(app_->State().Enabled(Command::kFetch));
  });
  Press(Command::kValidate);
  EXPECT_EQ(order, std::vector<std::string>{"proxy off"});
  ASSERT_TRUE(WaitFor([&] { return AllDecided(); }));
}

TEST_F(ValidationRunTest, TooFewDescriptorsCheckFewerAtOnceAndTheStatusLineSaysSo) {
  std::vector<tools::ProxySpec> specs(12, Spec(Behaviour::kDelay, 300));
  Start(specs, 10, 10000);
  // Room for three checks beside the run's reserve.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit lowered = saved;
  lowered.rlim_cur = OpenDescriptorCount() + ValidationRun::kReservedDescriptors + 3;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
  Press(Command::kValidate);
  ASSERT_TRUE(WaitFor([&] {
    return app_->State().Text(control::kStatusLine) == "可用文件描述符不足，同时验证数减为3";
  }));
  // The tick's progress text carries the note on; every check still gets its real verdict.
  Tick();
  EXPECT_TRUE(app_->State()
                  .Text(control::kStatusLine)
                  .ends_with("个  可用文件描述符不足，同时验证数减为3"));
  ASSERT_TRUE(WaitFor([&] { return AllDecided(); }));
  setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(Verdicts(), std::vector<std::string>(12, "成功"));
  Tick();
  EXPECT_EQ(app_->State().Text(control::kStatusLine),
            "代理IP验证完毕  共：12  可用代理IP：12  不可用代理IP：0");
}

// The "thread" text (file or dialog field) is taken by the rule of `check --threads`; whatever
// that rule refuses runs the default 20 checks at once.
TEST(ValidationControllerTest, ThreadCountTextIsReadAsBeforeWithinTheThreadsFlagBounds) {
  struct Case {
    const char* text;
    int checks;
    bool flag_takes;  // `check --threads TEXT` is accepted
  };
  const Case cases[] = {
      {"5", 5, true},          {"10000", 10000, true},
      {"00020", 20, true},     {"", 20, false},
      {"0", 20, false},        {"-3", 20, false},
      {"+5", 5, false},        {"10001", 10000, false},
      {"99999", 10000, false}, {"4294967297", 10000, false},
      {"000010", 10, false},   {"abc", 20, false},
      {"12x", 12, false},      {" 5", 5, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChecksAtOnceOf(c.text), c.checks) << '"' << c.text << '"';
    EXPECT_EQ(ParseThreadCount(c.text).has_value(), c.flag_takes) << '"' << c.text << '"';
  }
}

class MenuCheckTest : public ValidationFixture {};

TEST_F(MenuCheckTest, ChecksTheCurrentRowAndItsVerdictReplacesAnEarlierRed) {
  Start({Spec(Behaviour::kRefuse), Spec(Behaviour::kAnswer)}, 3);
  Press(Command::kValidate);
  ASSERT_TRUE(WaitFor([&] { return AllDecided(); }));
  Tick();
  ASSERT_EQ(Verdict(0), "失败");
  ASSERT_EQ(app_->List().GetCheckMark(0), CheckMark::kFailed);
  // Row 0 now names the answering proxy; the menu check finds it working.
  OnUi([&] {
    app_->List().SetCell(0, kColAddress, endpoints_[1].address);
    app_->List().SetCell(0, kColPort, std::to_string(endpoints_[1].port));
    app_->List().SetCurrentRow(0);
    app_->Shell().OnContextItem(ContextItem::kValidateSelected);
    // The handler returned at once; the cell shows the check under way.
    EXPECT_EQ(app_->List().GetCell(0, kColType), "正在验证");
  });
  ASSERT_TRUE(WaitFor([&] { return Verdict(0) == "成功"; }));
  // A success is drawn in the list's own colours: the earlier red is gone with its verdict.
  EXPECT_EQ(app_->List().GetCheckMark(0), CheckMark::kNone);
  // It fetched the connectivity host's home page through the row's proxy.
  bool seen = false;
  for (const auto& request : farm_.Requests()) seen |= request.target == "http://connect.test/";
  EXPECT_TRUE(seen);
}

TEST_F(MenuCheckTest, AFailedMenuCheckIsRedLikeAPoolCheck) {
  Start({Spec(Behaviour::kReset)}, 3);
  OnUi([&] {
    app_->List().SetCurrentRow(0);
    app_->Shell().OnContextItem(ContextItem::kValidateSelected);
  });
  ASSERT_TRUE(WaitFor([&] { return Verdict(0) == "失败"; }));
  EXPECT_EQ(app_->List().GetCheckMark(0), CheckMark::kFailed);
}

TEST_F(MenuCheckTest, NoCurrentRowDoesNothing) {
  Start({Spec(Behaviour::kAnswer)}, 3);
  OnUi([&] {
    app_->List().SetCurrentRow(-1);
    app_->Shell().OnContextItem(ContextItem::kValidateSelected);
  });
  ui_.Drain();
  EXPECT_EQ(Verdict(0), "HTTP");
  EXPECT_EQ(farm_.RequestsSeen(), 0u);
}

TEST_F(MenuCheckTest, DestroyingTheProgramDuringAMenuCheckIsSafe) {
  Start({Spec(Behaviour::kNeverAnswer)}, 30);
  OnUi([&] {
    app_->List().SetCurrentRow(0);
    app_->Shell().OnContextItem(ContextItem::kValidateSelected);
  });
  ASSERT_TRUE(WaitFor([&] { return farm_.RequestsSeen() == 1; }));
  app_.reset();  // the cancelled fetch's completion must not reach the freed list
  ui_.Drain();
}

// Exit while 500 checks hang on silent proxies: the list is saved, the program's objects go
// away at once, nothing writes a verdict afterwards and no thread is left touching them.
TEST_F(ValidationRunTest, ExitDuringARunWithFiveHundredHangingChecks) {
  std::vector<tools::ProxySpec> specs(500, Spec(Behaviour::kNeverAnswer));
  Start(specs, 60, 500);
  Press(Command::kValidate);
  ASSERT_TRUE(WaitFor([&] { return farm_.RequestsSeen() == 500; }));
  const auto begin = std::chrono::steady_clock::now();
  OnUi([&] { app_->Shell().OnTrayItem(TrayItem::kExit); });  // "退出程序": saves the list
  ui_.Close();
  app_->Shutdown();
  EXPECT_EQ(app_->Validation().Run().InFlight(), 0);
  app_.reset();
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
  std::printf("exit with 500 hanging checks took %.1f ms\n", ms);
  const auto rows = ReadAgentFile(lumvex::DataDir(dir_.path() + "/data"));
  ASSERT_TRUE(rows.has_value());
  ASSERT_EQ(rows->rows.size(), 500u);
  for (const CompactRow& e : rows->rows) EXPECT_EQ(e.Cell(kColType), "正在验证...");
}

// The run's checks alone, as `lumvexip check` uses them: no list and no window state, each row's
// start and verdict reported once by its index, with what the check measured.
TEST(ValidationRunServiceTest, ReportsEachRowOnceByItsIndex) {
  tools::RaiseFileLimit();
  std::vector<tools::ProxySpec> specs(3);
  specs[0].behaviour = Behaviour::kAnswer;
  specs[0].body = "ok";
  specs[1].behaviour = Behaviour::kRefuse;
  specs[2].behaviour = Behaviour::kAnswer;
  specs[2].status = 403;  // the proxy's own refusal page
  specs[2].body = "<html>denied</html>";
  for (std::size_t i = 0; i < specs.size(); ++i) specs[i].address = tools::LoopbackAddress(i);
  tools::ProxyFarm farm;
  const auto endpoints = farm.Start(specs);
  ASSERT_EQ(endpoints.size(), specs.size());
  std::vector<ProxyEntry> rows;
  for (const auto& e : endpoints) rows.push_back(ProxyEntry{{e.address, std::to_string(e.port)}});

  std::mutex mutex;
  std::vector<int> started(rows.size(), 0);
  std::vector<std::vector<CheckState>> verdicts(rows.size());
  ValidationRun::Events events;
  events.started = [&](int row) {
    std::lock_guard lock(mutex);
    ++started.at(static_cast<std::size_t>(row));
  };
  events.finished = [&](int row, const CheckState& state) {
    std::lock_guard lock(mutex);
    verdicts.at(static_cast<std::size_t>(row)).push_back(state);
  };
  http::FetchClient fetcher(nullptr);
  CheckTarget target;
  target.validation_host = "check.test";
  target.timeout_s = 3;
  ValidationRun run(fetcher, target, std::move(events));
  run.Start(rows, 2);
  ASSERT_TRUE(testing::WaitUntil([&] {
    std::lock_guard lock(mutex);
    for (const auto& v : verdicts) {
      if (v.empty()) return false;
    }
    return true;
  }));
  run.Stop();
  fetcher.Close();

  EXPECT_EQ(started, (std::vector<int>{1, 1, 1}));
  ASSERT_EQ(verdicts[0].size(), 1u);
  EXPECT_EQ(verdicts[0][0].status, CheckStatus::kOk);
  EXPECT_EQ(verdicts[0][0].http_status, 200);
  EXPECT_EQ(verdicts[0][0].bytes, 2u);  // "ok"
  ASSERT_EQ(verdicts[1].size(), 1u);
  EXPECT_EQ(verdicts[1][0].status, CheckStatus::kFailed);
  EXPECT_EQ(verdicts[1][0].http_status, 0);
  ASSERT_EQ(verdicts[2].size(), 1u);
  EXPECT_EQ(verdicts[2][0].status, CheckStatus::kFailed);
  EXPECT_EQ(verdicts[2][0].http_status, 403);
}

}  // namespace
}  // namespace lumvex
