// The Qt UiThread, the file-dialog filter, the missing-display message and the exit signals.
#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <csignal>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "ui/display_check.h"
#include "ui/exit_signal_notifier.h"
#include "ui/qt_ui_thread.h"
#include "ui/qt_user_prompts.h"

using namespace lumvex;

class UiSupportTest : public QObject {
  Q_OBJECT

 private slots:
  void RunSyncRunsOnTheGuiThreadAndWaits() {
    QtUiThread ui;
    QVERIFY(ui.IsUiThread());
    const auto gui = std::this_thread::get_id();
    std::thread::id ran_on;
    std::atomic<bool> returned{false};
    bool result = false;
    std::thread worker([&] {
      result = ui.RunSync([&] { ran_on = std::this_thread::get_id(); });
      returned = true;
    });
    QTRY_VERIFY(returned.load());
    worker.join();
    QVERIFY(result);
    QVERIFY(ran_on == gui);

    // On the GUI thread itself the work runs at once.
    bool inline_ran = false;
    QVERIFY(ui.RunSync([&] { inline_ran = true; }));
    QVERIFY(inline_ran);
    ui.Close();
  }

  void PostedAndSynchronousWorkRunInHandOverOrder() {
    QtUiThread ui;
    std::vector<int> order;
    std::atomic<bool> done{false};
    std::thread worker([&] {
      ui.Post([&] { order.push_back(1); });
      ui.RunSync([&] { order.push_back(2); });
      ui.Post([&] { order.push_back(3); });
      ui.RunSync([&] { order.push_back(4); });
      done = true;
    });
    QTRY_VERIFY(done.load());
    worker.join();
    QCoreApplication::processEvents();
    QCOMPARE(order, (std::vector<int>{1, 2, 3, 4}));
    ui.Close();
  }

  void CloseReleasesAWorkerWaitingInRunSync() {
    QtUiThread ui;
    std::atomic<bool> queued{false};
    std::atomic<int> result{-1};
    bool ran = false;
    std::thread worker([&] {
      queued = true;
      result = ui.RunSync([&] { ran = true; }) ? 1 : 0;
    });
    // The GUI thread does not run its event loop: the worker is stuck until Close.
    while (!queued) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ui.Close();
    worker.join();  // would hang if Close left the worker waiting
    QCOMPARE(result.load(), 0);
    QCoreApplication::processEvents();
    QVERIFY(!ran);

    // Once closed nothing runs, from any thread.
    bool late = false;
    QVERIFY(!ui.RunSync([&] { late = true; }));
    ui.Post([&] { late = true; });
    std::thread other([&] { result = ui.RunSync([&] { late = true; }) ? 1 : 0; });
    other.join();
    QCOMPARE(result.load(), 0);
    QCoreApplication::processEvents();
    QVERIFY(!late);
  }

  void ManyWorkersHandOverWithoutLoss() {
    QtUiThread ui;
    int counter = 0;  // touched only on the GUI thread
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < 8; ++t) {
      workers.emplace_back([&] {
        for (int i = 0; i < 500; ++i) ui.RunSync([&] { ++counter; });
        ++finished;
      });
    }
    QTRY_COMPARE_WITH_TIMEOUT(finished.load(), 8, 30000);
    for (auto& w : workers) w.join();
    QCOMPARE(counter, 4000);
    ui.Close();
  }

  void FileDialogFilterInQtForm() {
    QCOMPARE(QtUserPrompts::ToQtFilter("文本(*.txt)|*.txt"), QString::fromUtf8("文本(*.txt)"));
    QCOMPARE(QtUserPrompts::ToQtFilter("Text|*.txt|All|*.*"),
             QStringLiteral("Text (*.txt);;All (*.*)"));
    QCOMPARE(QtUserPrompts::ToQtFilter(""), QString());
    QCOMPARE(QtUserPrompts::ToQtFilter("Text|"), QStringLiteral("Text ()"));
  }

  void MissingDisplayIsExplained() {
    std::map<std::string, std::string> env;
    auto getenv = [&env](const char* name) -> const char* {
      auto it = env.find(name);
      return it == env.end() ? nullptr : it->second.c_str();
    };
    const std::string message = MissingDisplayMessage(getenv);
    QVERIFY(message.find("DISPLAY") != std::string::npos);
    QVERIFY(message.find("xvfb-run -a bash scripts/start.sh") != std::string::npos);
    env["DISPLAY"] = "";  // set but empty is no display
    QVERIFY(!MissingDisplayMessage(getenv).empty());
    env["DISPLAY"] = ":0";
    QVERIFY(MissingDisplayMessage(getenv).empty());
    env.clear();
    env["WAYLAND_DISPLAY"] = "wayland-0";
    QVERIFY(MissingDisplayMessage(getenv).empty());
    env.clear();
    env["QT_QPA_PLATFORM"] = "offscreen";
    QVERIFY(MissingDisplayMessage(getenv).empty());
  }

  void TerminatingSignalsBecomeOneExitRequest() {
    ExitSignalNotifier notifier;
    QVERIFY(notifier.installed());
    ExitSignalNotifier second;  // the handlers have one owner
    QVERIFY(!second.installed());
    QSignalSpy spy(&notifier, &ExitSignalNotifier::ExitRequested);
    std::raise(SIGTERM);
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy[0][0].toInt(), SIGTERM);
    std::raise(SIGINT);  // the exit path is already running: no second request
    QTest::qWait(50);
    QCOMPARE(spy.count(), 1);
  }

  void HangUpLeavesThroughTheExitPathToo() {
    // Ending a login session sends SIGHUP right after SIGTERM (and closing the terminal sends it
    // alone); left to its default it would end the process before the list is saved.
    ExitSignalNotifier notifier;
    QVERIFY(notifier.installed());
    QSignalSpy spy(&notifier, &ExitSignalNotifier::ExitRequested);
    std::raise(SIGHUP);
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy[0][0].toInt(), SIGHUP);
  }

  void HangUpIgnoredByTheStarterStaysIgnored() {
    // Started through nohup: closing the terminal must not end the program.
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    struct sigaction before = {};
    sigaction(SIGHUP, &ignore, &before);
    {
      ExitSignalNotifier notifier;
      QVERIFY(notifier.installed());
      QSignalSpy spy(&notifier, &ExitSignalNotifier::ExitRequested);
      std::raise(SIGHUP);
      // The other signals still end it; a request for the hang-up would have come first.
      std::raise(SIGTERM);
      QTRY_COMPARE(spy.count(), 1);
      QCOMPARE(spy[0][0].toInt(), SIGTERM);
    }
    struct sigaction after = {};
    sigaction(SIGHUP, &before, &after);
    QVERIFY(after.sa_handler == SIG_IGN);
  }

  void HandlersAreGivenBackWhenTheNotifierGoes() {
    struct sigaction before = {};
    struct sigaction before_hup = {};
    sigaction(SIGTERM, nullptr, &before);
    sigaction(SIGHUP, nullptr, &before_hup);
    {
      ExitSignalNotifier notifier;
      QVERIFY(notifier.installed());
    }
    struct sigaction current = {};
    sigaction(SIGTERM, nullptr, &current);
    QVERIFY(current.sa_handler == before.sa_handler);
    sigaction(SIGHUP, nullptr, &current);
    QVERIFY(current.sa_handler == before_hup.sa_handler);
    ExitSignalNotifier again;  // can be installed anew
    QVERIFY(again.installed());
  }
};

QTEST_MAIN(UiSupportTest)
#include "test_ui_support.moc"
