#include "app/main_window_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window_controls.h"
#include "platform/headless_ui_thread.h"

namespace lumvex {
namespace {

class RecordingObserver : public MainWindowStateObserver {
 public:
  explicit RecordingObserver(UiThread& ui) : ui_(ui) {}
  void OnStateChanged(ControlId change) override {
    if (!ui_.IsUiThread()) off_thread_calls++;
    changes.push_back(change);
  }
  std::vector<ControlId> changes;
  std::atomic<int> off_thread_calls{0};

 private:
  UiThread& ui_;
};

class MainWindowStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui_.RunSync([&] { state_.AddObserver(&observer_); });
  }
  void TearDown() override {
    ui_.RunSync([&] { state_.RemoveObserver(&observer_); });
  }
  std::vector<ControlId> Changes() {
    std::vector<ControlId> copy;
    ui_.RunSync([&] { copy = observer_.changes; });
    return copy;
  }

  HeadlessUiThread ui_;
  MainWindowState state_{ui_};
  RecordingObserver observer_{ui_};
};

TEST_F(MainWindowStateTest, StartsAsTheWindowIsLoaded) {
  for (Command on :
       {Command::kFetch, Command::kImport, Command::kDeleteRow, Command::kClearList,
        Command::kSettings, Command::kAddProxy, Command::kPaste, Command::kUpdateCheck}) {
    EXPECT_TRUE(state_.Enabled(on)) << CommandCaption(on);
  }
  for (Command off :
       {Command::kValidate, Command::kExport, Command::kCleanFailed, Command::kStopValidation}) {
    EXPECT_FALSE(state_.Enabled(off)) << CommandCaption(off);
  }
  for (int i = 0; i < kContextItemCount; ++i) {
    EXPECT_TRUE(state_.Enabled(static_cast<ContextItem>(i)));
  }
  for (int i = 0; i < kTrayItemCount; ++i) {
    EXPECT_TRUE(state_.Enabled(static_cast<TrayItem>(i)));
  }
  EXPECT_EQ(state_.Text(TrayItem::kSavedProxy), "代理IE一");
  EXPECT_EQ(state_.Text(TrayItem::kWebSite), kDefaultWebSiteCaption);
  EXPECT_EQ(state_.Text(TrayItem::kExit), "退出程序");
  EXPECT_FALSE(state_.Visible(TrayItem::kSavedProxy));  // and the separator above it
  EXPECT_FALSE(state_.Checked(TrayItem::kSavedProxy));
  EXPECT_EQ(state_.Text(control::kStatusLine), "");
  for (int i = 0; i < kCounterCount; ++i) {
    EXPECT_EQ(state_.Text(static_cast<Counter>(i)), "0");
  }
  for (int i = 0; i < kComboCount; ++i) {
    const ControlState combo = state_.Get(static_cast<Combo>(i));
    EXPECT_TRUE(combo.items.empty());
    EXPECT_EQ(combo.chosen, -1);
    EXPECT_TRUE(combo.enabled);
  }
  EXPECT_EQ(state_.ChosenSource(), SourceChoice::kNone);
  EXPECT_EQ(state_.Text(Label::kCategoryCount), "当前数据库共有IP：");
  EXPECT_EQ(state_.Text(Label::kDatabase), "代理IP数据库：");
  EXPECT_EQ(state_.Get(Link::kBlog).text, "Lumvex博客");
  EXPECT_EQ(state_.Get(Link::kSecond).text, "");
  EXPECT_FALSE(state_.Visible(control::kTrayIcon));
  EXPECT_EQ(state_.Indicator(control::kTrayIcon), ProxyIndicator::kProxyOff);
  EXPECT_EQ(state_.Text(control::kTrayIcon), "LumvexIP代理验证");
  EXPECT_EQ(state_.Indicator(control::kProxyPicture), ProxyIndicator::kProxyOff);
  EXPECT_TRUE(state_.Visible(control::kProxyPicture));
  EXPECT_EQ(state_.Indicator(control::kWindowIcon), ProxyIndicator::kProxyOff);
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kNormal);
  EXPECT_EQ(state_.Value(control::kTimer), 0);
  EXPECT_TRUE(Changes().empty());
}

