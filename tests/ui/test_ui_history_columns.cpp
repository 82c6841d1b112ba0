// The two columns of the check history, 成功率 and 最近成功: their texts, their order by value
// when sorted, and one repaint (and re-sort) for many records written.
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>

#include "history/proxy_health.h"
#include "ui/proxy_table_model.h"
#include "ui/proxy_table_view.h"
#include "ui/qt_ui_thread.h"
#include "ui_test_fixture.h"

using namespace lumvex;
using lumvex::test::Row;

namespace {

constexpr std::int64_t kT = 1'600'000'000;  // 2020-09-13 12:26:40 UTC

class FakeHistory : public HealthSource {
 public:
  std::optional<ProxyHealth> HealthOf(std::string_view address) const override {
    const auto found = health.find(std::string(address));
    if (found == health.end()) return std::nullopt;
    return found->second;
  }
  std::map<std::string, ProxyHealth> health;
};

ProxyHealth Health(int checks, int successes, std::int64_t last_success) {
  ProxyHealth health;
  health.checks = checks;
  health.successes = successes;
  health.last_success = last_success;
  return health;
}

QList<int> ShownListRows(const ProxyTableView& view) {
  QList<int> rows;
  for (int r = 0; r < view.model()->rowCount(); ++r) rows << view.ListRow(view.model()->index(r, 0));
  return rows;
}

}  // namespace

class HistoryColumnsTest : public QObject {
  Q_OBJECT

 private slots:
  void ShownSortedByValueAndRepaintedOnceForManyRecords() {
    qputenv("TZ", "UTC");
    tzset();
    QtUiThread ui;
    ProxyList list(ui);
    ProxyTableModel model(list);
    ProxyTableView view;
    view.SetProxyModel(&model);
    view.resize(900, 300);
    FakeHistory history;
    // The rate sorts as a number ("100%" after "10%" as text), the time as a time.
    history.health = {{"10.0.0.9:8080", Health(10, 9, kT)},
                      {"9.1.1.1:80", Health(4, 0, 0)},
                      {"host.example:3128", Health(2, 2, kT + 600)},
                      {"10.0.0.9:443", Health(10, 1, kT + 86400 * 40)}};
    list.AddRows({Row("10.0.0.9", "8080"), Row("9.1.1.1", "80"), Row("host.example", "3128"),
                  Row("socks5://10.0.0.10", "1080"), Row("10.0.0.9", "443")});
    model.FlushPendingRows();
    QVERIFY(!model.index(0, ProxyTableModel::kColSuccessRate).data().isValid());  // no source
    model.SetHealthSource(&history);
    const auto text = [&](int row, int column) { return model.index(row, column).data().toString(); };
    const QStringList rates = {"90%", "0%", "100%", "", "10%"};
    const QStringList lasts = {"09-13 12:26", "", "09-13 12:36", "", "10-23 12:26"};
    for (int row = 0; row < 5; ++row) {
      QCOMPARE(text(row, ProxyTableModel::kColSuccessRate), rates[row]);
      QCOMPARE(text(row, ProxyTableModel::kColLastSuccess), lasts[row]);
    }
    QCOMPARE(model.headerData(ProxyTableModel::kColSuccessRate, Qt::Horizontal).toString(),
             QString::fromUtf8("成功率"));
    QCOMPARE(model.headerData(ProxyTableModel::kColLastSuccess, Qt::Horizontal).toString(),
             QString::fromUtf8("最近成功"));

    // Best first; rows without a history (or a success) last, in the list's order.
    view.sortByColumn(ProxyTableModel::kColLastSuccess, Qt::AscendingOrder);
    QCOMPARE(ShownListRows(view), (QList<int>{4, 2, 0, 1, 3}));
    view.sortByColumn(ProxyTableModel::kColSuccessRate, Qt::AscendingOrder);
    QCOMPARE(ShownListRows(view), (QList<int>{2, 0, 4, 1, 3}));

    // Records written many times over: one repaint of the two columns, and the order follows.
    QSignalSpy repaints(&model, &QAbstractItemModel::dataChanged);
    history.health["socks5://10.0.0.10:1080"] = Health(5, 5, kT);
    for (int i = 0; i < 100; ++i) model.HealthChanged();
    QVERIFY(repaints.wait(5000));
    QTest::qWait(2 * ProxyTableModel::kHealthRefreshMs);
    QCOMPARE(repaints.count(), 1);
    const auto first = repaints.at(0).at(0).value<QModelIndex>();
    const auto last = repaints.at(0).at(1).value<QModelIndex>();
    QCOMPARE(first.column(), ProxyTableModel::kColSuccessRate);
    QCOMPARE(last.column(), ProxyTableModel::kColLastSuccess);
    QCOMPARE(last.row(), 4);
    QCOMPARE(ShownListRows(view), (QList<int>{2, 3, 0, 4, 1}));
    ui.Close();
  }
};

QTEST_MAIN(HistoryColumnsTest)
#include "test_ui_history_columns.moc"
