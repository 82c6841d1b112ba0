// The harvest through the window (offscreen): start-up fills the source selectors from the
// loopback sites, a category choice reaches the controller, "获取代理IP" brings the rows.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/application.h"
#include "http/curl_global.h"
#include "sites/proxy_sites.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/qt_ui_thread.h"
#include "ui/qt_user_prompts.h"

namespace lumvex {

class HarvestWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { http::EnsureCurlGlobalInit(); }

  void HarvestFromTheSites() {
    tools::ProxySites sites({});
    QVERIFY(sites.Start());
    QTemporaryDir dir;
    QtUiThread ui;
    QtUserPrompts prompts;
    ApplicationOptions options;
    options.shell.run_directory = dir.path().toStdString();
    options.shell.data_dir = DataDir(dir.path().toStdString());
    options.shell.tray_available = false;
    options.endpoints.source_hosts["a"] = sites.HostA();
    options.endpoints.source_hosts["b"] = sites.HostB();
    options.endpoints.source_hosts["c"] = sites.HostC();
    options.endpoints.manifest_url = "http://" + sites.HostA() + "/none";
    options.harvest.page_interval = std::chrono::milliseconds(50);
    {
      Application app(ui, prompts, options);
      MainWindow window(app.State(), app.Shell(), app.List());
      window.SetComboChosenHandler([&app](Combo combo, int) { app.OnComboChosen(combo); });
      app.Shell().StartupSequence();
      window.ShowAccordingToState();

      QComboBox* categories = window.findChild<QComboBox*>("组合框2");
      QComboBox* pages = window.findChild<QComboBox*>("组合框3");
      QLabel* count_label = window.findChild<QLabel*>("透明标签7");
      QLineEdit* status = window.findChild<QLineEdit*>("编辑框3");
      QPushButton* fetch = window.findChild<QPushButton*>("按钮1");
      QVERIFY(categories && pages && count_label && status && fetch);
      QTRY_COMPARE_WITH_TIMEOUT(categories->count(), 5, 20000);
      QTRY_COMPARE_WITH_TIMEOUT(pages->count(), 4, 20000);
      QCOMPARE(categories->itemText(0), Q(sites.CategoryTitle(0)));
      QCOMPARE(count_label->text(), Q("当前数据库共有IP： 2400 个"));
      QVERIFY(categories->isEnabled());
      QVERIFY(!pages->isEnabled());

      // The user picks the third category: the controller hears of it.
      categories->setCurrentIndex(2);
      emit categories->activated(2);
      QTRY_COMPARE(app.Harvest().CurrentCategoryId(), sites.CategoryIds()[2]);

      QTest::mouseClick(fetch, Qt::LeftButton);
      QCOMPARE(status->text(), Q("正在获取代理IP...."));
      QVERIFY(!categories->isEnabled());
      QTRY_COMPARE_WITH_TIMEOUT(status->text(), Q("代理IP获取完毕！ 获取代理IP：80个"), 20000);
      QCOMPARE(app.List().ListCount(), 80);
      QCOMPARE(app.List().GetCell(0, kColAddress),
               sites.TableRows(sites.CategoryIds()[2], 1)[0].address);
      QVERIFY(categories->isEnabled());
      ui.Close();
      app.Shutdown();
    }
  }
};

}  // namespace lumvex

QTEST_MAIN(lumvex::HarvestWindowTest)
#include "test_ui_harvest.moc"
