// The "proxy on" marker: set while the program has the proxy on, removed by the exit sequence,
// left behind by a run that ends without it, and acted on by the next start.
#include "sysproxy/proxy_on_marker.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/application.h"
#include "app/unclean_exit.h"
#include "guard_rig.h"
#include "platform/file_io.h"
#include "platform/headless_ui_thread.h"
#include "settings/settings.h"
#include "support/scripted_prompts.h"
#include "temp_dir.h"

namespace lumvex {
namespace {

using lumvex::testing::KeyfileStore;
using lumvex::testing::LiveProxy;
using lumvex::testing::ScriptedPrompts;
using lumvex::testing::TempDir;
using lumvex::testing::WaitUntil;
using namespace std::chrono_literals;

// A store that refuses every write (a session without a bus).
class RefusingStore : public SystemProxy {
 public:
  explicit RefusingStore(bool enabled) : enabled_(enabled) {}
  bool Available() const override { return true; }
  using SystemProxy::Enable;
  bool Enable(const std::string&, int, ProxyKind, const text::ProxyLogin&) override {
    return false;
  }
  bool DisableRestoring(const AutomaticModes&) override { return false; }
  AutomaticModes ModesToRestore(const AutomaticModes&) const override { return {}; }
  SystemProxySetting Read() const override { return {enabled_, "6.6.6.6", 66}; }
  std::string Name() const override { return "Refusing"; }

 private:
  bool enabled_;
};

TEST(MarkedSystemProxyTest, TheMarkerFollowsTheStore) {
  TempDir dir;
  KeyfileStore keyfile;
  const std::string data = dir.File("data");  // not there yet: created with the marker
  MarkedSystemProxy store(keyfile.Open(), ProxyOnMarker(DataDir(data)));
  EXPECT_FALSE(store.Marker().Exists());
  ASSERT_TRUE(store.Enable("1.2.3.4", 8080, ProxyKind::kHttp));
  EXPECT_TRUE(store.Marker().Exists());
  EXPECT_EQ(store.Marker().Path(), data + "/proxy on");
  ASSERT_TRUE(store.Enable("5.6.7.8", 3128, ProxyKind::kHttp));  // switching on again keeps it
  EXPECT_TRUE(store.Marker().Exists());
  ASSERT_TRUE(store.Disable());
  EXPECT_FALSE(store.Marker().Exists());
  EXPECT_EQ(keyfile.Open()->Read(), (SystemProxySetting{false, "5.6.7.8", 3128}));
}

TEST(MarkedSystemProxyTest, AStoreStillOnKeepsTheMarker) {
  TempDir dir;
  MarkedSystemProxy on(std::make_shared<RefusingStore>(true), ProxyOnMarker(DataDir(dir.path())));
  EXPECT_FALSE(on.Enable("1.2.3.4", 8080, ProxyKind::kHttp));
  EXPECT_TRUE(on.Marker().Exists());  // the write may have half happened
  EXPECT_FALSE(on.Disable());
  EXPECT_TRUE(on.Marker().Exists());  // still on: the next start must try again
  MarkedSystemProxy off(std::make_shared<RefusingStore>(false), ProxyOnMarker(DataDir(dir.path())));
  EXPECT_FALSE(off.Disable());  // refused, but the store reads off: nothing left to undo
  EXPECT_FALSE(off.Marker().Exists());
}

// The program as the window runs it, on a store of the test's own.
class MarkerLifecycleTest : public ::testing::Test {
 protected:
  std::unique_ptr<Application> NewApplication() {
    ApplicationOptions options;
    options.shell.run_directory = dir_.path();
    options.shell.data_dir = DataDir(data_);
    options.shell.tray_available = false;
    // Nothing listens there: the start-up's page loads and manifest read fail at once.
    for (auto& entry : options.endpoints.source_hosts) entry.second = "127.0.0.1:1";
    options.endpoints.manifest_url = "http://127.0.0.1:1/manifest";
    options.endpoints.connectivity_host = "connect.test";
    options.check_timeout_seconds = 2;
    options.guard_interval = 5ms;
    options.system_proxy = testing::MarkedKeyfileStore(keyfile_, data_);
    return std::make_unique<Application>(ui_, prompts_, options);
  }
  template <typename Fn>
  void OnUi(Fn fn) {
    ASSERT_TRUE(ui_.RunSync(fn));
  }
  bool MarkerExists() const { return ProxyOnMarker(DataDir(data_)).Exists(); }
  SystemProxySetting Stored() const { return keyfile_.Open()->Read(); }
  void SaveList(const std::vector<ProxyEntry>& rows) {
    auto app = NewApplication();
    OnUi([&] {
      app->List().AddRows(rows);
      app->Shell().ExitSequence();
    });
  }

