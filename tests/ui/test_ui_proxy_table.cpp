// The list's item model and view over ProxyList: rows from worker threads, model consistency,
// the verdict cell's text and colour, and the current row and selection kept in step with the list.
#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <thread>

#include "ui/proxy_sort_model.h"
#include "ui/proxy_table_model.h"
#include "ui/proxy_table_view.h"
#include "ui/qt_ui_thread.h"
#include "ui_test_fixture.h"

using namespace lumvex;
using lumvex::test::Row;

namespace {

// Five rows whose columns sort differently as numbers and as text; rows 0 and 4 share their
// address and speed. Rows 0, 2 and 4 passed a check in 0.250, 1.5 and 0.004 s; row 1 failed.
void AddSortRows(ProxyList& list) {
  const auto entry = [](std::string ip, std::string port, std::string speed, std::string place,
                        CheckState check) {
    ProxyEntry row = Row(std::move(ip), std::move(port));
    row.cells[kColSpeed] = std::move(speed);
    row.cells[kColLocation] = std::move(place);
    row.check = check;
    return row;
  };
  // A failed check's anonymity is never shown.
  list.AddRows(
      {entry("10.0.0.9", "8080", "0.5", "北京",
             {CheckStatus::kOk, 0.25, 0, 0, Anonymity::kTransparent}),
       entry("9.1.1.1", "80", "12", "上海", {CheckStatus::kFailed, 0.7, 0, 0, Anonymity::kElite}),
       entry("host.example", "3128", "", "Berlin",
             {CheckStatus::kOk, 1.5, 0, 0, Anonymity::kElite}),
       entry("socks5://10.0.0.10", "1080", "2.25", "Austin", {}),
       entry("10.0.0.9", "443", "0.5", "北京",
             {CheckStatus::kOk, 0.004, 0, 0, Anonymity::kAnonymous})});
}

// Clicks the view's header on `column`, as the user does.
void ClickHeader(QTableView& view, int column) {
  QHeaderView* header = view.horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
}

// The list rows the view shows, top to bottom.
QList<int> ShownListRows(const ProxyTableView& view) {
  QList<int> rows;
  for (int r = 0; r < view.model()->rowCount(); ++r) {
    rows << view.ListRow(view.model()->index(r, 0));
  }
  return rows;
}

}  // namespace

class ProxyTableTest : public QObject {
  Q_OBJECT

 private slots:
  void ShowsCellsAsUtf8Text() {
    QtUiThread ui;
    ProxyList list(ui);
    ProxyTableModel model(list);
    list.AddRow(Row("1.2.3.4", "8080", "成功"));
    QCOMPARE(model.rowCount(), 0);  // held back for the next batch
    QTRY_COMPARE(model.rowCount(), 1);
    QCOMPARE(model.index(0, 2).data().toString(), QString::fromUtf8("成功"));
    QCOMPARE(model.index(0, 4).data().toString(), QString::fromUtf8("北京"));
    QVERIFY(!model.index(0, ProxyTableModel::kColMeasured).data().isValid());  // no check passed
    QVERIFY(!model.index(0, 7).data().isValid());
    QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
    ui.Close();
  }

  // The verdict cell's tooltip says why the check ended so; a row the judge kept from a verdict
  // shows its own type and says that instead.
  void VerdictCellTellsItsReason() {
    QtUiThread ui;
    ProxyList list(ui);
    ProxyTableModel model(list);
    ProxyEntry failed = Row("1.2.3.4", "8080");
    failed.check = {CheckStatus::kFailed,   1.5, 403, 0, Anonymity::kUnknown,
                    CheckReason::kProxySaid};
    ProxyEntry busy = Row("1.2.3.5", "8080", "HTTP");
    busy.check = {CheckStatus::kNone, 60, 429, 0, Anonymity::kUnknown, CheckReason::kJudgeBusy};
    list.AddRows({failed, busy, Row("1.2.3.6", "80", "成功")});
    QTRY_COMPARE(model.rowCount(), 3);
    QCOMPARE(model.index(0, kColType).data().toString(), QString::fromUtf8("失败"));
    QCOMPARE(model.index(0, kColType).data(Qt::ToolTipRole).toString(), QString("proxy said 403"));
    QCOMPARE(model.index(1, kColType).data().toString(), QString("HTTP"));
    QCOMPARE(model.index(1, kColType).data(Qt::ToolTipRole).toString(), QString("judge busy"));
    // Without a reason the tooltip is the cell's text, as in every other cell.
    QCOMPARE(model.index(2, kColType).data(Qt::ToolTipRole).toString(), QString::fromUtf8("成功"));
    QCOMPARE(model.index(0, kColAddress).data(Qt::ToolTipRole).toString(), QString("1.2.3.4"));
    ui.Close();
  }

