// The main window's binding: widgets named and captioned as the form has them, state mirrored
// into widgets, clicks and menu items reaching the controller, the tray and the close button.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <thread>

#include "platform/file_io.h"
#include "ui/icon_set.h"
#include "ui/popup_menus.h"
#include "ui/proxy_table_model.h"
#include "ui/tray_icon_host.h"
#include "ui_test_fixture.h"

using namespace lumvex;
using lumvex::test::Q;
using lumvex::test::Row;
using lumvex::test::UiRig;

namespace {

template <typename W>
W* Find(QWidget* window, const char* form_name) {
  return window->findChild<W*>(QString::fromUtf8(form_name));
}

// Captions of a menu in order, separators as "-", hidden entries marked with a leading "~".
QStringList MenuLayout(QMenu* menu) {
  QStringList out;
  for (QAction* action : menu->actions()) {
    const QString text = action->isSeparator() ? QStringLiteral("-") : action->text();
    out << (action->isVisible() ? text : QStringLiteral("~") + text);
  }
  return out;
}

// A click on the radio button's circle: the button spans its group's width, and a click right
// of its caption is no click on it.
void ClickIndicator(QRadioButton* radio) {
  QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(8, radio->height() / 2));
}

QStringList Utf8List(std::initializer_list<const char*> items) {
  QStringList out;
  for (const char* item : items) out << QString::fromUtf8(item);
  return out;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InitIconResources(); }

  void WidgetsCarryFormNamesAndCaptions() {
    UiRig rig(false);
    QWidget* w = rig.window.get();
    QCOMPARE(w->windowTitle(), QString::fromUtf8("LumvexIP代理验证 V1.3"));
    QCOMPARE(w->size(), QSize(725, 506));
    for (int i = 0; i < kCommandCount; ++i) {
      const Command c = static_cast<Command>(i);
      auto* button = w->findChild<QPushButton*>(Q(CommandFormName(c)));
      QVERIFY2(button, CommandFormName(c).data());
      QCOMPARE(button->text(), Q(CommandCaption(c)));
    }
    QCOMPARE(Find<QPushButton>(w, "按钮8")->text(), QString::fromUtf8("【设置】"));
    QCOMPARE(Find<QPushButton>(w, "按钮11")->text(), QString::fromUtf8("停止验证"));
    QCOMPARE(Find<QLabel>(w, "标签4")->text(), QString::fromUtf8("代理列表："));
    QVERIFY(Find<QLineEdit>(w, "编辑框3")->isReadOnly());
    QVERIFY(Find<QTableView>(w, "超级列表框1"));
    QVERIFY(Find<QGroupBox>(w, "分组框1"));
    QCOMPARE(Find<QGroupBox>(w, "分组框3")->title(),
             QString::fromUtf8("每天自动更新代理IP数据库列表"));
    QVERIFY(Find<QGroupBox>(w, "分组框2"));
    QCOMPARE(Find<QLabel>(w, "透明标签7")->text(), QString::fromUtf8("当前数据库共有IP："));
    QCOMPARE(Find<QLabel>(w, "透明标签1")->text(), QString::fromUtf8("代理IP数据库："));
    for (const char* radio : {"单选框1", "单选框2"}) {
      QCOMPARE(Find<QRadioButton>(w, radio)->text(), QString::fromUtf8("获取此数据库代理IP"));
    }
    for (const char* combo : {"组合框2", "组合框3", "组合框4"}) {
      QVERIFY2(Find<QComboBox>(w, combo), combo);
    }
    for (const char* link : {"超级链接框1", "超级链接框2", "超级链接框3"}) {
      QVERIFY2(Find<QLabel>(w, link), link);
    }
    QVERIFY(Find<QLabel>(w, "图片框1"));
    QVERIFY(!Find<QLabel>(w, "图片框1")->pixmap().isNull());
    auto* timer = w->findChild<QTimer*>(QString::fromUtf8("时钟1"));
    QVERIFY(timer);
    QVERIFY(!timer->isActive());

    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    // What no control shows lives in the session, not in hidden widgets.
    for (const char* gone : {"组合框1", "编辑框1", "编辑框2", "分组框4", "透明标签托盘网址",
                             "透明标签2"}) {
      QVERIFY2(!w->findChild<QWidget*>(QString::fromUtf8(gone)), gone);
    }
    for (const char* shown : {"组合框2", "组合框3", "组合框4", "按钮1", "超级列表框1"}) {
      QVERIFY2(w->findChild<QWidget*>(QString::fromUtf8(shown))->isVisible(), shown);
    }
    // The list takes the space the window gains.
    QTableView* list = Find<QTableView>(w, "超级列表框1");
    const QSize before = list->size();
    w->resize(925, 706);
    QTRY_VERIFY(list->width() >= before.width() + 150 && list->height() >= before.height() + 150);
  }

  void StatusBarShowsTheThreeCounters() {
    UiRig rig(false);
    QStatusBar* bar = rig.window->statusBar();
    QStringList texts;
    for (QLabel* label : bar->findChildren<QLabel*>()) texts << label->text();
    for (const char* caption : {"获取IP个数：", "测试ip成功个数：", "测试ip失败个数："}) {
      QVERIFY2(texts.contains(QString::fromUtf8(caption)), caption);
    }
    rig.state.SetCount(Counter::kList, 12345);
    rig.state.SetText(Counter::kFailure, "7");
    QCOMPARE(bar->findChild<QLabel*>(QString::fromUtf8("标签1"))->text(), QStringLiteral("12345"));
    QCOMPARE(bar->findChild<QLabel*>(QString::fromUtf8("标签3"))->text(), QStringLiteral("7"));
  }

  // The widths are the window-layout test's.
  void ListHeadersAndAlignment() {
    UiRig rig(false);
    QTableView* view = Find<QTableView>(rig.window.get(), "超级列表框1");
    const QStringList headers = Utf8List(
        {"IP地址", "IP端口", "类型", "速度(秒)", "地理位置", "存活时间", "实测(秒)", "匿名度",
         "成功率", "最近成功"});
    QCOMPARE(view->model()->columnCount(), 10);
    for (int c = 0; c < 10; ++c) {
      QCOMPARE(view->model()->headerData(c, Qt::Horizontal).toString(), headers[c]);
    }
    rig.list.AddRow(Row("1.2.3.4", "8080"));
    rig.window->table_model()->FlushPendingRows();
    const auto align = [&](int column) {
      return view->model()->index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
             Qt::AlignHorizontal_Mask;
    };
    QCOMPARE(align(3), Qt::AlignHCenter);
    QCOMPARE(align(6), Qt::AlignHCenter);
    QCOMPARE(align(7), Qt::AlignHCenter);
    for (int c : {0, 1, 2, 4, 5}) QCOMPARE(align(c), Qt::AlignLeft);
    QVERIFY(view->selectionMode() == QAbstractItemView::ExtendedSelection);
    QVERIFY(view->selectionBehavior() == QAbstractItemView::SelectRows);
  }

  void ButtonsMirrorStateAndClicksReachTheController() {
    UiRig rig(false);
    QWidget* w = rig.window.get();
    w->show();
    auto* del = Find<QPushButton>(w, "按钮6");
    auto* clear = Find<QPushButton>(w, "按钮7");
    int deletes = 0;
    int clears = 0;
    rig.shell->SetCommandHandler(Command::kDeleteRow, [&] { ++deletes; });
    rig.shell->SetCommandHandler(Command::kClearList, [&] { ++clears; });

    rig.state.SetEnabled({Command::kDeleteRow, Command::kClearList}, false);
    QVERIFY(!del->isEnabled());
    QVERIFY(!clear->isEnabled());
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(deletes, 0);

    rig.state.SetEnabled(Command::kDeleteRow, true);
    QVERIFY(del->isEnabled());
    QVERIFY(!clear->isEnabled());
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(deletes, 1);
    rig.state.SetEnabled(Command::kClearList, true);
    QTest::mouseClick(clear, Qt::LeftButton);
    QCOMPARE(clears, 1);
    QCOMPARE(deletes, 1);

    // A change made on another thread reaches the widget through the UI thread.
    std::thread worker([&] { rig.state.SetEnabled(Command::kDeleteRow, false); });
    QTRY_VERIFY(!del->isEnabled());
    worker.join();
  }

  void StatusLineLabelsAndTimerMirrorState() {
    UiRig rig(false);
    QWidget* w = rig.window.get();
    rig.state.SetText(control::kStatusLine, "共有代理IP：3个");
    QCOMPARE(Find<QLineEdit>(w, "编辑框3")->text(), QString::fromUtf8("共有代理IP：3个"));
    rig.state.SetText(Label::kDatabase, "代理IP数据库：2");
    QCOMPARE(Find<QLabel>(w, "透明标签1")->text(), QString::fromUtf8("代理IP数据库：2"));
    auto* timer = w->findChild<QTimer*>(QString::fromUtf8("时钟1"));
    int ticks = 0;
    rig.window->SetTimerHandler([&] { ++ticks; });
    rig.state.SetValue(control::kTimer, 20);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 20);
    QTRY_VERIFY(ticks >= 2);
    rig.state.SetValue(control::kTimer, 0);
    QVERIFY(!timer->isActive());
  }

  void RadioButtonsChooseTheSourceAndCombosFollow() {
    UiRig rig(false);
    QWidget* w = rig.window.get();
    w->show();
    rig.state.SetEnabled(Radio::kSourceA, true);
    rig.state.SetEnabled(Radio::kSourceB, true);
    rig.state.SetItems(Combo::kSourceACategories, {{"国内高匿", 1}, {"国外普通", 2}});
    auto* combo2 = Find<QComboBox>(w, "组合框2");
    QCOMPARE(combo2->count(), 2);
    QCOMPARE(combo2->itemText(1), QString::fromUtf8("国外普通"));

    ClickIndicator(Find<QRadioButton>(w, "单选框2"));
    QCOMPARE(rig.state.ChosenSource(), SourceChoice::kSourceB);
    QVERIFY(Find<QRadioButton>(w, "单选框2")->isChecked());
    QVERIFY(!Find<QRadioButton>(w, "单选框1")->isChecked());
    QVERIFY(!combo2->isEnabled());
    QVERIFY(Find<QComboBox>(w, "组合框3")->isEnabled());
    QVERIFY(Find<QComboBox>(w, "组合框4")->isEnabled());

    ClickIndicator(Find<QRadioButton>(w, "单选框1"));
    QCOMPARE(rig.state.ChosenSource(), SourceChoice::kSourceA);
    QVERIFY(combo2->isEnabled());
    QVERIFY(!Find<QComboBox>(w, "组合框3")->isEnabled());

    // Choosing an item is recorded in the state and handed on.
    std::vector<std::pair<Combo, int>> chosen;
    rig.window->SetComboChosenHandler([&](Combo c, int i) { chosen.emplace_back(c, i); });
    emit combo2->activated(1);
    QCOMPARE(rig.state.Get(Combo::kSourceACategories).chosen, 1);
    QCOMPARE(chosen.size(), std::size_t{1});
    QCOMPARE(chosen[0].second, 1);
  }

  void LinksShowCaptionsAndOpenTheirTargets() {
    UiRig rig(false);
    auto* link = Find<QLabel>(rig.window.get(), "超级链接框2");
    rig.state.Apply({ControlChange::Text(Link::kSecond, "更新<说明>"),
                     ControlChange::Target(Link::kSecond, "http://127.0.0.1:9/notes")});
    QVERIFY(link->text().contains(QString::fromUtf8("更新&lt;说明&gt;")));
    emit link->linkActivated(QStringLiteral("#"));
    QCOMPARE(rig.prompts.opened.size(), std::size_t{1});
    QCOMPARE(rig.prompts.opened[0], std::string("http://127.0.0.1:9/notes"));
    rig.state.SetVisible(Link::kSecond, false);
    rig.window->show();
    QVERIFY(!link->isVisible());
  }

  void ContextMenuHasItsItemsInOrderWithIcons() {
    UiRig rig(false);
    QMenu* menu = rig.window->menus()->ContextMenu();
    QCOMPARE(menu->objectName(), QString::fromUtf8("操作"));
    QCOMPARE(MenuLayout(menu),
             Utf8List({"获取代理IP(&H)", "获取任意国家IP(&R)", "从网址导入代理IP(&U)", "-",
                       "验证选定代理IP(&V)", "后台复查(&B)", "-", "复制选定IP(&C)", "-",
                       "修改选定IP(&M)", "删除选定IP(&D)", "清理失败IP(&Q)", "-", "设置IE代理(&S)",
                       "取消代理(&Z)", "使用本地网关(&G)"}));
    for (QAction* action : menu->actions()) {
      if (!action->isSeparator()) QVERIFY2(!action->icon().isNull(), qPrintable(action->text()));
    }
  }

  void ContextMenuFollowsTheShownRules() {
    UiRig rig(false);
    QWidget* w = rig.window.get();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    auto* view = Find<QTableView>(w, "超级列表框1");
    QMenu* menu = rig.window->menus()->ContextMenu();
    auto item = [&](ContextItem i) { return rig.window->menus()->ContextAction(i); };
    auto right_click = [&] {
      emit view->customContextMenuRequested(QPoint(10, 10));
      const bool shown = menu->isVisible();
      menu->hide();
      return shown;
    };

    // A running fetch or check has disabled the paste button: no menu at all.
    rig.state.SetEnabled(Command::kPaste, false);
    QVERIFY(!right_click());

    // Empty list: the row items are disabled; the others follow their buttons.
    rig.state.SetEnabled(Command::kPaste, true);
    rig.state.SetEnabled(Command::kFetch, true);
    rig.state.SetEnabled(Command::kValidate, false);
    QVERIFY(right_click());
    QVERIFY(!item(ContextItem::kCopy)->isEnabled());
    QVERIFY(!item(ContextItem::kModify)->isEnabled());
    QVERIFY(!item(ContextItem::kDelete)->isEnabled());
    QVERIFY(item(ContextItem::kFetch)->isEnabled());
    QVERIFY(!item(ContextItem::kValidateSelected)->isEnabled());
    QVERIFY(item(ContextItem::kCancelProxy)->isEnabled());

    // A current row whose verdict is "成功" allows setting it as the system proxy.
    rig.list.AddRow(Row("1.2.3.4", "8080", "成功"));
    rig.list.AddRow(Row("5.6.7.8", "3128", "失败"));
    rig.window->table_model()->FlushPendingRows();
    view->selectionModel()->setCurrentIndex(view->model()->index(0, 0),
                                            QItemSelectionModel::ClearAndSelect);
    QCOMPARE(rig.list.CurrentRow(), 0);
    QVERIFY(right_click());
    QVERIFY(item(ContextItem::kCopy)->isEnabled());
    QVERIFY(item(ContextItem::kSetSystemProxy)->isEnabled());
    view->selectionModel()->setCurrentIndex(view->model()->index(1, 0),
                                            QItemSelectionModel::ClearAndSelect);
    QVERIFY(right_click());
    QVERIFY(!item(ContextItem::kSetSystemProxy)->isEnabled());
  }

  void CopyPutsAddressAndPortOnTheClipboard() {
    UiRig rig(false);
    auto* view = Find<QTableView>(rig.window.get(), "超级列表框1");
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    // No current row: nothing changes.
    rig.window->menus()->ContextAction(ContextItem::kCopy)->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    rig.list.AddRow(Row("9.9.9.9", "1"));
    rig.list.AddRow(Row("1.2.3.4", "8080"));
    QTRY_COMPARE(view->model()->rowCount(), 2);  // appended rows reach the view in a batch
    view->selectionModel()->setCurrentIndex(view->model()->index(1, 2),
                                            QItemSelectionModel::ClearAndSelect);
    rig.window->menus()->ContextAction(ContextItem::kCopy)->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("1.2.3.4:8080"));
    // Sorted by port downwards the rows swap places; the row under the cursor is copied.
    view->sortByColumn(kColPort, Qt::DescendingOrder);
    view->selectionModel()->setCurrentIndex(view->model()->index(1, 0),
                                            QItemSelectionModel::ClearAndSelect);
    QCOMPARE(rig.list.CurrentRow(), 0);
    rig.window->menus()->ContextAction(ContextItem::kCopy)->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("9.9.9.9:1"));
  }

  void TrayMenuItemsAndSavedProxyItem() {
    UiRig rig(true);
    QMenu* menu = rig.window->menus()->TrayMenu();
    QCOMPARE(menu->objectName(), QString::fromUtf8("托盘"));
    const QString web = Q(kDefaultWebSiteCaption);
    QStringList expected = Utf8List({"关于『LumvexIP代理验证』"});
    expected << web;
    expected << Utf8List({"-", "退出程序", "-", "弹出窗口", "最小化", "-", "切换IE代理",
                          "取消IE代理", "自动切换代理", "使用本地网关", "~-", "~代理IE一"});
    QCOMPARE(MenuLayout(menu), expected);
    auto* saved = rig.window->menus()->TrayAction(TrayItem::kSavedProxy);
    rig.state.SetText(TrayItem::kSavedProxy, "1.2.3.4:8080 | 美国&加州");
    rig.state.SetVisible(TrayItem::kSavedProxy, true);
    rig.state.SetChecked(TrayItem::kSavedProxy, true);
    QVERIFY(saved->isVisible());
    QVERIFY(rig.window->menus()->SavedProxySeparator()->isVisible());
    QVERIFY(saved->isChecked());
    // Shown as it is: the "&" is no accelerator.
    QCOMPARE(saved->text(), QString::fromUtf8("1.2.3.4:8080 | 美国&&加州"));
    for (TrayItem i :
         {TrayItem::kAbout, TrayItem::kExit, TrayItem::kSwitchProxy, TrayItem::kCancelProxy}) {
      QVERIFY(!rig.window->menus()->TrayAction(i)->icon().isNull());
    }
  }

  void SavedProxyItemShowsTheCheckOfTheState() {
    UiRig rig(true);
    QAction* saved = rig.window->menus()->TrayAction(TrayItem::kSavedProxy);
    rig.state.SetVisible(TrayItem::kSavedProxy, true);
    rig.state.SetChecked(TrayItem::kSavedProxy, true);
    int reapplied = 0;
    // Re-applying the saved proxy leaves it the active one.
    rig.shell->SetTrayItemHandler(TrayItem::kSavedProxy, [&] {
      ++reapplied;
      rig.state.SetChecked(TrayItem::kSavedProxy, true);
    });
    saved->trigger();
    QCOMPARE(reapplied, 1);
    QVERIFY(rig.state.Checked(TrayItem::kSavedProxy));
    QVERIFY(saved->isChecked());

    // A click that changes nothing (no proxy could be applied) leaves the item unchecked.
    rig.state.SetChecked(TrayItem::kSavedProxy, false);
    rig.shell->SetTrayItemHandler(TrayItem::kSavedProxy, [&] { ++reapplied; });
    saved->trigger();
    QCOMPARE(reapplied, 2);
    QVERIFY(!saved->isChecked());
  }

  void GuardItemShowsTheCheckOfTheState() {
    UiRig rig(true);
    QAction* guard = rig.window->menus()->TrayAction(TrayItem::kGuard);
    QVERIFY(guard->isCheckable());
    QVERIFY(!guard->isChecked());
    int toggled = 0;
    rig.shell->SetTrayItemHandler(TrayItem::kGuard, [&] {
      ++toggled;
      rig.state.SetChecked(TrayItem::kGuard, !rig.state.Checked(TrayItem::kGuard));
    });
    guard->trigger();
    QCOMPARE(toggled, 1);
    QVERIFY(guard->isChecked());
    // A click whose handler changes nothing leaves the state's check.
    rig.shell->SetTrayItemHandler(TrayItem::kGuard, [&] { ++toggled; });
    guard->trigger();
    QCOMPARE(toggled, 2);
    QVERIFY(guard->isChecked());
    rig.state.SetChecked(TrayItem::kGuard, false);
    QVERIFY(!guard->isChecked());
  }

  void TrayClicksToggleTheWindowAndPrepareTheMenu() {
    UiRig rig(true);
    rig.shell->StartupSequence();
    rig.window->ShowAccordingToState();
    QWidget* w = rig.window.get();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    TrayIconHost* tray = rig.window->tray();
    QVERIFY(tray->icon()->isVisible());
    QCOMPARE(tray->icon()->toolTip(), QString::fromUtf8("LumvexIP代理验证"));
    QVERIFY(!tray->icon()->icon().isNull());

    tray->HandleActivation(QSystemTrayIcon::Trigger);  // a single click does nothing
    QVERIFY(w->isVisible());
    tray->HandleActivation(QSystemTrayIcon::DoubleClick);
    QVERIFY(!w->isVisible());
    QCOMPARE(static_cast<WindowMode>(rig.state.Value(control::kWindow)),
             WindowMode::kMinimisedToTray);

    QSignalSpy shown(tray, &TrayIconHost::TrayMenuShown);
    tray->HandleActivation(QSystemTrayIcon::Context);
    QCOMPARE(shown.count(), 1);
    QVERIFY(rig.window->menus()->TrayAction(TrayItem::kRestore)->isEnabled());
    QVERIFY(!rig.window->menus()->TrayAction(TrayItem::kMinimise)->isEnabled());
    rig.window->menus()->TrayMenu()->hide();

    rig.window->menus()->TrayAction(TrayItem::kRestore)->trigger();
    QVERIFY(w->isVisible());
    tray->HandleActivation(QSystemTrayIcon::Context);
    QVERIFY(!rig.window->menus()->TrayAction(TrayItem::kRestore)->isEnabled());
    QVERIFY(rig.window->menus()->TrayAction(TrayItem::kMinimise)->isEnabled());
    rig.window->menus()->TrayMenu()->hide();
  }

  void StartInTrayKeepsTheWindowHiddenAndFillsTheSession() {
    UiRig rig(true);
    QVERIFY(WriteWholeFile(rig.dir.path().toStdString() + "/tray", "[tray]\r\ntray=yes\r\n"));
    QVERIFY(WriteWholeFile(rig.dir.path().toStdString() + "/agent number", "200"));
    QVERIFY(WriteWholeFile(rig.dir.path().toStdString() + "/thread", "30"));
    rig.shell->StartupSequence();
    rig.window->ShowAccordingToState();
    QCoreApplication::processEvents();
    QVERIFY(!rig.window->isVisible());
    QVERIFY(rig.window->tray()->icon()->isVisible());
    QCOMPARE(rig.session.FetchCount(), std::string("200"));
    QCOMPARE(rig.session.ChecksAtOnce(), 30);
    rig.window->tray()->HandleActivation(QSystemTrayIcon::DoubleClick);
    QVERIFY(rig.window->isVisible());
  }

  void WithoutATrayTheWindowStartsShown() {
    UiRig rig(false);
    QVERIFY(WriteWholeFile(rig.dir.path().toStdString() + "/tray", "[tray]\r\ntray=yes\r\n"));
    rig.shell->StartupSequence();
    rig.window->ShowAccordingToState();
    QVERIFY(rig.window->isVisible());
    QVERIFY(!rig.window->tray()->icon()->isVisible());
  }

  void CloseButtonHidesToTheTray() {
    UiRig rig(true);
    QWidget* w = rig.window.get();
    QSignalSpy closed(rig.window.get(), &MainWindow::ClosedForExit);
    rig.window->ShowAccordingToState();
    QVERIFY(w->isVisible());
    QVERIFY(!w->close());
    QVERIFY(!w->isVisible());
    QCOMPARE(closed.count(), 0);
    QCOMPARE(rig.shell->ExitCount(), 0);
  }

  void WithoutTrayTheWindowOffersTheTrayMenuAndCloseMinimises() {
    UiRig rig(false);
    MainWindow* w = rig.window.get();
    QSignalSpy offered(w, &MainWindow::TrayMenuShownInWindow);
    w->ShowAccordingToState();
    // The first close says where the menu is (answered as it comes up) and only minimises.
    QTimer::singleShot(0, [] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box != nullptr) box->buttons().front()->click();
    });
    QVERIFY(!w->close());
    QTRY_VERIFY(w->isMinimized());
    QCOMPARE(rig.shell->ExitCount(), 0);
    // The proxy status picture and a right click on free space both pop up the tray menu.
    w->showNormal();
    QTest::mouseClick(Find<QLabel>(w, "图片框1"), Qt::LeftButton);
    QTRY_VERIFY(rig.window->menus()->TrayMenu()->isVisible());
    rig.window->menus()->TrayMenu()->close();
    emit w->centralWidget()->customContextMenuRequested(QPoint(5, 5));
    QCOMPARE(offered.count(), 2);
    rig.window->menus()->TrayMenu()->close();
  }

  void ExitItemRunsTheExitSequenceOnce() {
    UiRig rig(true);
    rig.window->ShowAccordingToState();
    rig.list.AddRow(Row("1.2.3.4", "8080"));
    rig.window->menus()->TrayAction(TrayItem::kExit)->trigger();
    QCOMPARE(rig.shell->ExitCount(), 1);
    QCOMPARE(rig.destroy_calls, 1);
    QVERIFY(!rig.window->isVisible());
    QVERIFY(!rig.window->tray()->icon()->isVisible());
    QVERIFY(ReadWholeFile(rig.AgentFile()).has_value());
    QVERIFY(rig.window->close());  // the exit path lets the window go
  }

  void AboutWindowShowsItsLinesAndTheManifestAddress() {
    UiRig rig(true);
    rig.window->ShowAccordingToState();
    rig.session.SetAboutWebAddress("http://about.example.org");
    QString title;
    QStringList lines;
    bool ok_had_focus = false;
    bool modal = false;
    QTimer::singleShot(0, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      QVERIFY(dialog);
      title = dialog->windowTitle();
      modal = dialog->isModal();
      for (QLabel* label : dialog->findChildren<QLabel*>()) lines << label->text();
      auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("OkButton"));
      ok_had_focus = ok && ok->text() == QString::fromUtf8("确定") && dialog->focusWidget() == ok;
      QTest::mouseClick(ok, Qt::LeftButton);
    });
    rig.window->menus()->TrayAction(TrayItem::kAbout)->trigger();
    QCOMPARE(title, QString::fromUtf8("关于 LumvexIP代理验证"));
    QVERIFY(modal);
    QVERIFY(ok_had_focus);
    QVERIFY(lines.join('\n').contains(QString::fromUtf8("1.3版(Build 2013.9.20)")));
    QVERIFY(lines.contains(QStringLiteral("http://about.example.org")));
  }

  void ExitClosesAnOpenDialog() {
    UiRig rig(true);
    rig.window->ShowAccordingToState();
    bool dialog_seen = false;
    QTimer::singleShot(0, [&] {
      dialog_seen = QApplication::activeModalWidget() != nullptr;
      rig.shell->ExitSequence();  // as a terminating signal would run it
    });
    rig.window->ShowAbout();  // returns only when the dialog is gone
    QVERIFY(dialog_seen);
    QCOMPARE(rig.destroy_calls, 1);
  }
};

QTEST_MAIN(MainWindowTest)
#include "test_ui_main_window.moc"
