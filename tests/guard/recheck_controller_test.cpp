// The window's background re-checks against loopback farm proxies: verdicts reach the rows of
// their address (a proxy come back to life passes, a dead one fails and turns red), a row deleted
// while its check runs is skipped and the rows that moved into its place keep their own verdicts;
// the guard turns re-checks on; exit with a check under way does not wait for it.
#include "app/recheck_controller.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "fixture/proxy_farm.h"
#include "guard_rig.h"
#include "http/fetch_client.h"
#include "platform/headless_ui_thread.h"

namespace lumvex {
namespace {

using lumvex::testing::LiveProxy;
using lumvex::testing::WaitUntil;
using namespace std::chrono_literals;

TEST(RecheckControllerTest, VerdictsFindTheirRowsByAddressAndSkipRowsGone) {
  HeadlessUiThread ui;
  MainWindowState state{ui};
  WindowSession session;
  ProxyList list{ui};
  http::FetchClient fetcher{nullptr};
  LiveProxy back(0), dead(1);
  dead.Die();
  tools::ProxyFarm silent_farm;
  tools::ProxySpec silent;
  silent.address = tools::LoopbackAddress(2);
  silent.behaviour = tools::ProxyBehaviour::kNeverAnswer;
  const auto endpoint = silent_farm.Start({silent}).at(0);
  const std::string silent_ip = endpoint.address;
  const std::string silent_port = std::to_string(endpoint.port);
  list.AddRows({back.Row("失败"), dead.Row("成功"),
                WithVerdict(ProxyEntry{{silent_ip, silent_port, "成功", "", "", ""}})});

  CheckTarget target;
  target.validation_host = "check.test";
  target.timeout_s = 1;
  bool validation_on = false;
  // One look at the rows (the toggle's): the next tick is an hour away.
  auto recheck = std::make_unique<RecheckController>(
      ui, state, session, list, fetcher, target, [&] { return validation_on; }, 1h);
  auto status = [&](int row) { return list.GetCheckState(row).status; };

  ASSERT_TRUE(ui.RunSync([&] { recheck->Toggle(); }));
  EXPECT_TRUE(state.Checked(ContextItem::kBackgroundRecheck));
  ASSERT_TRUE(WaitUntil([&] { return status(0) == CheckStatus::kOk; }));
  EXPECT_GT(list.GetCheckState(0).seconds, 0);
  EXPECT_EQ(list.GetCheckMark(0), CheckMark::kNone);
  ASSERT_TRUE(WaitUntil([&] { return status(1) == CheckStatus::kFailed; }));
  EXPECT_EQ(list.GetCheckMark(1), CheckMark::kFailed);
  EXPECT_NE(list.GetCheckState(1).reason, CheckReason::kNone);
  // A validation run's status line and counters are not the re-checks'.
  EXPECT_EQ(state.Text(control::kStatusLine), "");

  // The silent proxy's row goes while its check runs, and another row takes the top.
  ASSERT_EQ(recheck->UnderWay(), 1u);
  ASSERT_TRUE(list.DeleteRow(2));
  list.InsertRow(0, "127.0.0.9");
  ASSERT_TRUE(WaitUntil([&] { return recheck->UnderWay() == 0; }));
  ui.RunSync([] {});  // the verdict's step on the UI thread has run
  EXPECT_EQ(list.ListCount(), 3);
  EXPECT_EQ(status(0), CheckStatus::kNone);
  EXPECT_EQ(status(1), CheckStatus::kOk);
  EXPECT_EQ(status(2), CheckStatus::kFailed);

  // Off by the item; on while the guard watches a proxy.
  ASSERT_TRUE(ui.RunSync([&] { recheck->Toggle(); }));
  EXPECT_FALSE(state.Checked(ContextItem::kBackgroundRecheck));
  EXPECT_FALSE(recheck->Active());
  state.SetChecked(TrayItem::kGuard, true);
  state.SetChecked(TrayItem::kSavedProxy, true);
  EXPECT_TRUE(recheck->Active());

  // Exit with a check under way: it is dropped, nothing waits for its deadline.
  target.timeout_s = 600;
  auto slow = std::make_unique<RecheckController>(
      ui, state, session, list, fetcher, target, [] { return false; }, 1h);
  list.AddRows({WithVerdict(ProxyEntry{{silent_ip, silent_port, "成功", "", "", ""}})});
  ASSERT_TRUE(ui.RunSync([&] { slow->Tick(); }));
  ASSERT_TRUE(WaitUntil([&] { return slow->UnderWay() == 1; }));
  // On the UI thread, as the program's exit calls it: a verdict being written is not raced.
  ASSERT_TRUE(ui.RunSync([&] {
    slow->Shutdown();
    recheck->Shutdown();
  }));
  fetcher.Close();
  EXPECT_EQ(list.GetCheckState(3).status, CheckStatus::kOk);
}

}  // namespace
}  // namespace lumvex