  void WorkerAppendsChangesAndDeletesKeepTheModelConsistent() {
    QtUiThread ui;
    ProxyList list(ui);
    ProxyTableModel model(list);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    ProxyTableView view;
    view.SetProxyModel(&model);

    constexpr int kRows = 300;
    std::atomic<bool> done{false};
    std::thread worker([&] {
      for (int i = 0; i < kRows; ++i) {
        list.AddRow(Row("10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256),
                        std::to_string(1000 + i)));
        if (i % 7 == 0) list.SetCheckState(i, CheckState{CheckStatus::kFailed});
        if (i % 50 == 49) list.DeleteRow(0);
      }
      list.InsertRow(0, "9.9.9.9");
      done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 30000);
    worker.join();
    QCoreApplication::processEvents();
    const int expected = kRows - kRows / 50 + 1;
    QCOMPARE(model.rowCount(), expected);
    QCOMPARE(list.ListCount(), expected);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("9.9.9.9"));
    // Row i's cells as the list has them, row for row.
    for (int r = 0; r < expected; r += 37) {
      for (int c = 0; c < kProxyColumnCount; ++c) {
        QCOMPARE(model.index(r, c).data().toString().toStdString(), list.GetCell(r, c));
      }
    }
    list.ReplaceAll({Row("1.1.1.1", "1"), Row("2.2.2.2", "2")});
    QCOMPARE(model.rowCount(), 2);
    list.DeleteAllRows();
    QCOMPARE(model.rowCount(), 0);
    ui.Close();
  }