TEST_F(MainWindowStateTest, AnnouncesOnlyRealChangesOnTheUiThread) {
  state_.SetText(control::kStatusLine, "正在获取代理IP....");
  state_.SetText(control::kStatusLine, "正在获取代理IP....");  // same text: nothing to announce
  state_.SetEnabled({Command::kFetch, Command::kValidate, Command::kPaste}, false);
  state_.SetCount(Counter::kSuccess, 12);
  state_.Apply({ControlChange::Indicator(control::kTrayIcon, ProxyIndicator::kProxyOn),
                ControlChange::Text(control::kTrayIcon, "1.2.3.4:8080代理已启用")});
  state_.Apply({ControlChange::Indicator(control::kTrayIcon, ProxyIndicator::kProxyOn),
                ControlChange::Text(control::kTrayIcon, "1.2.3.4:8080代理已启用")});
  state_.SetVisible(TrayItem::kSavedProxy, true);
  state_.SetValue(control::kTimer, 1000);

  const std::vector<ControlId> expected = {
      control::kStatusLine, Command::kFetch,       Command::kPaste, Counter::kSuccess,
      control::kTrayIcon,   TrayItem::kSavedProxy, control::kTimer,
  };
  EXPECT_EQ(Changes(), expected);
  EXPECT_EQ(observer_.off_thread_calls.load(), 0);
  EXPECT_EQ(state_.Text(Counter::kSuccess), "12");
  EXPECT_TRUE(state_.Visible(TrayItem::kSavedProxy));  // and the separator above it
  EXPECT_EQ(state_.Text(control::kTrayIcon), "1.2.3.4:8080代理已启用");
  EXPECT_FALSE(state_.Enabled(Command::kPaste));
}

TEST_F(MainWindowStateTest, ComboChoicesStayInRange) {
  state_.SetItems(Combo::kSourceACategories, {{"高匿代理（120）", 3}, {"透明代理（80）", 7}});
  EXPECT_EQ(state_.Text(Combo::kSourceACategories), "");
  state_.SetChosen(Combo::kSourceACategories, 1);
  EXPECT_EQ(state_.Text(Combo::kSourceACategories), "透明代理（80）");
  state_.SetChosen(Combo::kSourceACategories, 2);   // past the end: ignored
  state_.SetChosen(Combo::kSourceACategories, -5);  // ignored
  EXPECT_EQ(state_.Get(Combo::kSourceACategories).chosen, 1);
  state_.AddItem(Combo::kSourceACategories, {"国外代理", 9});
  EXPECT_EQ(state_.Get(Combo::kSourceACategories).items.back().data, 9);
  EXPECT_EQ(state_.Get(Combo::kSourceACategories).chosen, 1);
  state_.SetItems(Combo::kSourceACategories, {});
  EXPECT_EQ(state_.Get(Combo::kSourceACategories).chosen, -1);
  EXPECT_EQ(state_.Text(Combo::kSourceACategories), "");
  // Other boxes are untouched.
  EXPECT_TRUE(state_.Get(Combo::kSourceBPages).items.empty());
}

TEST_F(MainWindowStateTest, WritersOnManyThreadsEachTakeOneStep) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        state_.SetText(control::kStatusLine,
                       "thread " + std::to_string(t) + " round " + std::to_string(i));
        state_.SetCount(Counter::kList, t * kRounds + i);
        state_.SetEnabled(Command::kValidate, (i % 2) == 0);
        (void)state_.Text(control::kStatusLine);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(observer_.off_thread_calls.load(), 0);
  // Every status write changed the text, so each one was announced exactly once.
  int status_changes = 0;
  for (ControlId change : Changes()) {
    if (change == control::kStatusLine) ++status_changes;
  }
  EXPECT_EQ(status_changes, kThreads * kRounds);
  const std::string last = state_.Text(control::kStatusLine);
  EXPECT_NE(last.find(" round " + std::to_string(kRounds - 1)), std::string::npos) << last;
}

TEST_F(MainWindowStateTest, NothingHappensAfterTheUiThreadIsClosed) {
  ui_.Close();
  state_.SetText(control::kStatusLine, "late");
  state_.SetEnabled(Command::kFetch, false);
  EXPECT_EQ(state_.Text(control::kStatusLine), "");  // reads give defaults instead of waiting
}

TEST_F(MainWindowStateTest, ObserverMayRemoveItselfWhileNotified) {
  struct SelfRemover : MainWindowStateObserver {
    MainWindowState* state = nullptr;
    int calls = 0;
    void OnStateChanged(ControlId) override {
      ++calls;
      state->RemoveObserver(this);
    }
  } remover;
  remover.state = &state_;
  ui_.RunSync([&] { state_.AddObserver(&remover); });
  state_.SetEnabled({Command::kFetch, Command::kImport}, false);
  state_.SetText(control::kStatusLine, "x");
  EXPECT_EQ(remover.calls, 1);  // removed during the first change: nothing after
  EXPECT_EQ(Changes().size(), 3u);
}

