// The proxy edit dialog "代理信息" and the settings dialog "IP代理验证设置", found by their form
// names: add below the current row, a port of spaces refused, modify with three rows selected,
// the settings fill, live copy and "确 定" file text, and the openers behind the main window's
// commands.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <functional>

#include "app/application.h"
#include "app/window_events.h"
#include "config/strict_settings.h"
#include "platform/file_io.h"
#include "support/scripted_prompts.h"
#include "text/codec.h"
#include "ui/ipv4_edit.h"
#include "ui/list_dialogs.h"
#include "ui/proxy_edit_dialog.h"
#include "ui/qt_ui_thread.h"
#include "ui/repeated_escape_filter.h"
#include "ui/settings_dialog.h"
#include "ui_test_fixture.h"

using namespace lumvex;
using lumvex::test::Q;
using lumvex::test::Row;

namespace {

template <typename W>
W* Find(QWidget* window, const char* form_name) {
  W* widget = window->findChild<W*>(QString::fromUtf8(form_name));
  if (widget == nullptr) qWarning("no widget %s", form_name);
  return widget;
}

// The list, the view-model and the two controllers over a Qt UI thread, with scripted prompts.
struct DialogRig {
  DialogRig() {
    for (int i = 0; i < 6; ++i) list.AddRow(Row("10.0.0." + std::to_string(i), "80"));
  }
  ~DialogRig() { ui.Close(); }

  std::string Data(const std::string& name) const {
    return dir.path().toStdString() + "/data/" + name;
  }

  QTemporaryDir dir;
  QtUiThread ui;
  ProxyList list{ui};
  MainWindowState state{ui};
  WindowSession session;
  testing::ScriptedPrompts prompts;
  ProxyEditController edit{state, list, prompts};
  SettingsController settings{
      state, session, DataDir(dir.path().toStdString() + "/data"),
      Autostart(dir.path().toStdString() + "/autostart", "/usr/bin/lumvexip")};
};

void TypeAddress(ProxyEditDialog& dialog, const char* a, const char* b, const char* c,
                 const char* d) {
  auto* box = Find<Ipv4Edit>(&dialog, "IP编辑框1");
  const char* parts[] = {a, b, c, d};
  for (int i = 0; i < 4; ++i) QTest::keyClicks(box->part(i), QString::fromUtf8(parts[i]));
}

}  // namespace

class ListDialogsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void EditFormHasItsControlsWhereTheFormPutsThem() {
    DialogRig rig;
    ProxyEditDialog dialog(EditMode::kAdd, rig.edit, nullptr);
    QCOMPARE(dialog.objectName(), QString::fromUtf8("代理信息"));
    QCOMPARE(dialog.windowTitle(), QString::fromUtf8("添加代理IP"));
    QCOMPARE(Find<QLabel>(&dialog, "标签1")->text(), QString::fromUtf8("服务器地址："));
    QCOMPARE(Find<QWidget>(&dialog, "IP编辑框1")->geometry(), QRect(89, 8, 104, 20));
    QCOMPARE(Find<QLineEdit>(&dialog, "编辑框1")->geometry(), QRect(272, 8, 48, 20));
    QCOMPARE(Find<QLineEdit>(&dialog, "编辑框2")->geometry(), QRect(89, 40, 231, 20));
    QCOMPARE(Find<QPushButton>(&dialog, "按钮1")->text(), QString::fromUtf8("确定"));
    QCOMPARE(Find<QPushButton>(&dialog, "按钮2")->geometry(), QRect(200, 70, 80, 24));
  }

  void AddPutsTheRowBelowTheCurrentOne() {
    DialogRig rig;
    rig.list.SetCurrentRow(3);
    ProxyEditDialog dialog(EditMode::kAdd, rig.edit, nullptr);
    dialog.show();
    TypeAddress(dialog, "192", "168", "1", "20");
    QTest::keyClicks(Find<QLineEdit>(&dialog, "编辑框1"), QStringLiteral("8080"));
    // QTest types ASCII only; Chinese text goes in as an input method would put it.
    Find<QLineEdit>(&dialog, "编辑框2")->insert(QString::fromUtf8("手工"));
    QTest::mouseClick(Find<QPushButton>(&dialog, "按钮1"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(rig.list.ListCount(), 7);
    QCOMPARE(rig.list.GetCell(4, kColAddress), std::string("192.168.1.20"));
    QCOMPARE(rig.list.GetCell(4, kColPort), std::string("8080"));
    QCOMPARE(rig.list.GetCell(4, kColLocation), std::string("手工"));
    QCOMPARE(rig.list.GetCell(5, kColAddress), std::string("10.0.0.4"));
    QCOMPARE(rig.state.Text(control::kStatusLine), std::string("共有代理IP：7个"));
  }

  void AddRefusesABlankAddressAndAPortOfSpaces() {
    DialogRig rig;
    ProxyEditDialog dialog(EditMode::kAdd, rig.edit, nullptr);
    dialog.show();
    QTest::keyClicks(Find<QLineEdit>(&dialog, "编辑框1"), QStringLiteral("80"));
    QTest::mouseClick(Find<QPushButton>(&dialog, "按钮1"), Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    TypeAddress(dialog, "1", "2", "3", "4");
    auto* port = Find<QLineEdit>(&dialog, "编辑框1");
    port->clear();
    QTest::keyClicks(port, QStringLiteral("  "));
    port->insert(QString::fromUtf8("　"));
    QTest::mouseClick(Find<QPushButton>(&dialog, "按钮1"), Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QCOMPARE(rig.prompts.messages.size(), std::size_t(2));
    QCOMPARE(rig.prompts.messages[0].text, std::string("请输入服务器代理IP地址！  "));
    QCOMPARE(rig.prompts.messages[1].text, std::string("请输入服务端口！  "));
    QCOMPARE(rig.list.ListCount(), 6);
  }

  void ModifyChangesTheCurrentRowAndNotesEverySelectedRow() {
    DialogRig rig;
    rig.list.SetCurrentRow(2);
    rig.list.SetSelectedRows({1, 2, 5});
    ProxyEditDialog dialog(EditMode::kModify, rig.edit, nullptr);
    QCOMPARE(dialog.windowTitle(), QString::fromUtf8("修改代理IP"));
    QCOMPARE(dialog.Fields().address, std::string("10.0.0.2"));
    QCOMPARE(dialog.Fields().note, std::string("北京"));
    dialog.show();
    auto* box = Find<Ipv4Edit>(&dialog, "IP编辑框1");
    box->part(3)->clear();
    QTest::keyClicks(box->part(3), QStringLiteral("99"));
    auto* note = Find<QLineEdit>(&dialog, "编辑框2");
    note->clear();
    note->insert(QString::fromUtf8("可用"));
    QTest::mouseClick(Find<QPushButton>(&dialog, "按钮1"), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(rig.list.GetCell(2, kColAddress), std::string("10.0.0.99"));
    QCOMPARE(rig.list.GetCell(1, kColAddress), std::string("10.0.0.1"));
    for (int row : {1, 2, 5}) QCOMPARE(rig.list.GetCell(row, kColLocation), std::string("可用"));
    for (int row : {0, 3, 4}) QCOMPARE(rig.list.GetCell(row, kColLocation), std::string("北京"));
  }

  void AddressBoxReadsDottedTextAndKeepsWhatItCannotShow() {
    Ipv4Edit box;
    QCOMPARE(box.text(), QString());
    box.setText(QStringLiteral("1.2.3.4"));
    QCOMPARE(box.text(), QStringLiteral("1.2.3.4"));
    box.setText(QStringLiteral("proxy.example.com"));
    QCOMPARE(box.part(0)->text(), QString());
    QCOMPARE(box.text(), QStringLiteral("proxy.example.com"));
    QTest::keyClicks(box.part(0), QStringLiteral("7"));
    QCOMPARE(box.text(), QStringLiteral("7.0.0.0"));
    // A typed dot ends a part without going into it.
    box.setText(QString());
    QTest::keyClicks(box.part(0), QStringLiteral("10."));
    QTest::keyClicks(box.part(1), QStringLiteral("200"));
    QTest::keyClicks(box.part(2), QStringLiteral("3."));
    QTest::keyClicks(box.part(3), QStringLiteral("4"));
    QCOMPARE(box.text(), QStringLiteral("10.200.3.4"));
    // Parts hold numbers up to 255 only.
    box.setText(QString());
    QTest::keyClicks(box.part(1), QStringLiteral("999"));
    QVERIFY(box.part(1)->text().toInt() <= 255);
  }

  void SettingsFormFillsFromTheFilesAndCopiesNumbersLive() {
    DialogRig rig;
    rig.settings.Confirm({"300", "40", false, true, false});
    Announce(rig.state, WindowEvent::kSourceChosen, {.source = SourceChoice::kSourceB});
    SettingsDialog dialog(rig.settings, rig.prompts, nullptr);
    QCOMPARE(dialog.objectName(), QString::fromUtf8("IP代理验证设置"));
    QCOMPARE(dialog.windowTitle(), QString::fromUtf8("IP代理验证设置"));
    QCOMPARE(Find<QGroupBox>(&dialog, "分组框1")->geometry(), QRect(200, 8, 176, 88));
    QCOMPARE(Find<QCheckBox>(&dialog, "选择框2")->text(), QString::fromUtf8("启动后最小化到托盘"));
    QCOMPARE(Find<QPushButton>(&dialog, "按钮1")->text(), QString::fromUtf8("确 定"));
    QCOMPARE(Find<QPushButton>(&dialog, "按钮2")->text(), QString::fromUtf8("退 出"));
    auto* fetch = Find<QLineEdit>(&dialog, "编辑框2");
    auto* threads = Find<QLineEdit>(&dialog, "编辑框1");
    QCOMPARE(fetch->text(), QStringLiteral("300"));
    QCOMPARE(threads->text(), QStringLiteral("40"));
    QVERIFY(!fetch->isEnabled());  // source B chosen
    QVERIFY(!Find<QCheckBox>(&dialog, "选择框1")->isChecked());
    QVERIFY(Find<QCheckBox>(&dialog, "选择框2")->isChecked());
    QVERIFY(!Find<QCheckBox>(&dialog, "选择框3")->isChecked());
    // Filling the fields copied them already.
    QCOMPARE(rig.session.FetchCount(), std::string("300"));
    QCOMPARE(rig.session.ChecksAtOnce(), 40);

    Announce(rig.state, WindowEvent::kSourceChosen, {.source = SourceChoice::kSourceA});
    SettingsDialog second(rig.settings, rig.prompts, nullptr);
    second.show();
    auto* fetch2 = Find<QLineEdit>(&second, "编辑框2");
    QVERIFY(fetch2->isEnabled());
    QTest::keyClicks(fetch2, QStringLiteral("5x"));  // the letter is refused
    QCOMPARE(rig.session.FetchCount(), std::string("3005"));
    QTest::mouseClick(Find<QPushButton>(&second, "按钮2"), Qt::LeftButton);
    // "退 出" writes nothing and keeps the copy.
    QCOMPARE(ReadWholeFile(rig.Data("agent number")).value_or(""), std::string("300"));
    QCOMPARE(rig.session.FetchCount(), std::string("3005"));
  }

  void SettingsConfirmWritesTheFilesAndTheAutostartEntry() {
    DialogRig rig;
    Announce(rig.state, WindowEvent::kSourceChosen, {.source = SourceChoice::kSourceA});
    SettingsDialog dialog(rig.settings, rig.prompts, nullptr);
    dialog.show();
    QTest::keyClicks(Find<QLineEdit>(&dialog, "编辑框2"), QStringLiteral("50"));
    Find<QCheckBox>(&dialog, "选择框1")->setChecked(true);
    Find<QCheckBox>(&dialog, "选择框3")->setChecked(true);
    QTest::mouseClick(Find<QPushButton>(&dialog, "按钮1"), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(ReadWholeFile(rig.Data("agent number")).value_or("-"), std::string("50"));
    QCOMPARE(ReadWholeFile(rig.Data("thread")).value_or("-"), std::string(""));
    QCOMPARE(ReadWholeFile(rig.Data("Powered up")).value_or("-"),
             std::string("[Powered up]\r\nPowered up=yes\r\n"));
    QCOMPARE(ReadWholeFile(rig.Data("tray")).value_or("-"), std::string("[tray]\r\ntray=no\r\n"));
    QCOMPARE(ReadWholeFile(rig.Data("IE Agent")).value_or("-"),
             std::string("[run]\r\nrun=yes\r\n"));
    QVERIFY(rig.settings.AutostartEntry().IsEnabled());
  }

  void StrictGroupSitsBelowTheFormAndKeepsItsFile() {
    DialogRig rig;
    SettingsDialog dialog(rig.settings, rig.prompts, nullptr);
    dialog.show();
    // The numbers and checkboxes keep their places; the strict group comes below them and the
    // buttons last, below every group and inside the dialog.
    QCOMPARE(Find<QGroupBox>(&dialog, "分组框2")->geometry(), QRect(8, 8, 184, 88));
    auto* group = Find<QGroupBox>(&dialog, "分组框3");
    QCOMPARE(group->title(), QString::fromUtf8("严格验证"));
    QVERIFY(group->geometry().top() >= 96 + 8);
    for (const char* name : {"按钮1", "按钮2"}) {
      const QRect button = Find<QPushButton>(&dialog, name)->geometry();
      QVERIFY2(button.top() > group->geometry().bottom(), name);
      QVERIFY2(dialog.rect().contains(button), name);
    }
    auto* url = Find<QLineEdit>(&dialog, "编辑框3");
    auto* expect = Find<QLineEdit>(&dialog, "编辑框4");
    QVERIFY(url->text().isEmpty() && expect->text().isEmpty());
    QTest::keyClicks(url, QStringLiteral("http://mine.test/probe"));
    expect->setText(QString::fromUtf8("欢迎"));  // typed text is ASCII only in QTest
    QTest::mouseClick(Find<QPushButton>(&dialog, "按钮1"), Qt::LeftButton);
    QCOMPARE(text::DecodeGbk(ReadWholeFile(rig.Data("strict")).value_or("-")),
             std::string("[strict]\r\nurl=http://mine.test/probe\r\nexpect=欢迎\r\n"));
    SettingsDialog again(rig.settings, rig.prompts, nullptr);
    QCOMPARE(Find<QLineEdit>(&again, "编辑框4")->text(), QString::fromUtf8("欢迎"));
    QCOMPARE(Find<QLineEdit>(&again, "编辑框3")->text(), QStringLiteral("http://mine.test/probe"));
  }

  // "确 定" that cannot write a file says which one and keeps the dialog open; the other files are
  // written all the same.
  void SettingsSaveThatFailsSaysSo() {
    struct Case {
      const char* name;
      const char* in_the_way;  // made a directory ("" for none, "data" for the data directory)
      std::vector<std::string> failed;  // file names in the data directory, "autostart" entry
    };
    const std::vector<std::string> all = {"agent number", "thread",   "Powered up",
                                          "tray",         "IE Agent", "strict"};
    const Case cases[] = {
        {"all written", "", {}},
        {"a directory named like the thread file", "thread", {"thread"}},
        {"a directory named like the INI file", "IE Agent", {"IE Agent"}},
        {"the data directory is a file", "data", all},
        {"the autostart directory is a file", "autostart", {"autostart"}},
    };
    for (const Case& c : cases) {
      DialogRig rig;
      const std::string root = rig.dir.path().toStdString();
      const std::string way = c.in_the_way;
      if (way == "data" || way == "autostart") {
        QVERIFY(WriteWholeFile(root + "/" + way, "in the way"));
      } else if (!way.empty()) {
        QVERIFY(QDir().mkpath(QString::fromStdString(rig.Data(way))));
      }
      SettingsDialog dialog(rig.settings, rig.prompts, nullptr);
      dialog.show();
      Find<QCheckBox>(&dialog, "选择框1")->setChecked(true);
      QTest::mouseClick(Find<QPushButton>(&dialog, "按钮1"), Qt::LeftButton);
      QCOMPARE(dialog.isVisible(), !c.failed.empty());
      if (c.failed.empty()) {
        QVERIFY2(rig.prompts.messages.empty(), c.name);
        continue;
      }
      QCOMPARE(rig.prompts.messages.size(), std::size_t(1));
      const std::string& text = rig.prompts.messages[0].text;
      QVERIFY2(text.rfind(std::string(kSettingsNotSaved), 0) == 0, c.name);
      for (const std::string& name : c.failed) {
        const std::string path =
            name == "autostart" ? rig.settings.AutostartEntry().EntryPath() : rig.Data(name);
        QVERIFY2(text.find(path) != std::string::npos, (std::string(c.name) + ": " + path).c_str());
      }
      // Files that were not in the way were saved.
      for (const std::string& name : all) {
        const bool failed = std::find(c.failed.begin(), c.failed.end(), name) != c.failed.end();
        QCOMPARE(QFileInfo(QString::fromStdString(rig.Data(name))).isFile(), !failed);
      }
    }
  }

  // "确 定" with a thread count the rule refuses (see the app tests) shows the message, keeps the
  // dialog open and writes no file; an accepted one closes it. A field the user cannot change
  // (source B chosen) keeps what its file held.
  void SettingsRefusesAThreadCountOutOfRange() {
    struct Case {
      const char* typed;
      bool source_a;
      bool refused;
    };
    const Case cases[] = {
        {"99999", true, true}, {"10000", true, false}, {"", true, false}, {"99999", false, false}};
    for (const Case& c : cases) {
      DialogRig rig;
      // Typed where the field takes input, else brought in by the file.
      rig.settings.Confirm({"", c.source_a ? "" : c.typed, false, false, false});
      QVERIFY(QFile::remove(QString::fromStdString(rig.Data("tray"))));
      Announce(rig.state, WindowEvent::kSourceChosen,
               {.source = c.source_a ? SourceChoice::kSourceA : SourceChoice::kSourceB});
      SettingsDialog dialog(rig.settings, rig.prompts, nullptr);
      dialog.show();
      auto* threads = Find<QLineEdit>(&dialog, "编辑框1");
      if (c.source_a) QTest::keyClicks(threads, QString::fromUtf8(c.typed));
      QCOMPARE(threads->text(), QString::fromUtf8(c.typed));
      QTest::mouseClick(Find<QPushButton>(&dialog, "按钮1"), Qt::LeftButton);
      QCOMPARE(dialog.isVisible(), c.refused);
      QCOMPARE(QFileInfo(QString::fromStdString(rig.Data("tray"))).isFile(), !c.refused);
      if (c.refused) {
        QCOMPARE(rig.prompts.messages.size(), std::size_t(1));
        QCOMPARE(rig.prompts.messages[0].text, std::string("线程数必须是1到10000之间的数字！"));
        // The refused text is selected, ready to be typed over.
        QCOMPARE(threads->selectedText(), QString::fromUtf8(c.typed));
      } else {
        QVERIFY(rig.prompts.messages.empty());
      }
    }
  }

  // Empty number fields show what they mean as placeholders.
  void SettingsNumberFieldsShowTheValuesInForce() {
    DialogRig rig;
    Announce(rig.state, WindowEvent::kSourceChosen, {.source = SourceChoice::kSourceA});
    SettingsDialog dialog(rig.settings, rig.prompts, nullptr);
    auto* fetch = Find<QLineEdit>(&dialog, "编辑框2");
    auto* threads = Find<QLineEdit>(&dialog, "编辑框1");
    QVERIFY(fetch->text().isEmpty() && threads->text().isEmpty());
    const SettingsDialogValues values = rig.settings.Load();
    QCOMPARE(fetch->placeholderText(), QString::fromStdString(values.fetch_count_in_force));
    QCOMPARE(threads->placeholderText(), QString::fromStdString(values.thread_count_in_force));
  }

  // An https check or judge address would be fetched past every proxy: the dialog says so, stays
  // open and writes nothing.
  void StrictGroupRefusesAnHttpsAddress() {
    const std::pair<const char*, std::string_view> cases[] = {{"编辑框3", kStrictUrlRefused},
                                                              {"编辑框5", kJudgeUrlRefused}};
    for (const auto& [field, refusal] : cases) {
      DialogRig rig;
      SettingsDialog dialog(rig.settings, rig.prompts, nullptr);
      dialog.show();
      Find<QLineEdit>(&dialog, field)->setText(QStringLiteral("https://secure.test/"));
      QTest::mouseClick(Find<QPushButton>(&dialog, "按钮1"), Qt::LeftButton);
      QCOMPARE(rig.prompts.messages.size(), std::size_t(1));
      QCOMPARE(rig.prompts.messages[0].text, std::string(refusal));
      QVERIFY(dialog.isVisible());
      QVERIFY(!ReadWholeFile(rig.Data("strict")).has_value());
    }
  }

  // The judge is kept with the strict settings, and shown again when the dialog opens; its
  // fields do not overlap.
  void StrictGroupKeepsTheJudge() {
    DialogRig rig;
    {
      SettingsDialog dialog(rig.settings, rig.prompts, nullptr);
      dialog.show();
      auto* judge = Find<QLineEdit>(&dialog, "编辑框5");
      const QRect judge_box(judge->mapTo(&dialog, QPoint(0, 0)), judge->size());
      for (const char* other : {"编辑框3", "编辑框4", "透明标签4", "按钮1"}) {
        auto* widget = dialog.findChild<QWidget*>(QString::fromUtf8(other));
        QVERIFY(!judge_box.intersects(QRect(widget->mapTo(&dialog, QPoint(0, 0)), widget->size())));
      }
      QVERIFY(dialog.rect().contains(judge_box));
      judge->setText(QStringLiteral("http://127.0.0.1:8/judge"));
      QTest::mouseClick(Find<QPushButton>(&dialog, "按钮1"), Qt::LeftButton);
    }
    QCOMPARE(ReadWholeFile(rig.Data("strict")).value_or(""),
             std::string("[strict]\r\nurl=\r\nexpect=\r\njudge=http://127.0.0.1:8/judge\r\n"));
    SettingsDialog again(rig.settings, rig.prompts, nullptr);
    QCOMPARE(Find<QLineEdit>(&again, "编辑框5")->text(),
             QStringLiteral("http://127.0.0.1:8/judge"));
  }

  void MainWindowCommandsOpenTheDialogs() {
    QTemporaryDir dir;
    QtUiThread ui;
    testing::ScriptedPrompts prompts;
    ApplicationOptions options;
    options.shell.data_dir = DataDir(dir.path().toStdString());
    options.shell.run_directory = dir.path().toStdString();
    options.shell.tray_available = false;
    {
      Application app(ui, prompts, options);
      QWidget owner;
      ListDialogs dialogs(app, &owner);
      app.List().AddRow(Row("1.1.1.1", "80"));
      app.List().AddRow(Row("2.2.2.2", "80"));
      app.List().SetCurrentRow(0);

      // "添加代理IP": modal; fill it in while it runs.
      bool seen = false;
      QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<ProxyEditDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        seen = true;
        QCOMPARE(dialog->windowTitle(), QString::fromUtf8("添加代理IP"));
        TypeAddress(*dialog, "5", "6", "7", "8");
        QTest::keyClicks(Find<QLineEdit>(dialog, "编辑框1"), QStringLiteral("3128"));
        QTest::mouseClick(Find<QPushButton>(dialog, "按钮1"), Qt::LeftButton);
      });
      app.Shell().OnCommand(Command::kAddProxy);
      QVERIFY(seen);
      QCOMPARE(app.List().GetCell(1, kColAddress), std::string("5.6.7.8"));

      // "修改选定IP(&M)": modeless; the call returns with the dialog open.
      app.Shell().OnContextItem(ContextItem::kModify);
      ProxyEditDialog* modify = dialogs.ModifyDialog();
      QVERIFY(modify != nullptr);
      QVERIFY(modify->isVisible());
      QVERIFY(!modify->isModal());
      QCOMPARE(modify->windowTitle(), QString::fromUtf8("修改代理IP"));
      QCOMPARE(modify->Fields().address, std::string("1.1.1.1"));
      modify->close();

      // "【设置】": modal; leave it with "退 出".
      seen = false;
      QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<SettingsDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        seen = true;
        QTest::mouseClick(Find<QPushButton>(dialog, "按钮2"), Qt::LeftButton);
      });
      app.Shell().OnCommand(Command::kSettings);
      QVERIFY(seen);
      ui.Close();
      app.Shutdown();
    }
  }

  // A held Escape closes the dialog it was pressed in, not the next one opened while it is down:
  // its auto-repeat (flagged, or on X11 a press stamped like the release before it) is ignored.
  void HeldEscapeDoesNotCloseTheNextDialog() {
    struct Case {
      const char* name;
      bool flagged_repeat;
      bool stamped_like_release;
      bool closes;
    };
    const Case cases[] = {
        {"fresh press", false, false, true},
        {"flagged auto-repeat", true, false, false},
        {"press stamped like the release", false, true, false},
    };
    RepeatedEscapeFilter filter;
    qApp->installEventFilter(&filter);
    for (const Case& c : cases) {
      DialogRig rig;
      ProxyEditDialog dialog(EditMode::kAdd, rig.edit, nullptr);
      dialog.show();
      dialog.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&dialog));
      QWindow* window = dialog.windowHandle();
      QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
      release.setTimestamp(1000);
      QApplication::sendEvent(window, &release);
      QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(),
                      c.flagged_repeat);
      press.setTimestamp(c.stamped_like_release ? 1000 : 1040);
      QApplication::sendEvent(window, &press);
      QVERIFY2(dialog.isVisible() != c.closes, c.name);
    }
    qApp->removeEventFilter(&filter);
  }

  // Every way a dialog can be left without "确定" (its cancel button, Escape, the title bar's
  // close button) writes nothing, and each command opens its dialog again afterwards.
  void EveryWayOfClosingADialogActsAsItsCancelButton() {
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
    QtUiThread ui;
    testing::ScriptedPrompts prompts;
    ApplicationOptions options;
    options.shell.data_dir = DataDir(dir.path().toStdString() + "/data");
    options.shell.tray_available = false;
    Application app(ui, prompts, options);
    QWidget owner;
    ListDialogs dialogs(app, &owner);
    const std::function<void(QDialog*)> ways[] = {
        [](QDialog* d) { QTest::mouseClick(Find<QPushButton>(d, "按钮2"), Qt::LeftButton); },
        [](QDialog* d) {
          QTest::keyClick(d->focusWidget() ? d->focusWidget() : d, Qt::Key_Escape);
        },
        [](QDialog* d) { d->close(); },
    };
    for (const Command command : {Command::kSettings, Command::kAddProxy, Command::kSettings}) {
      for (const auto& leave : ways) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
          auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
          if (dialog == nullptr) return;
          seen = true;
          for (QCheckBox* box : dialog->findChildren<QCheckBox*>()) box->setChecked(true);
          leave(dialog);
          if (dialog->isVisible()) dialog->reject();  // keeps a failing case from hanging
        });
        app.Shell().OnCommand(command);
        QVERIFY(seen);
      }
    }
    QCOMPARE(app.List().ListCount(), 0);
    QVERIFY(!QDir(QString::fromStdString(options.shell.data_dir.Path())).exists());
    QVERIFY(!app.SettingsDialog().AutostartEntry().IsEnabled());
    ui.Close();
    app.Shutdown();
  }
};

QTEST_MAIN(ListDialogsTest)
#include "test_ui_list_dialogs.moc"
