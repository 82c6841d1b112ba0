#include "app/proxy_switch_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/temp_dir.h"
#include "keyfile_store.h"
#include "platform/file_io.h"
#include "platform/headless_ui_thread.h"
#include "settings/settings.h"
#include "support/scripted_prompts.h"
#include "support/verdict_rows.h"
#include "sysproxy/no_system_proxy.h"

namespace lumvex {
namespace {

using lumvex::testing::KeyfileStore;
using lumvex::testing::ScriptedPrompts;
using lumvex::testing::TempDir;

ProxyEntry Row(std::string ip, std::string port, std::string verdict, std::string location) {
  return WithVerdict(ProxyEntry{
      {std::move(ip), std::move(port), std::move(verdict), "0.5", std::move(location), "1天"}});
}

class ProxySwitchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    list_.AddRow(Row("1.2.3.4", "8080", "成功", "北京市 电信"));
    list_.AddRow(Row("5.6.7.8", "3128", "失败", "上海"));
    list_.AddRow(Row("9.9.9.9", "81", "成功", ""));
  }

  // Handlers run on the UI thread, as the window calls them.
  template <typename Fn>
  void OnUi(Fn fn) {
    ASSERT_TRUE(ui_.RunSync(fn));
  }
  void Choose(int row) { list_.SetCurrentRow(row); }
  Settings MakeSettings() const { return Settings(DataDir(data_.path())); }
  // What a program started afterwards would read from the store.
  SystemProxySetting Stored() const { return keyfile_.Open()->Read(); }

  // `status`: the status line's text when it is not "IE：http=" + address (a SOCKS proxy).
  void ExpectOn(const std::string& address, const std::string& status = {}) {
    EXPECT_EQ(state_.Text(control::kStatusLine), status.empty() ? "IE：http=" + address : status);
    EXPECT_EQ(state_.Indicator(control::kTrayIcon), ProxyIndicator::kProxyOn);
    EXPECT_EQ(state_.Text(control::kTrayIcon), address + "代理已启用");
    EXPECT_EQ(state_.Indicator(control::kProxyPicture), ProxyIndicator::kProxyOn);
    EXPECT_EQ(state_.Indicator(control::kWindowIcon), ProxyIndicator::kProxyOn);
    EXPECT_TRUE(state_.Checked(TrayItem::kSavedProxy));
    EXPECT_TRUE(state_.Visible(TrayItem::kSavedProxy));
    EXPECT_TRUE(controller_.IsIeProxyEnabled());
  }
  void ExpectOffIndicators() {
    EXPECT_EQ(state_.Indicator(control::kTrayIcon), ProxyIndicator::kProxyOff);
    EXPECT_EQ(state_.Text(control::kTrayIcon), "未启用代理");
    EXPECT_EQ(state_.Indicator(control::kProxyPicture), ProxyIndicator::kProxyOff);
    EXPECT_EQ(state_.Indicator(control::kWindowIcon), ProxyIndicator::kProxyOff);
    EXPECT_FALSE(state_.Checked(TrayItem::kSavedProxy));
  }

  TempDir data_;
  KeyfileStore keyfile_;
  std::unique_ptr<GSettingsProxy> store_ = keyfile_.Open();
  HeadlessUiThread ui_;
  MainWindowState state_{ui_};
  ProxyList list_{ui_};
  ProxySwitchController controller_{state_, list_, *store_, DataDir(data_.path())};
};

TEST_F(ProxySwitchTest, SettingFromARowSwitchesTheStoreAndEveryIndicator) {
  Choose(0);
  OnUi([&] { controller_.SetIeProxyFromCurrentRow(); });
  EXPECT_EQ(Stored(), (SystemProxySetting{true, "1.2.3.4", 8080}));
  ExpectOn("1.2.3.4:8080");
  EXPECT_EQ(state_.Text(TrayItem::kSavedProxy), "1.2.3.4:8080 | 北京市");
  EXPECT_EQ(MakeSettings().ReadSavedProxy(), "1.2.3.4:8080 | 北京市");
  EXPECT_EQ(controller_.IeProxyAddress(), "1.2.3.4:8080");
}

TEST_F(ProxySwitchTest, ARowWithoutLocationIsCaptionedByItsAddress) {
  Choose(2);
  OnUi([&] { controller_.SetIeProxyFromCurrentRow(); });
  ExpectOn("9.9.9.9:81");
  EXPECT_EQ(state_.Text(TrayItem::kSavedProxy), "9.9.9.9:81");
  EXPECT_EQ(MakeSettings().ReadSavedProxy(), "9.9.9.9:81");
}

