// The update window "upgrade" over the update controller: the controller's model reaches the
// widgets, and the buttons, the close box and the timer reach the controller.
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/update_controller.h"
#include "http/fetch_client.h"
#include "text/codec.h"
#include "ui/update_window.h"
#include "ui_test_fixture.h"

using namespace lumvex;
using lumvex::test::Q;

namespace {

// Answers every manifest request with a fixed page, later on the UI thread.
class FixedPage : public update::ManifestSource {
 public:
  FixedPage(UiThread& ui, const std::string& utf8) : ui_(ui), page_(text::EncodeGbk(utf8)) {}
  void Fetch(const std::string&, std::function<void(update::ManifestPage)> done) override {
    std::string page = page_;
    ui_.Post([done = std::move(done), page] { done(update::ManifestPage(page)); });
  }

 private:
  UiThread& ui_;
  std::string page_;
};

template <typename Widget>
Widget* Find(QWidget* parent, const char* name) {
  return parent->findChild<Widget*>(QString::fromUtf8(name));
}

}  // namespace

class UpdateWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void OpeningShowsTheFormFilledFromThePage() {
    test::UiRig rig(false);
    FixedPage page(
        rig.ui, "新版本：【V1.4】新版本 更新说明一：【一】更新说明一 更新说明三：【三】更新说明三");
    UpdateConfig config;
    config.file_share_url = "http://files.test/";
    http::FetchClient fetcher(nullptr);
    UpdateController controller(rig.ui, rig.state, *rig.shell, rig.prompts, config, page, fetcher);
    UpdateWindow window(controller, rig.window.get());
    QVERIFY(!window.isVisible());
    QCOMPARE(window.objectName(), QStringLiteral("upgrade"));
    QCOMPARE(window.windowTitle(), QStringLiteral("upgrade"));

    controller.OpenUpdateWindow();
    QVERIFY(window.isVisible());
    auto* update_button = Find<QPushButton>(&window, "按钮2");
    QVERIFY(update_button);
    // Until the page has arrived "立即更新" waits.
    QVERIFY(!update_button->isEnabled());
    QTRY_VERIFY(update_button->isEnabled());
    QCOMPARE(Find<QLabel>(&window, "透明标签3")->text(), Q("新版本：V1.4"));
    QCOMPARE(Find<QLabel>(&window, "透明标签2")->text(), Q("当前版本：LumvexIP代理验证 V1.3"));
    auto* notes = Find<QListWidget>(&window, "超级列表框1");
    QCOMPARE(notes->count(), 2);
    QCOMPARE(notes->item(1)->text(), Q("三"));
    QCOMPARE(Find<QLabel>(&window, "标签进度")->text(), Q("等待下载..."));
    QCOMPARE(Find<QPushButton>(&window, "按钮1")->text(), Q("退出更新"));

    QTest::mouseClick(Find<QPushButton>(&window, "按钮3"), Qt::LeftButton);
    QCOMPARE(rig.prompts.opened, std::vector<std::string>{"http://files.test/"});
    QTest::mouseClick(Find<QPushButton>(&window, "按钮1"), Qt::LeftButton);
    QVERIFY(!controller.Window().View().open);
    QVERIFY(!window.isVisible());
  }

  void UpdateNowDisablesBothButtonsAndAFailureEnablesTheExit() {
    test::UiRig rig(false);
    // Nothing listens on port 1 of the loopback address: the download fails.
    FixedPage page(rig.ui, "新版本：【V2】新版本 下载地址：【http://127.0.0.1:1/new】下载地址");
    UpdateConfig config;
    config.download_directory = rig.dir.path().toStdString() + "/updates";
    http::FetchClient fetcher(nullptr);
    UpdateController controller(rig.ui, rig.state, *rig.shell, rig.prompts, config, page, fetcher);
    UpdateWindow window(controller, rig.window.get());
    controller.OpenUpdateWindow();
    auto* update_button = Find<QPushButton>(&window, "按钮2");
    auto* exit_button = Find<QPushButton>(&window, "按钮1");
    QTRY_VERIFY(update_button->isEnabled());
    QTest::mouseClick(update_button, Qt::LeftButton);
    QVERIFY(!update_button->isEnabled());
    QVERIFY(!exit_button->isEnabled());
    controller.OnDownloadEvent(update::kEventFailed, 7);
    QCOMPARE(Find<QLabel>(&window, "标签进度")->text(), Q("下载失败"));
    QVERIFY(exit_button->isEnabled());
    QVERIFY(!update_button->isEnabled());
    controller.Shutdown();
  }

  void ModelChangesReachTheWidgetsAndTheCloseBoxClosesThroughTheController() {
    test::UiRig rig(false);
    FixedPage page(rig.ui, "");
    http::FetchClient fetcher(nullptr);
    UpdateController controller(rig.ui, rig.state, *rig.shell, rig.prompts, UpdateConfig{}, page,
                                fetcher);
    UpdateWindow window(controller, rig.window.get());
    controller.OpenUpdateWindow();
    QTRY_COMPARE(Find<QLabel>(&window, "透明标签3")->text(), Q("新版本：无"));
    controller.Window().Change([](update::UpdateWindowView& view) {
      view.progress = 50;
      view.percent_text = "50 %";
      view.speed_text = "速度：50KB/秒 ";
      view.exit_enabled = false;
      view.timer_running = true;
    });
    QCOMPARE(Find<QProgressBar>(&window, "进度条1")->value(), 50);
    QCOMPARE(Find<QLabel>(&window, "透明标签1")->text(), Q("50 %"));
    QCOMPARE(Find<QLabel>(&window, "标签速度")->text(), Q("速度：50KB/秒 "));
    QVERIFY(!Find<QPushButton>(&window, "按钮1")->isEnabled());
    auto* timer = window.findChild<QTimer*>(QString::fromUtf8("时钟1"));
    QVERIFY(timer && timer->isActive());
    // Each tick asks the controller for the progress: with no size known the bar shows "0 %".
    controller.Window().Change([](update::UpdateWindowView& view) {
      view.progress = 0;
      view.percent_text = "?";
    });
    QTRY_COMPARE(Find<QLabel>(&window, "透明标签1")->text(), Q("0 %"));
    // The program's exit closes every dialog; the model follows.
    rig.window->CloseDialogs();
    QVERIFY(!controller.Window().View().open);
    QVERIFY(!window.isVisible());
  }
};

QTEST_MAIN(UpdateWindowTest)
#include "test_ui_update_window.moc"
