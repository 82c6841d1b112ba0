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
  void OnStateChanged(const StateChange& change) override {
    if (!ui_.IsUiThread()) off_thread_calls++;
    changes.push_back(change);
  }
  std::vector<StateChange> changes;
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
  std::vector<StateChange> Changes() {
    std::vector<StateChange> copy;
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
    EXPECT_TRUE(state_.IsCommandEnabled(on)) << CommandCaption(on);
  }
  for (Command off :
       {Command::kValidate, Command::kExport, Command::kCleanFailed, Command::kStopValidation}) {
    EXPECT_FALSE(state_.IsCommandEnabled(off)) << CommandCaption(off);
  }
  for (int i = 0; i < kContextItemCount; ++i) {
    EXPECT_TRUE(state_.IsContextItemEnabled(static_cast<ContextItem>(i)));
  }
  for (int i = 0; i < kTrayItemCount; ++i) {
    EXPECT_TRUE(state_.IsTrayItemEnabled(static_cast<TrayItem>(i)));
  }
  EXPECT_EQ(state_.TrayItemCaption(TrayItem::kSavedProxy), "代理IE一");
  EXPECT_EQ(state_.TrayItemCaption(TrayItem::kWebSite), kDefaultWebSiteCaption);
  EXPECT_EQ(state_.TrayItemCaption(TrayItem::kExit), "退出程序");
  EXPECT_FALSE(state_.SavedProxyVisible());
  EXPECT_FALSE(state_.SavedProxySeparatorVisible());
  EXPECT_FALSE(state_.SavedProxyChecked());
  EXPECT_EQ(state_.Status(), "");
  for (int i = 0; i < kCounterCount; ++i) {
    EXPECT_EQ(state_.CounterText(static_cast<Counter>(i)), "0");
  }
  EXPECT_EQ(state_.FieldText(Field::kFetchCount), "");
  EXPECT_EQ(state_.FieldText(Field::kThreadCount), "");
  for (int i = 0; i < kComboCount; ++i) {
    const ComboState combo = state_.GetCombo(static_cast<Combo>(i));
    EXPECT_TRUE(combo.items.empty());
    EXPECT_EQ(combo.chosen, -1);
    EXPECT_TRUE(combo.enabled);
  }
  EXPECT_EQ(state_.GetSourceChoice(), SourceChoice::kNone);
  EXPECT_EQ(state_.LabelText(Label::kCategoryCount), "当前数据库共有IP：");
  EXPECT_EQ(state_.LabelText(Label::kDatabase), "代理IP数据库：");
  EXPECT_EQ(state_.LabelText(Label::kTrayWebAddress), "");
  EXPECT_EQ(state_.LabelText(Label::kAboutWebAddress), "");
  EXPECT_EQ(state_.GetLink(Link::kBlog).caption, "Lumvex博客");
  EXPECT_EQ(state_.GetLink(Link::kSecond).caption, "");
  EXPECT_FALSE(state_.TrayIconPlaced());
  EXPECT_EQ(state_.TrayIconKind(), ProxyIndicator::kProxyOff);
  EXPECT_EQ(state_.TrayTooltip(), "LumvexIP代理验证");
  EXPECT_EQ(state_.ProxyPictureKind(), ProxyIndicator::kProxyOff);
  EXPECT_TRUE(state_.ProxyPictureVisible());
  EXPECT_EQ(state_.WindowIconKind(), ProxyIndicator::kProxyOff);
  EXPECT_EQ(state_.GetWindowMode(), WindowMode::kNormal);
  EXPECT_EQ(state_.TimerInterval(), 0);
  EXPECT_TRUE(Changes().empty());
}

TEST_F(MainWindowStateTest, AnnouncesOnlyRealChangesOnTheUiThread) {
  state_.SetStatus("正在获取代理IP....");
  state_.SetStatus("正在获取代理IP....");  // same text: nothing to announce
  state_.SetCommandsEnabled({Command::kFetch, Command::kValidate, Command::kPaste}, false);
  state_.SetCounterValue(Counter::kSuccess, 12);
  state_.SetTrayIcon(ProxyIndicator::kProxyOn, "1.2.3.4:8080代理已启用");
  state_.SetTrayIcon(ProxyIndicator::kProxyOn, "1.2.3.4:8080代理已启用");
  state_.SetSavedProxyVisible(true);
  state_.SetTimerInterval(1000);

  const std::vector<StateChange> expected = {
      {StateChangeKind::kStatus, -1},
      {StateChangeKind::kCommandEnabled, static_cast<int>(Command::kFetch)},
      {StateChangeKind::kCommandEnabled, static_cast<int>(Command::kPaste)},
      {StateChangeKind::kCounter, static_cast<int>(Counter::kSuccess)},
      {StateChangeKind::kTrayIcon, -1},
      {StateChangeKind::kSavedProxyItem, -1},
      {StateChangeKind::kTimer, -1},
  };
  EXPECT_EQ(Changes(), expected);
  EXPECT_EQ(observer_.off_thread_calls.load(), 0);
  EXPECT_EQ(state_.CounterText(Counter::kSuccess), "12");
  EXPECT_TRUE(state_.SavedProxyVisible());
  EXPECT_TRUE(state_.SavedProxySeparatorVisible());
  EXPECT_EQ(state_.TrayTooltip(), "1.2.3.4:8080代理已启用");
  EXPECT_FALSE(state_.IsCommandEnabled(Command::kPaste));
}