TEST_F(ProxySwitchTest, CancelKeepsTheAddressAndTheItemAndReapplyUsesItsCaption) {
  Choose(0);
  OnUi([&] { controller_.SetIeProxyFromCurrentRow(); });
  OnUi([&] { controller_.CancelIeProxy(); });
  EXPECT_EQ(Stored(), (SystemProxySetting{false, "1.2.3.4", 8080}));
  EXPECT_EQ(state_.Text(control::kStatusLine), "IE：http=无代理");
  ExpectOffIndicators();
  EXPECT_TRUE(state_.Visible(TrayItem::kSavedProxy));
  EXPECT_EQ(state_.Text(TrayItem::kSavedProxy), "1.2.3.4:8080 | 北京市");
  EXPECT_EQ(MakeSettings().ReadSavedProxy(), "1.2.3.4:8080 | 北京市");
  EXPECT_EQ(controller_.IeProxyAddress(), "1.2.3.4:8080");

  OnUi([&] { controller_.ReapplySavedIeProxy(); });
  EXPECT_EQ(Stored(), (SystemProxySetting{true, "1.2.3.4", 8080}));
  ExpectOn("1.2.3.4:8080");
}

TEST_F(ProxySwitchTest, NextRowGoesOnFromASuccessAndNowhereFromAFailureOrTheLastRow) {
  Choose(0);
  OnUi([&] { controller_.SetIeProxyFromCurrentRow(); });
  OnUi([&] { controller_.SwitchIeProxyToNextRow(); });
  // Row 1 is known to fail: the switch goes on to row 2.
  EXPECT_EQ(list_.CurrentRow(), 2);
  EXPECT_EQ(list_.SelectedRows(), std::vector<int>{2});  // the view shows the row in use
  EXPECT_EQ(Stored(), (SystemProxySetting{true, "9.9.9.9", 81}));
  ExpectOn("9.9.9.9:81");
  EXPECT_EQ(state_.Text(TrayItem::kSavedProxy), "9.9.9.9:81");

  // The last row has no next one: the proxy in use stays, the user is not cut off.
  OnUi([&] { controller_.SwitchIeProxyToNextRow(); });
  EXPECT_EQ(list_.CurrentRow(), 2);
  EXPECT_EQ(Stored(), (SystemProxySetting{true, "9.9.9.9", 81}));
  ExpectOn("9.9.9.9:81");
}

// Which row "切换IE代理" moves to, by the verdicts of the current row (first) and those below it.
TEST_F(ProxySwitchTest, NextRowSkipsKnownFailuresOnly) {
  struct Case {
    std::vector<std::string> verdicts;
    int moved_to;  // -1: nothing moves, the proxy in use stays
  };
  const std::vector<Case> cases = {
      {{"成功", "成功"}, 1},
      {{"成功", "失败", "成功"}, 2},
      {{"成功", "失败", "失败", "HTTP"}, 3},  // a row without a verdict is taken
      {{"成功", "正在验证...", "成功"}, 1},   // so is one still being checked
      {{"成功", "失败", "失败"}, -1},         // nothing left below
      {{"成功"}, -1},                         // the last row
      {{"失败", "成功"}, -1},                 // only from a success
      {{"正在验证", "成功"}, -1},
  };
  for (const Case& c : cases) {
    std::vector<ProxyEntry> rows;
    for (std::size_t i = 0; i < c.verdicts.size(); ++i) {
      rows.push_back(Row("10.0.0." + std::to_string(i + 1), "80", c.verdicts[i], ""));
    }
    list_.ReplaceAll(std::move(rows));
    Choose(0);
    OnUi([&] { controller_.SetIeProxyFromCurrentRow(); });
    OnUi([&] { controller_.SwitchIeProxyToNextRow(); });
    const int expected_row = c.moved_to < 0 ? 0 : c.moved_to;
    std::string named;
    for (const std::string& verdict : c.verdicts) named += verdict + " ";
    EXPECT_EQ(list_.CurrentRow(), expected_row) << named;
    EXPECT_EQ(Stored().host, "10.0.0." + std::to_string(expected_row + 1)) << named;
    EXPECT_TRUE(Stored().enabled);
  }
}