  TempDir dir_;
  std::string data_ = dir_.File("data");
  KeyfileStore keyfile_;
  HeadlessUiThread ui_;
  ScriptedPrompts prompts_;
};

TEST_F(MarkerLifecycleTest, SetWhileOnRemovedByTheExitSequenceAndTheGuardStopsThere) {
  LiveProxy proxy(0);
  SaveList({proxy.Row("成功")});
  auto app = NewApplication();
  OnUi([&] { app->Shell().StartupSequence(); });
  EXPECT_FALSE(MarkerExists());
  OnUi([&] {
    app->List().SetCurrentRow(0);
    app->Shell().OnContextItem(ContextItem::kSetSystemProxy);
    app->Shell().OnTrayItem(TrayItem::kGuard);
  });
  EXPECT_TRUE(MarkerExists());
  EXPECT_TRUE(Stored().enabled);
  ASSERT_TRUE(WaitUntil([&] { return app->Guard().Guard().ChecksCounted() >= 1; }));
  OnUi([&] { app->Shell().OnTrayItem(TrayItem::kExit); });
  OnUi([&] { EXPECT_FALSE(app->Guard().Guard().Running()); });
  EXPECT_FALSE(MarkerExists());
  EXPECT_FALSE(Stored().enabled);
}

TEST_F(MarkerLifecycleTest, ARunEndedWithoutItsExitSequenceIsSwitchedOffAtTheNextStart) {
  {
    auto app = NewApplication();
    OnUi([&] {
      app->List().AddRow(
          WithVerdict(ProxyEntry{{"1.2.3.4", "8080", "成功", "0.5", "北京市", "1天"}}));
      app->List().SetCurrentRow(0);
      app->Shell().OnContextItem(ContextItem::kSetSystemProxy);
    });
    // No exit sequence: as after kill -9, the marker and the proxy stay.
    ui_.RunSync([&] { app->Guard().Shutdown(); });
  }
  ASSERT_TRUE(MarkerExists());
  ASSERT_TRUE(Stored().enabled);
  auto next = NewApplication();
  OnUi([&] { next->Shell().StartupSequence(); });
  EXPECT_FALSE(Stored().enabled);
  EXPECT_FALSE(MarkerExists());
  OnUi([&] {
    EXPECT_EQ(next->State().Text(control::kStatusLine), "上次未正常退出，已取消代理");
    // The saved proxy is still offered, unticked.
    EXPECT_TRUE(next->State().Visible(TrayItem::kSavedProxy));
    EXPECT_FALSE(next->State().Checked(TrayItem::kSavedProxy));
  });
}

TEST_F(MarkerLifecycleTest, AnAutomaticSetupTheCrashedRunReplacedComesBackAtTheNextStart) {
  ASSERT_TRUE(WriteWholeFile(keyfile_.Path(), "[system/proxy]\nmode='auto'\n"));
  {
    auto app = NewApplication();
    OnUi([&] {
      app->List().AddRow(
          WithVerdict(ProxyEntry{{"1.2.3.4", "8080", "成功", "0.5", "北京市", "1天"}}));
      app->List().SetCurrentRow(0);
      app->Shell().OnContextItem(ContextItem::kSetSystemProxy);
    });
    ui_.RunSync([&] { app->Guard().Shutdown(); });  // killed: no exit sequence
  }
  ASSERT_TRUE(Stored().enabled);
  auto next = NewApplication();
  OnUi([&] { next->Shell().StartupSequence(); });
  EXPECT_NE(ReadWholeFile(keyfile_.Path()).value_or("").find("mode='auto'"), std::string::npos);
  EXPECT_FALSE(MarkerExists());
  EXPECT_FALSE(FileExists(data_ + "/proxy mode"));
  // Later switch-offs (取消代理, the exit) leave the automatic setup alone.
  OnUi([&] { next->Shell().ExitSequence(); });
  EXPECT_NE(ReadWholeFile(keyfile_.Path()).value_or("").find("mode='auto'"), std::string::npos);
}

TEST_F(MarkerLifecycleTest, RunYesRestoresTheSavedProxyInsteadOfSwitchingOff) {
  Settings settings{DataDir(data_)};
  ASSERT_TRUE(settings.WriteRun(true));
  ASSERT_TRUE(settings.WriteSavedProxy("5.6.7.8:3128 | 上海"));
  ASSERT_TRUE(ProxyOnMarker(DataDir(data_)).Set());
  ASSERT_TRUE(
      keyfile_.Open()->Enable("9.9.9.9", 99, ProxyKind::kHttp));  // what the crashed run had on
  auto app = NewApplication();
  OnUi([&] { app->Shell().StartupSequence(); });
  EXPECT_EQ(Stored(), (SystemProxySetting{true, "5.6.7.8", 3128}));
  EXPECT_TRUE(MarkerExists());  // on again, so marked again
  OnUi([&] { EXPECT_EQ(app->State().Text(control::kStatusLine), "IE：http=5.6.7.8:3128"); });
}

TEST_F(MarkerLifecycleTest, RunYesWithoutAUsableSavedProxyStillSwitchesOff) {
  Settings settings{DataDir(data_)};
  ASSERT_TRUE(settings.WriteRun(true));
  ASSERT_TRUE(ProxyOnMarker(DataDir(data_)).Set());
  ASSERT_TRUE(keyfile_.Open()->Enable("9.9.9.9", 99, ProxyKind::kHttp));
  auto app = NewApplication();
  OnUi([&] { app->Shell().StartupSequence(); });
  EXPECT_FALSE(Stored().enabled);
  EXPECT_FALSE(MarkerExists());
  OnUi([&] { EXPECT_EQ(app->State().Text(control::kStatusLine), "上次未正常退出，已取消代理"); });
}

TEST_F(MarkerLifecycleTest, AStartWithoutTheMarkerLeavesTheStoreAlone) {
  ASSERT_TRUE(keyfile_.Open()->Enable("9.9.9.9", 99, ProxyKind::kHttp));  // the user's own proxy
  auto app = NewApplication();
  OnUi([&] { app->Shell().StartupSequence(); });
  EXPECT_EQ(Stored(), (SystemProxySetting{true, "9.9.9.9", 99}));
  OnUi([&] { EXPECT_NE(app->State().Text(control::kStatusLine), "上次未正常退出，已取消代理"); });
}

TEST_F(MarkerLifecycleTest, AStoreThatWillNotSwitchOffKeepsTheMarkerAndSaysSo) {
  ASSERT_TRUE(ProxyOnMarker(DataDir(data_)).Set());
  HeadlessUiThread ui;
  MainWindowState state(ui);
  ProxyList list(ui);
  MarkedSystemProxy store(std::make_shared<RefusingStore>(true), ProxyOnMarker(DataDir(data_)));
  ProxySwitchController proxy_switch(state, list, store, DataDir(data_));
  bool switched = true;
  ASSERT_TRUE(ui.RunSync([&] {
    switched = SwitchOffAfterUncleanExit(ProxyOnMarker(DataDir(data_)), proxy_switch, state,
                                         DataDir(data_));
  }));
  EXPECT_FALSE(switched);
  EXPECT_TRUE(MarkerExists());
  EXPECT_NE(state.Text(control::kStatusLine), "上次未正常退出，已取消代理");
}

TEST_F(MarkerLifecycleTest, AValidationRunStopsTheGuardAndSwitchesOff) {
  LiveProxy proxy(0);
  auto app = NewApplication();
  OnUi([&] {
    app->List().AddRow(proxy.Row("成功"));
    app->State().SetCount(Counter::kList, 1);
    app->State().SetEnabled(Command::kValidate, true);
    app->List().SetCurrentRow(0);
    app->Shell().OnContextItem(ContextItem::kSetSystemProxy);
    app->Shell().OnTrayItem(TrayItem::kGuard);
  });
  ASSERT_TRUE(WaitUntil([&] { return app->Guard().Guard().ChecksCounted() >= 1; }));
  OnUi([&] { app->Shell().OnCommand(Command::kValidate); });
  OnUi([&] { EXPECT_FALSE(app->Guard().Guard().Running()); });
  EXPECT_FALSE(Stored().enabled);
  EXPECT_FALSE(MarkerExists());
  OnUi([&] { app->Shell().OnCommand(Command::kStopValidation); });
}

}  // namespace
}  // namespace lumvex