TEST_F(MainWindowStateTest, ComboChoicesStayInRange) {
  state_.SetComboItems(Combo::kSourceACategories, {{"高匿代理（120）", 3}, {"透明代理（80）", 7}});
  EXPECT_EQ(state_.ComboDisplayedText(Combo::kSourceACategories), "");
  state_.SetComboChosen(Combo::kSourceACategories, 1);
  EXPECT_EQ(state_.ComboDisplayedText(Combo::kSourceACategories), "透明代理（80）");
  state_.SetComboChosen(Combo::kSourceACategories, 2);   // past the end: ignored
  state_.SetComboChosen(Combo::kSourceACategories, -5);  // ignored
  EXPECT_EQ(state_.GetCombo(Combo::kSourceACategories).chosen, 1);
  state_.AddComboItem(Combo::kSourceACategories, {"国外代理", 9});
  EXPECT_EQ(state_.GetCombo(Combo::kSourceACategories).items.back().data, 9);
  EXPECT_EQ(state_.GetCombo(Combo::kSourceACategories).chosen, 1);
  state_.ClearCombo(Combo::kSourceACategories);
  EXPECT_EQ(state_.GetCombo(Combo::kSourceACategories).chosen, -1);
  EXPECT_EQ(state_.ComboDisplayedText(Combo::kSourceACategories), "");
  // Other boxes are untouched.
  EXPECT_TRUE(state_.GetCombo(Combo::kSourceBPages).items.empty());
}

TEST_F(MainWindowStateTest, SourceSelectionSwitchesTheComboBoxes) {
  state_.ApplySourceSelection(SourceChoice::kSourceB);
  EXPECT_EQ(state_.GetSourceChoice(), SourceChoice::kSourceB);
  EXPECT_FALSE(state_.GetCombo(Combo::kSourceACategories).enabled);
  EXPECT_TRUE(state_.GetCombo(Combo::kSourceBPages).enabled);
  EXPECT_TRUE(state_.GetCombo(Combo::kSourceBDatabases).enabled);

  state_.ApplySourceSelection(SourceChoice::kSourceA);
  EXPECT_EQ(state_.GetSourceChoice(), SourceChoice::kSourceA);
  EXPECT_TRUE(state_.GetCombo(Combo::kSourceACategories).enabled);
  EXPECT_FALSE(state_.GetCombo(Combo::kSourceBPages).enabled);
  EXPECT_FALSE(state_.GetCombo(Combo::kSourceBDatabases).enabled);
  // The hidden address box follows no radio button.
  EXPECT_TRUE(state_.GetCombo(Combo::kSourceBAddresses).enabled);
}

TEST_F(MainWindowStateTest, WritersOnManyThreadsEachTakeOneStep) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        state_.SetStatus("thread " + std::to_string(t) + " round " + std::to_string(i));
        state_.SetCounterValue(Counter::kList, t * kRounds + i);
        state_.SetCommandEnabled(Command::kValidate, (i % 2) == 0);
        (void)state_.Status();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(observer_.off_thread_calls.load(), 0);
  // Every status write changed the text, so each one was announced exactly once.
  int status_changes = 0;
  for (const StateChange& change : Changes()) {
    if (change.kind == StateChangeKind::kStatus) ++status_changes;
  }
  EXPECT_EQ(status_changes, kThreads * kRounds);
  const std::string last = state_.Status();
  EXPECT_NE(last.find(" round " + std::to_string(kRounds - 1)), std::string::npos) << last;
}

TEST_F(MainWindowStateTest, NothingHappensAfterTheUiThreadIsClosed) {
  ui_.Close();
  state_.SetStatus("late");
  state_.SetCommandEnabled(Command::kFetch, false);
  EXPECT_EQ(state_.Status(), "");  // reads give defaults instead of waiting
}

TEST_F(MainWindowStateTest, ObserverMayRemoveItselfWhileNotified) {
  struct SelfRemover : MainWindowStateObserver {
    MainWindowState* state = nullptr;
    int calls = 0;
    void OnStateChanged(const StateChange&) override {
      ++calls;
      state->RemoveObserver(this);
    }
  } remover;
  remover.state = &state_;
  ui_.RunSync([&] { state_.AddObserver(&remover); });
  state_.SetCommandsEnabled({Command::kFetch, Command::kImport}, false);
  state_.SetStatus("x");
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
  EXPECT_EQ(FieldFormName(Field::kFetchCount), "编辑框2");
  EXPECT_EQ(FieldFormName(Field::kThreadCount), "编辑框1");
  EXPECT_EQ(ComboFormName(Combo::kSourceACategories), "组合框2");
  EXPECT_EQ(LabelFormName(Label::kTrayWebAddress), "透明标签托盘网址");
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
                                                          "-",
                                                          "复制选定IP(&C)",
                                                          "-",
                                                          "修改选定IP(&M)",
                                                          "删除选定IP(&D)",
                                                          "清理失败IP(&Q)",
                                                          "-",
                                                          "设置IE代理(&S)",
                                                          "取消代理(&Z)"};
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
                                                       "-",
                                                       "代理IE一"};
  EXPECT_EQ(tray, expected_tray);
}

TEST(MainWindowControlsTest, MenuItemsThatShareAPictureShareAnIcon) {
  EXPECT_EQ(ContextItemIconName(ContextItem::kSetSystemProxy),
            TrayItemIconName(TrayItem::kSwitchProxy));
  EXPECT_EQ(ContextItemIconName(ContextItem::kCancelProxy),
            TrayItemIconName(TrayItem::kCancelProxy));
  // The thirteen items with an icon use eleven distinct pictures; the import from a web address
  // shares the fetch picture.
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
  EXPECT_EQ(with_icon, 14);
  EXPECT_EQ(names.size(), 11u);
  EXPECT_EQ(TrayItemIconName(TrayItem::kRestore), "");
  EXPECT_NE(ProxyIndicatorIconName(ProxyIndicator::kProxyOn),
            ProxyIndicatorIconName(ProxyIndicator::kProxyOff));
}

}  // namespace
}  // namespace lumvex