  void HeldBackAppendsAreAnnouncedBeforeAnyOtherChange() {
    QtUiThread ui;
    ProxyList list(ui);
    ProxyTableModel model(list);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QStringList events;
    connect(&model, &QAbstractItemModel::rowsInserted, this,
            [&](const QModelIndex&, int first, int last) {
              events << QStringLiteral("insert %1-%2").arg(first).arg(last);
            });
    connect(&model, &QAbstractItemModel::rowsRemoved, this,
            [&](const QModelIndex&, int first, int last) {
              events << QStringLiteral("remove %1-%2").arg(first).arg(last);
            });
    connect(&model, &QAbstractItemModel::dataChanged, this,
            [&](const QModelIndex& from, const QModelIndex&) {
              events << QStringLiteral("change %1").arg(from.row());
            });
    for (int i = 0; i < 3; ++i) list.AddRow(Row("10.0.0." + std::to_string(i), "80"));
    list.SetCheckState(1, CheckState{CheckStatus::kOk});  // a row the view has not been told of yet
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.PendingRowCount(), 3);
    list.DeleteRow(0);
    QCOMPARE(events, QStringList({"insert 0-2", "remove 0-0"}));
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.index(0, kColType).data().toString(), QString::fromUtf8("成功"));
    list.SetCheckState(0, CheckState{CheckStatus::kFailed});
    QCOMPARE(events.back(), QStringLiteral("change 0"));
    list.InsertRow(1, "9.9.9.9");  // not at the end: announced at once
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("9.9.9.9"));
    list.AddRow(Row("8.8.8.8", "80"));
    QTRY_COMPARE(model.rowCount(), 4);  // the batch timer announces the rest
    QCOMPARE(events.back(), QStringLiteral("insert 3-3"));
    list.AddRow(Row("7.7.7.7", "80"));
    list.ReplaceAll({Row("1.1.1.1", "1")});  // a reset takes the held-back rows along
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.PendingRowCount(), 0);
    // Many rows at once (a loaded file) are announced at once, after any held-back row.
    list.AddRow(Row("6.6.6.6", "80"));
    events.clear();
    list.AddRows({Row("5.5.5.5", "80"), Row("4.4.4.4", "80")});
    QCOMPARE(events, QStringList({"insert 1-1", "insert 2-3"}));
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.index(3, 0).data().toString(), QStringLiteral("4.4.4.4"));
    ui.Close();
  }

  // The verdict cell's text and colour come from the row's check state and mark. Each case is a
  // row's type text, the checks it then goes through, and what its verdict cell shows.
  void VerdictCellShowsTheCheckStateInItsColour() {
    QtUiThread ui;
    ProxyList list(ui);
    ProxyTableModel model(list);
    const QColor red(255, 0, 0);
    const CheckState failed{CheckStatus::kFailed};
    const CheckState busy{CheckStatus::kNone,     60, 429, 0, Anonymity::kUnknown,
                          CheckReason::kJudgeBusy};
    const struct {
      const char* type;
      std::vector<CheckState> checks;
      const char* text;
      QColor colour;  // invalid: the list's own
    } cases[] = {
        {"HTTP", {}, "HTTP", {}},
        {"HTTP", {{CheckStatus::kRunningPool}}, "正在验证...", {}},
        {"HTTP", {{CheckStatus::kRunningMenu}}, "正在验证", {}},
        {"HTTP", {{CheckStatus::kOk}}, "成功", {}},
        {"HTTP", {failed}, "失败", red},
        // A new check keeps the red of the failure before it until its own verdict.
        {"HTTP", {failed, {CheckStatus::kRunningPool}}, "正在验证...", red},
        {"HTTP", {failed, {CheckStatus::kRunningMenu}}, "正在验证", red},
        {"HTTP", {failed, {CheckStatus::kRunningMenu}, {CheckStatus::kOk}}, "成功", {}},
        // A judge kept busy decides nothing: the source's type shows again, in the list's colour.
        {"HTTP", {failed, busy}, "HTTP", {}},
        // A verdict loaded with the list carries no red.
        {"失败", {}, "失败", {}},
        {"失败", {failed}, "失败", red},
    };
    for (const auto& c : cases) {
      list.ReplaceAll({Row("1.1.1.1", "1", c.type)});
      for (const CheckState& check : c.checks) list.SetCheckState(0, check);
      const QString what = QString::fromUtf8(c.type) + " -> " + QString::fromUtf8(c.text);
      QVERIFY2(model.index(0, kColType).data().toString() == QString::fromUtf8(c.text),
               qPrintable(what));
      const QVariant colour = model.index(0, kColType).data(Qt::ForegroundRole);
      QVERIFY2(colour.isValid() == c.colour.isValid(), qPrintable(what));
      if (c.colour.isValid()) QVERIFY2(colour.value<QColor>() == c.colour, qPrintable(what));
      QVERIFY(!model.index(0, kColType).data(Qt::BackgroundRole).isValid());
      for (int column = 0; column < ProxyTableModel::kViewColumnCount; ++column) {
        if (column == kColType) continue;
        QVERIFY2(!model.index(0, column).data(Qt::ForegroundRole).isValid(), qPrintable(what));
      }
    }
    ui.Close();
  }

  void RedVerdictsRepaintAndTravelWithTheirRows() {
    QtUiThread ui;
    ProxyList list(ui);
    ProxyTableModel model(list);
    list.AddRows({Row("1.1.1.1", "1"), Row("2.2.2.2", "2")});
    model.FlushPendingRows();
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    // A worker's verdict is a list step: it runs on this thread, which keeps its events flowing.
    std::atomic<bool> set{false};
    std::thread worker([&] {
      list.SetCheckState(1, CheckState{CheckStatus::kFailed});
      set = true;
    });
    QTRY_VERIFY(set.load());
    worker.join();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].toModelIndex(), model.index(1, kColType));
    QCOMPARE(model.index(1, kColType).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));

    // The red travels with its row: a row inserted above and one deleted above move it along,
    // and the view repaints the cells that now show it.
    list.InsertRow(0, "9.9.9.9");
    QCOMPARE(model.index(2, kColType).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    QVERIFY(!model.index(1, kColType).data(Qt::ForegroundRole).isValid());
    list.DeleteRow(1);
    QCOMPARE(model.index(1, kColType).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    QVERIFY(!model.index(0, kColType).data(Qt::ForegroundRole).isValid());

    // Clearing the marks repaints each cell that had one.
    changed.clear();
    list.ClearCheckMarks();
    QTRY_COMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].toModelIndex(), model.index(1, kColType));
    QVERIFY(!model.index(1, kColType).data(Qt::ForegroundRole).isValid());
    QCOMPARE(model.index(1, kColType).data().toString(), QString::fromUtf8("失败"));
    ui.Close();
  }

  void VerdictChangesAfterTheModelIsGoneAreDropped() {
    QtUiThread ui;
    ProxyList list(ui);
    list.AddRow(Row("1.1.1.1", "1"));
    {
      ProxyTableModel model(list);
      // Repaint queued, model destroyed before it.
      list.SetCheckState(0, CheckState{CheckStatus::kFailed});
    }
    list.SetCheckState(0, CheckState{CheckStatus::kOk});  // no observer any more
    QCoreApplication::processEvents();
    QCOMPARE(list.GetCheckState(0).status, CheckStatus::kOk);
    ui.Close();
  }

  void ViewMarksFollowTheListBothWays() {
    QtUiThread ui;
    ProxyList list(ui);
    ProxyTableModel model(list);
    ProxyTableView view;
    view.SetProxyModel(&model);
    for (int i = 0; i < 6; ++i) list.AddRow(Row("10.0.0." + std::to_string(i), "80"));
    model.FlushPendingRows();

    // The user selects rows 1 and 3 and puts the cursor on 3.
    auto* selection = view.selectionModel();
    // In the list's order (no header clicked) the view's rows are the list's.
    const QAbstractItemModel* shown = view.model();
    selection->select(shown->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->setCurrentIndex(shown->index(3, 0),
                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(list.CurrentRow(), 3);
    QCOMPARE(list.SelectedRows(), (std::vector<int>{1, 3}));

    // A worker deletes row 0: the list moves its marks up once, and the view shows them.
    std::atomic<bool> deleted{false};
    std::thread worker([&] {
      list.DeleteRow(0);
      deleted = true;
    });
    // The GUI thread keeps its loop running while the worker waits for it.
    QTRY_VERIFY(deleted.load());
    worker.join();
    QCoreApplication::processEvents();
    QCOMPARE(list.CurrentRow(), 2);
    QCOMPARE(list.SelectedRows(), (std::vector<int>{0, 2}));
    QCOMPARE(selection->currentIndex().row(), 2);
    QVERIFY(selection->isRowSelected(0, QModelIndex()));
    QVERIFY(selection->isRowSelected(2, QModelIndex()));
    QVERIFY(!selection->isRowSelected(1, QModelIndex()));

    // The program sets the marks: the view follows.
    list.SetSelectedRows({4});
    list.SetCurrentRow(4);
    list.InsertRow(0, "1.1.1.1");  // shifts marks and announces them
    QCoreApplication::processEvents();
    QCOMPARE(list.CurrentRow(), 5);
    QCOMPARE(selection->currentIndex().row(), 5);
    QVERIFY(selection->isRowSelected(5, QModelIndex()));

    list.DeleteAllRows();
    QCoreApplication::processEvents();
    QCOMPARE(list.CurrentRow(), -1);
    QVERIFY(list.SelectedRows().empty());
    QVERIFY(!selection->hasSelection());
    ui.Close();
  }

  void ClickedHeaderSortsTheView_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<QList<int>>("order");  // list rows, top to bottom
    // IPv4 by value (after a scheme), other addresses after them; equal cells keep list order.
    QTest::newRow("address") << int{kColAddress} << 1 << QList<int>{1, 0, 4, 3, 2};
    QTest::newRow("address reversed") << int{kColAddress} << 2 << QList<int>{2, 3, 4, 0, 1};
    QTest::newRow("port as number") << int{kColPort} << 1 << QList<int>{1, 4, 3, 2, 0};
    QTest::newRow("speed as number") << int{kColSpeed} << 1 << QList<int>{0, 4, 3, 1, 2};
    QTest::newRow("place as text") << int{kColLocation} << 1 << QList<int>{3, 2, 1, 0, 4};
    // Rows with no passed check have no seconds and come last.
    QTest::newRow("measured") << ProxyTableModel::kColMeasured << 1 << QList<int>{4, 0, 2, 1, 3};
    QTest::newRow("measured reversed")
        << ProxyTableModel::kColMeasured << 2 << QList<int>{3, 1, 2, 0, 4};
    // 高匿, 匿名, 透明, then rows without a passed check through a judge.
    QTest::newRow("anonymity") << ProxyTableModel::kColAnonymity << 1 << QList<int>{2, 4, 0, 1, 3};
    QTest::newRow("anonymity reversed")
        << ProxyTableModel::kColAnonymity << 2 << QList<int>{3, 1, 0, 4, 2};
  }

  void ClickedHeaderSortsTheView() {
    QFETCH(int, column);
    QFETCH(int, clicks);
    QFETCH(QList<int>, order);
    QtUiThread ui;
    ProxyList list(ui);
    ProxyTableModel model(list);
    ProxyTableView view;
    view.SetProxyModel(&model);
    view.resize(900, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    AddSortRows(list);
    QCOMPARE(ShownListRows(view), (QList<int>{0, 1, 2, 3, 4}));  // the list's order at first
    for (int i = 0; i < clicks; ++i) ClickHeader(view, column);
    QCOMPARE(ShownListRows(view), order);
    // The list keeps its own order, and the seconds show in the view only.
    QCOMPARE(list.GetCell(0, kColPort), std::string("8080"));
    QCOMPARE(model.index(0, ProxyTableModel::kColMeasured).data().toString(), QString("0.250"));
    QCOMPARE(model.index(4, ProxyTableModel::kColMeasured).data().toString(), QString("0.004"));
    QVERIFY(!model.index(1, ProxyTableModel::kColMeasured).data().isValid());
    QCOMPARE(model.index(0, ProxyTableModel::kColAnonymity).data().toString(),
             QString::fromUtf8("透明"));
    QCOMPARE(model.index(2, ProxyTableModel::kColAnonymity).data().toString(),
             QString::fromUtf8("高匿"));
    QVERIFY(!model.index(1, ProxyTableModel::kColAnonymity).data().isValid());
    ui.Close();
  }

  void RowOperationsKeepToListRowsWhileSorted() {
    QtUiThread ui;
    ProxyList list(ui);
    ProxyTableModel model(list);
    ProxyTableView view;
    view.SetProxyModel(&model);
    QAbstractItemModelTester tester(view.model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    AddSortRows(list);
    view.sortByColumn(ProxyTableModel::kColMeasured, Qt::AscendingOrder);
    QCOMPARE(ShownListRows(view), (QList<int>{4, 0, 2, 1, 3}));
    // The view's marks are the list's, mapped.
    const auto view_marks_match_list = [&] {
      QList<int> selected;
      for (const QModelIndex& index : view.selectionModel()->selectedRows()) {
        selected << view.ListRow(index);
      }
      std::sort(selected.begin(), selected.end());
      const std::vector<int> rows = list.SelectedRows();
      return selected == QList<int>(rows.begin(), rows.end()) &&
             view.ListRow(view.selectionModel()->currentIndex()) == list.CurrentRow();
    };

    // The user selects the first and third rows shown, the cursor on the third: list rows 4, 2.
    auto* selection = view.selectionModel();
    const QAbstractItemModel* shown = view.model();
    selection->select(shown->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->setCurrentIndex(shown->index(2, 0),
                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(list.CurrentRow(), 2);
    QCOMPARE(list.SelectedRows(), (std::vector<int>{2, 4}));

    // A verdict re-sorts its row; the selection stays on the same list rows.
    list.SetCheckState(1, {CheckStatus::kOk, 0.1});
    QCOMPARE(ShownListRows(view), (QList<int>{4, 1, 0, 2, 3}));
    QCOMPARE(list.CurrentRow(), 2);
    QCOMPARE(list.SelectedRows(), (std::vector<int>{2, 4}));
    QVERIFY(view_marks_match_list());

    // The program moves the cursor (切换IE代理): the view shows that list row as current.
    list.MoveCursorTo(3);
    QCOMPARE(view.ListRow(selection->currentIndex()), 3);
    QCOMPARE(selection->currentIndex().row(), 4);
    QVERIFY(view_marks_match_list());

    // Deleting the current list row removes that row, wherever it shows.
    list.SetSelectedRows({0, 3});
    list.DeleteRow(list.CurrentRow());
    QCoreApplication::processEvents();
    QCOMPARE(list.ListCount(), 4);
    QCOMPARE(ShownListRows(view), (QList<int>{3, 1, 0, 2}));
    QVERIFY(view_marks_match_list());

    // A row added while sorted takes its place in the sorted order.
    ProxyEntry added = Row("1.1.1.1", "1");
    added.check = {CheckStatus::kOk, 0.05};
    list.AddRow(added);
    QTRY_COMPARE(shown->rowCount(), 5);
    QCOMPARE(ShownListRows(view), (QList<int>{3, 4, 1, 0, 2}));
    QVERIFY(view_marks_match_list());
    ui.Close();
  }
};

QTEST_MAIN(ProxyTableTest)
#include "test_ui_proxy_table.moc"