// Which row "切换IE代理" moves to when the view shows the rows in an order of its own (sorted by
// a column), and past duplicates of the proxy in use.
TEST_F(ProxySwitchTest, NextRowIsTheNextOneShownThatIsAnotherProxy) {
  struct Case {
    const char* name;
    std::vector<std::string> ips;  // by list row, all "成功" unless in `failed`
    std::vector<int> failed;
    std::vector<int> shown;  // the view's order of the list rows; empty: no order given
    int from;
    int moved_to;  // -1: nothing moves
  };
  const std::vector<Case> cases = {
      {"sorted by address",
       {"10.0.0.1", "10.0.0.42", "10.0.0.41", "10.0.0.43"},
       {},
       {0, 2, 1, 3},
       0,
       2},
      {"list order", {"10.0.0.1", "10.0.0.42", "10.0.0.41", "10.0.0.43"}, {}, {}, 0, 1},
      {"sorted, a failure passed over", {"10.0.0.1", "10.0.0.2", "10.0.0.3"}, {1}, {2, 1, 0}, 2, 0},
      {"last row shown, rows below it in the list", {"10.0.0.1", "10.0.0.2"}, {}, {1, 0}, 0, -1},
      {"duplicate of the current row", {"10.0.0.1", "10.0.0.1", "10.0.0.2"}, {}, {}, 0, 2},
      {"only duplicates left", {"10.0.0.1", "10.0.0.1", "10.0.0.1"}, {}, {}, 0, -1},
      {"duplicate in another letter case", {"host.a", "HOST.A", "host.b"}, {}, {}, 0, 2},
      {"the scheme makes another proxy",
       {"10.0.0.1", "socks5://10.0.0.1", "10.0.0.2"},
       {},
       {},
       0,
       1},
      // A view out of step with the list (fewer rows, a row twice) is not trusted.
      {"order too short", {"10.0.0.1", "10.0.0.2", "10.0.0.3"}, {}, {2, 0}, 0, 1},
      {"order names a row twice", {"10.0.0.1", "10.0.0.2", "10.0.0.3"}, {}, {0, 2, 2}, 0, 1},
      {"order names a row not there", {"10.0.0.1", "10.0.0.2"}, {}, {0, 5}, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<ProxyEntry> rows;
    for (std::size_t i = 0; i < c.ips.size(); ++i) {
      const bool failed =
          std::find(c.failed.begin(), c.failed.end(), static_cast<int>(i)) != c.failed.end();
      rows.push_back(Row(c.ips[i], "80", failed ? "失败" : "成功", ""));
    }
    list_.ReplaceAll(std::move(rows));
    if (c.shown.empty()) {
      controller_.SetShownOrder(nullptr);
    } else {
      controller_.SetShownOrder([shown = c.shown] { return shown; });
    }
    Choose(c.from);
    OnUi([&] { controller_.SetIeProxyFromCurrentRow(); });
    OnUi([&] { controller_.SwitchIeProxyToNextRow(); });
    const int expected_row = c.moved_to < 0 ? c.from : c.moved_to;
    EXPECT_EQ(list_.CurrentRow(), expected_row);
    EXPECT_EQ(controller_.IeProxyAddress(), c.ips[static_cast<std::size_t>(expected_row)] + ":80");
  }
}

// The status line names what the desktop got: an HTTP proxy as the row gives it, a SOCKS proxy as
// the desktop's one SOCKS setting holds it; the same when the saved proxy is applied again.
TEST_F(ProxySwitchTest, TheStatusLineSaysWhichKindOfProxyTheDesktopGot) {
  struct Case {
    const char* ip;
    const char* port;
    const char* status;
  };
  const Case cases[] = {
      {"1.2.3.4", "8080", "IE：http=1.2.3.4:8080"},
      {"[::1]", "3128", "IE：http=[::1]:3128"},
      {"socks5h://127.0.0.1", "11080", "IE：socks=127.0.0.1:11080"},
      {"SOCKS4://proxy.example", "1080", "IE：socks=proxy.example:1080"},
      {"socks5://[::1]", "1080", "IE：socks=[::1]:1080"},
  };
  for (const Case& c : cases) {
    list_.ReplaceAll({Row(c.ip, c.port, "成功", "")});
    Choose(0);
    OnUi([&] { controller_.SetIeProxyFromCurrentRow(); });
    EXPECT_EQ(state_.Text(control::kStatusLine), c.status) << c.ip;
    OnUi([&] { controller_.CancelIeProxy(); });
    OnUi([&] { controller_.ReapplySavedIeProxy(); });
    EXPECT_EQ(state_.Text(control::kStatusLine), c.status) << c.ip << " again";
    EXPECT_TRUE(Stored().enabled);
  }
}

TEST_F(ProxySwitchTest, WhatIsNotHostColonPortIsNeverApplied) {
  list_.AddRow(Row("", "", "成功", ""));
  list_.AddRow(Row("1.2.3.4", "", "成功", ""));
  list_.AddRow(Row("a b", "80", "成功", ""));
  list_.AddRow(Row("1.2.3.4", "70000", "成功", ""));
  state_.SetText(control::kStatusLine, "上次代理IP：7个  IE：http=无代理");
  for (int row : {3, 4, 5, 6}) {
    Choose(row);
    OnUi([&] { controller_.SetIeProxyFromCurrentRow(); });
    EXPECT_EQ(state_.Text(control::kStatusLine), "上次代理IP：7个  IE：http=无代理") << row;
  }
  // No current row at all.
  list_.SetCurrentRow(-1);
  OnUi([&] { controller_.SetIeProxyFromCurrentRow(); });
  OnUi([&] { controller_.SwitchIeProxyToNextRow(); });
  EXPECT_FALSE(Stored().enabled);
  EXPECT_EQ(Stored().host, "");
  EXPECT_FALSE(state_.Visible(TrayItem::kSavedProxy));
  EXPECT_EQ(MakeSettings().ReadSavedProxy(), "");
  EXPECT_EQ(state_.Indicator(control::kTrayIcon), ProxyIndicator::kProxyOff);
}

// A SOCKS row becomes the desktop's SOCKS proxy; an HTTP row serves https too only once a tunnel
// probe after its passed check has said it tunnels, and a row not checked is not probed.
TEST_F(ProxySwitchTest, TheRowsProtocolDecidesWhatTheDesktopSendsThroughIt) {
  list_.AddRow(Row("socks5://7.7.7.7", "1080", "成功", "广州"));
  list_.AddRow(Row("8.8.8.8", "3128", "", ""));
  std::vector<std::string> probed;
  bool tunnels = false;
  controller_.SetTunnelProbe(ui_, [&](const std::string& address, std::function<void(bool)> done) {
    probed.push_back(address);
    done(tunnels);
  });
  const auto https_host = [&] {
    const std::string text = ReadWholeFile(keyfile_.Path()).value_or("");
    const std::size_t group = text.find("[system/proxy/https]\nhost='");
    if (group == std::string::npos) return std::string("?");
    const std::size_t start = group + 27;
    return text.substr(start, text.find('\'', start) - start);
  };
  struct Case {
    int row;
    bool tunnels;
    std::string shown;  // as the tooltip names it
    SystemProxySetting stored;
    std::string https;
    std::vector<std::string> probed;
  };
  const Case cases[] = {
      {3, true, "socks5://7.7.7.7:1080", {true, "7.7.7.7", 1080, true}, "", {}},
      {0, false, "1.2.3.4:8080", {true, "1.2.3.4", 8080, false}, "", {"1.2.3.4:8080"}},
      {2, true, "9.9.9.9:81", {true, "9.9.9.9", 81, false}, "9.9.9.9", {"9.9.9.9:81"}},
      {4, true, "8.8.8.8:3128", {true, "8.8.8.8", 3128, false}, "", {}},
      {2, false, "9.9.9.9:81", {true, "9.9.9.9", 81, false}, "9.9.9.9", {}},  // remembered
  };
  for (const Case& c : cases) {
    probed.clear();
    tunnels = c.tunnels;
    Choose(c.row);
    OnUi([&] { controller_.SetIeProxyFromCurrentRow(); });
    OnUi([] {});  // the probe's answer, posted to the UI thread
    ExpectOn(c.shown, c.row == 3 ? "IE：socks=7.7.7.7:1080" : "");
    EXPECT_EQ(Stored(), c.stored) << c.row;
    EXPECT_EQ(https_host(), c.https) << c.row;
    EXPECT_EQ(probed, c.probed) << c.row;
  }
  OnUi([&] { controller_.CancelIeProxy(); });
  EXPECT_EQ(Stored(), (SystemProxySetting{false, "9.9.9.9", 81, false}));
  // The saved-proxy item takes the SOCKS row's address from its caption.
  Choose(3);
  OnUi([&] { controller_.SetIeProxyFromCurrentRow(); });
  EXPECT_EQ(MakeSettings().ReadSavedProxy(), "socks5://7.7.7.7:1080 | 广州");
  OnUi([&] { controller_.CancelIeProxy(); });
  OnUi([&] { controller_.ReapplySavedIeProxy(); });
  ExpectOn("socks5://7.7.7.7:1080", "IE：socks=7.7.7.7:1080");
  EXPECT_EQ(Stored(), (SystemProxySetting{true, "7.7.7.7", 1080, true}));
}

// The local gateway is left by every way the store goes elsewhere, and its runner hears it once:
// 取消代理 and the exit (store off), a proxy set from the list (store on that proxy), and a
// switch-off by another program (seen from outside, the indicators go off). A look from outside
// while the store still holds the gateway changes nothing.
TEST_F(ProxySwitchTest, EveryWayAwayFromTheGatewayLeavesItOnce) {
  struct Case {
    const char* way;
    std::function<void(ProxySwitchController&)> leave;
    SystemProxySetting stored;
  };
  const Case cases[] = {
      {"取消代理", [](ProxySwitchController& c) { c.CancelIeProxy(); },
       {false, "127.0.0.1", 8118}},
      {"exit", [](ProxySwitchController& c) { c.SwitchOffWithoutIndicators(); },
       {false, "127.0.0.1", 8118}},
      {"a row's proxy", [](ProxySwitchController& c) { c.SetIeProxyFromCurrentRow(); },
       {true, "1.2.3.4", 8080}},
      {"proxy off outside",
       [this](ProxySwitchController& c) {
         store_->Disable();  // as `lumvexip proxy off` would
         c.GatewayReplacedOutside();
       },
       {false, "127.0.0.1", 8118}},
  };
  for (const Case& c : cases) {
    int left = 0;
    controller_.SetGatewayLeft([&left] { ++left; });
    Choose(0);
    OnUi([&] { ASSERT_TRUE(controller_.SwitchOnGateway(8118, 8119)); });
    EXPECT_EQ(state_.Text(control::kStatusLine), "IE：http=127.0.0.1:8118");
    EXPECT_EQ(state_.Text(control::kTrayIcon), "127.0.0.1:8118代理已启用");
    EXPECT_TRUE(controller_.GatewayOn());
    OnUi([&] { controller_.GatewayReplacedOutside(); });
    EXPECT_EQ(left, 0) << c.way;
    OnUi([&] { c.leave(controller_); });
    EXPECT_EQ(left, 1) << c.way;
    EXPECT_FALSE(controller_.GatewayOn()) << c.way;
    EXPECT_EQ(Stored(), c.stored) << c.way;
    // The exit leaves the indicators alone: the widgets may be gone.
    if (!c.stored.enabled && std::string(c.way) != "exit") {
      EXPECT_EQ(state_.Text(control::kStatusLine), "IE：http=无代理") << c.way;
      ExpectOffIndicators();
    }
  }
}

// A proxy the desktop's store could not take is still saved and offered in the tray, unchecked,
// beside the reason on the status line: the item, or a later start, can apply it.
TEST_F(ProxySwitchTest, AWriteTheStoreRefusesShowsOffSaysSoAndKeepsTheProxy) {
  TempDir dir;
  std::ofstream(dir.File("blocked")) << "x";
  GSettingsProxy refusing(GSettingsProxyOptions{"", dir.File("blocked/keyfile")});
  ProxySwitchController controller(state_, list_, refusing, DataDir(data_.path()));
  Choose(0);
  OnUi([&] { controller.SetIeProxyFromCurrentRow(); });
  EXPECT_EQ(state_.Text(control::kStatusLine),
            "IE：无法设置系统代理 1.2.3.4:8080（GSettings写入失败）");
  ExpectOffIndicators();
  EXPECT_TRUE(state_.Visible(TrayItem::kSavedProxy));
  EXPECT_EQ(state_.Text(TrayItem::kSavedProxy), "1.2.3.4:8080 | 北京市");
  EXPECT_EQ(MakeSettings().ReadSavedProxy(), "1.2.3.4:8080 | 北京市");
  EXPECT_FALSE(controller.IsIeProxyEnabled());
}

TEST_F(ProxySwitchTest, WithoutAnyStoreTheStatusLineSaysSoAndTheProxyIsKept) {
  NoSystemProxy none;
  ProxySwitchController controller(state_, list_, none, DataDir(data_.path()));
  Choose(2);
  OnUi([&] { controller.SetIeProxyFromCurrentRow(); });
  EXPECT_EQ(state_.Text(control::kStatusLine),
            "IE：无法设置系统代理 9.9.9.9:81（未找到GNOME或KDE的代理设置）");
  ExpectOffIndicators();
  EXPECT_TRUE(state_.Visible(TrayItem::kSavedProxy));
  EXPECT_EQ(state_.Text(TrayItem::kSavedProxy), "9.9.9.9:81");
  EXPECT_EQ(MakeSettings().ReadSavedProxy(), "9.9.9.9:81");
  // A later start on a desktop with a store switches it on.
  ASSERT_TRUE(MakeSettings().WriteRun(true));
  ProxySwitchController later(state_, list_, *store_, DataDir(data_.path()));
  OnUi([&] { later.RestoreIeAgent(); });
  EXPECT_EQ(Stored(), (SystemProxySetting{true, "9.9.9.9", 81}));
  ExpectOn("9.9.9.9:81");
  Choose(0);
  EXPECT_EQ(controller.ApplyIeProxy("1.2.3.4:8080", true), ProxyApplyResult::kUnavailable);
  EXPECT_EQ(controller.ApplyIeProxy("1.2.3.4:", true), ProxyApplyResult::kInvalid);
  OnUi([&] { controller.CancelIeProxy(); });
  EXPECT_EQ(state_.Text(control::kStatusLine), "IE：http=无代理");
}

class RestoreTest : public ProxySwitchTest {
 protected:
  void Save(const char* run, const std::string& saved) {
    if (run != nullptr) {
      ASSERT_TRUE(MakeSettings().WriteRun(std::string(run) == "yes"));
    }
    if (!saved.empty()) {
      ASSERT_TRUE(MakeSettings().WriteSavedProxy(saved));
    }
  }
};

TEST_F(RestoreTest, RunYesSwitchesTheSavedProxyOn) {
  Save("yes", "1.2.3.4:8080 | 北京市");
  OnUi([&] { controller_.RestoreIeAgent(); });
  EXPECT_EQ(Stored(), (SystemProxySetting{true, "1.2.3.4", 8080}));
  ExpectOn("1.2.3.4:8080");
  EXPECT_EQ(state_.Text(TrayItem::kSavedProxy), "1.2.3.4:8080 | 北京市");
  EXPECT_EQ(controller_.IeProxyAddress(), "1.2.3.4:8080 | 北京市");
}

TEST_F(RestoreTest, RunNoOrMissingOnlyOffersTheSavedProxy) {
  for (const char* run : {"no", static_cast<const char*>(nullptr)}) {
    TempDir data;
    ProxySwitchController controller(state_, list_, *store_, DataDir(data.path()));
    if (run != nullptr) {
      ASSERT_TRUE(Settings(DataDir(data.path())).WriteRun(false));
    }
    ASSERT_TRUE(Settings(DataDir(data.path())).WriteSavedProxy("5.6.7.8:3128"));
    OnUi([&] { controller.RestoreIeAgent(); });
    EXPECT_FALSE(Stored().enabled);
    EXPECT_TRUE(state_.Visible(TrayItem::kSavedProxy));
    EXPECT_FALSE(state_.Checked(TrayItem::kSavedProxy));
    EXPECT_EQ(state_.Text(TrayItem::kSavedProxy), "5.6.7.8:3128");
    EXPECT_EQ(state_.Indicator(control::kTrayIcon), ProxyIndicator::kProxyOff);
    EXPECT_EQ(controller.IeProxyAddress(), "5.6.7.8:3128");
  }
}

TEST_F(RestoreTest, NothingSavedOrNoAddressSwitchesNothingOn) {
  Save("yes", "");
  OnUi([&] { controller_.RestoreIeAgent(); });
  EXPECT_FALSE(state_.Visible(TrayItem::kSavedProxy));
  EXPECT_FALSE(Stored().enabled);

  Save("yes", "not an address | 北京");
  OnUi([&] { controller_.RestoreIeAgent(); });
  EXPECT_TRUE(state_.Visible(TrayItem::kSavedProxy));
  EXPECT_FALSE(Stored().enabled);
  EXPECT_EQ(state_.Indicator(control::kTrayIcon), ProxyIndicator::kProxyOff);
}

// The whole program: start-up restores, a validation run and the exit switch the proxy off.
class ApplicationProxyTest : public ::testing::Test {
 protected:
  std::unique_ptr<Application> Start(std::shared_ptr<SystemProxy> store) {
    ApplicationOptions options;
    options.shell.run_directory = dir_.path();
    options.shell.data_dir = DataDir(dir_.File("data"));
    options.system_proxy = std::move(store);
    auto app = std::make_unique<Application>(ui_, prompts_, std::move(options));
    EXPECT_TRUE(ui_.RunSync([&] { app->Shell().StartupSequence(); }));
    return app;
  }
  void SaveRunYes() {
    const Settings settings{DataDir(dir_.File("data"))};
    ASSERT_TRUE(settings.WriteRun(true));
    ASSERT_TRUE(settings.WriteSavedProxy("1.2.3.4:8080 | 北京市"));
  }

  TempDir dir_;
  KeyfileStore keyfile_;
  HeadlessUiThread ui_;
  ScriptedPrompts prompts_;
};

TEST_F(ApplicationProxyTest, StartRestoresAndTheExitSwitchesOff) {
  SaveRunYes();
  auto app = Start(keyfile_.Open());
  EXPECT_EQ(keyfile_.Open()->Read(), (SystemProxySetting{true, "1.2.3.4", 8080}));
  EXPECT_EQ(app->State().Text(control::kStatusLine), "IE：http=1.2.3.4:8080");
  ASSERT_TRUE(ui_.RunSync([&] { app->Shell().OnTrayItem(TrayItem::kExit); }));
  EXPECT_EQ(keyfile_.Open()->Read(), (SystemProxySetting{false, "1.2.3.4", 8080}));
  EXPECT_EQ(app->State().Text(control::kStatusLine), "IE：http=无代理");
  EXPECT_EQ(app->State().Text(control::kTrayIcon), "未启用代理");

  // The tray items reach the switch: the saved proxy again, then off through the context menu.
  ASSERT_TRUE(ui_.RunSync([&] { app->Shell().OnTrayItem(TrayItem::kSavedProxy); }));
  EXPECT_TRUE(keyfile_.Open()->Read().enabled);
  ASSERT_TRUE(ui_.RunSync([&] { app->Shell().OnContextItem(ContextItem::kCancelProxy); }));
  EXPECT_FALSE(keyfile_.Open()->Read().enabled);
}

// The exit sequence runs again when the window goes. By then an update may have started the new
// version, which switched its own proxy on: the old process must not switch it off under it.
TEST_F(ApplicationProxyTest, TheExitSwitchesOffOnceAndLeavesALaterSettingAlone) {
  SaveRunYes();
  auto app = Start(keyfile_.Open());
  ASSERT_TRUE(ui_.RunSync([&] { app->Shell().ExitSequence(); }));
  ASSERT_FALSE(keyfile_.Open()->Read().enabled);
  ASSERT_TRUE(keyfile_.Open()->Enable("5.6.7.8", 3128,
                                      ProxyKind::kHttpTunnel));  // the new version's restore
  ASSERT_TRUE(ui_.RunSync([&] { app->Shell().OnMainWindowDestroyed(); }));
  EXPECT_EQ(keyfile_.Open()->Read(), (SystemProxySetting{true, "5.6.7.8", 3128}));
}

TEST_F(ApplicationProxyTest, AValidationRunStartingWhileOnSwitchesOffFirst) {
  SaveRunYes();
  auto app = Start(keyfile_.Open());
  ASSERT_TRUE(keyfile_.Open()->Read().enabled);
  ASSERT_TRUE(ui_.RunSync([&] { app->Shell().OnCommand(Command::kValidate); }));
  EXPECT_FALSE(keyfile_.Open()->Read().enabled);
  EXPECT_EQ(app->State().Text(control::kStatusLine).rfind("IE：http=无代理", 0), 0u)
      << app->State().Text(control::kStatusLine);
  app->Shutdown();
}

TEST_F(ApplicationProxyTest, AQuietSwitchOffLeavesTheIndicatorsAlone) {
  SaveRunYes();
  auto app = Start(keyfile_.Open());
  app->ProxySwitch().SwitchOffWithoutIndicators();
  EXPECT_FALSE(keyfile_.Open()->Read().enabled);
  EXPECT_EQ(app->State().Indicator(control::kTrayIcon), ProxyIndicator::kProxyOn);
}

}  // namespace
}  // namespace lumvex