TEST(MainWindowControlsTest, NamesAreCompleteAndDistinct) {
  std::set<std::string_view> captions, forms;
  for (int i = 0; i < kCommandCount; ++i) {
    captions.insert(CommandCaption(static_cast<Command>(i)));
    forms.insert(CommandFormName(static_cast<Command>(i)));
  }
  EXPECT_EQ(captions.size(), static_cast<std::size_t>(kCommandCount));
  EXPECT_EQ(forms.size(), static_cast<std::size_t>(kCommandCount));
  EXPECT_EQ(CommandFormName(Command::kPaste), "按钮10");
  EXPECT_EQ(CommandCaption(Command::kPaste), "粘贴代理IP");
  EXPECT_EQ(CommandFormName(Command::kStopValidation), "按钮11");
  EXPECT_EQ(CommandCaption(Command::kSettings), "【设置】");
  EXPECT_EQ(CounterFormName(Counter::kList), "标签1");
  EXPECT_EQ(ComboFormName(Combo::kSourceACategories), "组合框2");
  EXPECT_EQ(ComboFormName(Combo::kSourceBDatabases), "组合框4");
  EXPECT_EQ(LabelFormName(Label::kDatabase), "透明标签1");
}

TEST(MainWindowControlsTest, MenusListEveryItemOnceInOrder) {
  std::vector<std::string_view> context;
  for (const auto& entry : ContextMenuLayout()) {
    context.push_back(entry.separator ? "-" : ContextItemCaption(entry.item));
  }
  const std::vector<std::string_view> expected_context = {"获取代理IP(&H)",
                                                          "获取任意国家IP(&R)",
                                                          "从网址导入代理IP(&U)",
                                                          "-",
                                                          "验证选定代理IP(&V)",
                                                          "后台复查(&B)",
                                                          "-",
                                                          "复制选定IP(&C)",
                                                          "-",
                                                          "修改选定IP(&M)",
                                                          "删除选定IP(&D)",
                                                          "清理失败IP(&Q)",
                                                          "-",
                                                          "设置IE代理(&S)",
                                                          "取消代理(&Z)",
                                                          "使用本地网关(&G)"};
  EXPECT_EQ(context, expected_context);

  std::vector<std::string_view> tray;
  for (const auto& entry : TrayMenuLayout()) {
    tray.push_back(entry.separator ? "-" : TrayItemDefaultCaption(entry.item));
  }
  const std::vector<std::string_view> expected_tray = {"关于『LumvexIP代理验证』",
                                                       kDefaultWebSiteCaption,
                                                       "-",
                                                       "退出程序",
                                                       "-",
                                                       "弹出窗口",
                                                       "最小化",
                                                       "-",
                                                       "切换IE代理",
                                                       "取消IE代理",
                                                       "自动切换代理",
                                                       "使用本地网关",
                                                       "-",
                                                       "代理IE一"};
  EXPECT_EQ(tray, expected_tray);
}

TEST(MainWindowControlsTest, MenuItemsThatShareAPictureShareAnIcon) {
  EXPECT_EQ(ContextItemIconName(ContextItem::kSetSystemProxy),
            TrayItemIconName(TrayItem::kSwitchProxy));
  EXPECT_EQ(ContextItemIconName(ContextItem::kCancelProxy),
            TrayItemIconName(TrayItem::kCancelProxy));
  // The sixteen items with an icon use eleven distinct pictures; the import from a web address
  // shares the fetch picture, the background re-checks the check picture, the list's local
  // gateway item the set-proxy picture.
  std::set<std::string_view> names;
  int with_icon = 0;
  for (int i = 0; i < kContextItemCount; ++i) {
    const auto name = ContextItemIconName(static_cast<ContextItem>(i));
    if (!name.empty()) ++with_icon, names.insert(name);
  }
  for (int i = 0; i < kTrayItemCount; ++i) {
    const auto name = TrayItemIconName(static_cast<TrayItem>(i));
    if (!name.empty()) ++with_icon, names.insert(name);
  }
  EXPECT_EQ(with_icon, 16);
  EXPECT_EQ(names.size(), 11u);
  EXPECT_EQ(TrayItemIconName(TrayItem::kRestore), "");
  EXPECT_NE(ProxyIndicatorIconName(ProxyIndicator::kProxyOn),
            ProxyIndicatorIconName(ProxyIndicator::kProxyOff));
}

}  // namespace
}  // namespace lumvex
