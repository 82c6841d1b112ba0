// The main window's size and the list's columns: at the default size every column up to 匿名度
// shows without scrolling and the type column holds its longest word; size, place and widths of
// an earlier run are taken back where they fit this desktop, and what cannot be taken gives the
// defaults.
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include "ui/proxy_table_model.h"
#include "ui/proxy_table_view.h"
#include "ui_test_fixture.h"

using namespace lumvex;
using lumvex::test::Row;
using lumvex::test::UiRig;

namespace {

ProxyTableView* ListView(UiRig& rig) {
  return rig.window->findChild<ProxyTableView*>(QString::fromUtf8("超级列表框1"));
}

// The width the view's delegate asks for to show the cell whole.
int WidthToShow(QTableView* view, int row, int column) {
  QStyleOptionViewItem option;
  option.initFrom(view);
  option.font = view->font();
  const QModelIndex index = view->model()->index(row, column);
  return view->itemDelegateForIndex(index)->sizeHint(option, index).width();
}

std::vector<int> DefaultWidthsAfterShow() {
  UiRig rig(false);
  rig.window->show();
  if (!QTest::qWaitForWindowExposed(rig.window.get())) return {};
  return ListView(rig)->ColumnWidths();
}

}  // namespace

class WindowLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void AllColumnsShowAtTheDefaultSize() {
    UiRig rig(false);
    QCOMPARE(rig.window->size(), QSize(725, 506));
    // Long enough to scroll down, with the widest texts each column is meant to show whole.
    for (int i = 0; i < 200; ++i) {
      ProxyEntry entry = Row("255.255.255.255", "65535", i % 2 ? "SOCKS5" : "HTTPS");
      entry.cells[kColLocation] = "内蒙古自治区呼和浩特市赛罕区中国联通数据中心机房";
      rig.list.AddRow(entry);
    }
    rig.window->table_model()->FlushPendingRows();
    rig.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
    // The widgets' least size does not push the window past its default size.
    QCOMPARE(rig.window->size(), QSize(725, 506));
    // The command column is as narrow as its buttons, the rest is the list's.
    auto* settings = rig.window->findChild<QWidget*>(QString::fromUtf8("按钮8"));
    QVERIFY(settings->width() < 2 * settings->sizeHint().width());
    ProxyTableView* view = ListView(rig);
    QTRY_VERIFY(view->verticalScrollBar()->isVisible());
    // Up to 匿名度 nothing to scroll sideways: the address stays in view with that column; the
    // two history columns are beyond it.
    const QHeaderView* header = view->horizontalHeader();
    QCOMPARE(view->horizontalScrollBar()->maximum(),
             header->sectionSize(ProxyTableModel::kColSuccessRate) +
                 header->sectionSize(ProxyTableModel::kColLastSuccess));
    QVERIFY(header->sectionViewportPosition(7) + header->sectionSize(7) <=
            view->viewport()->width());
    for (int c = 0; c < header->count(); ++c) {
      const QString title = view->model()->headerData(c, Qt::Horizontal).toString();
      QVERIFY2(header->fontMetrics().horizontalAdvance(title) < header->sectionSize(c),
               qPrintable(title));
    }
    // Address, port and both type words show whole; the long location is elided.
    for (int row : {0, 1}) {
      for (int column : {kColAddress, kColPort, kColType}) {
        QVERIFY2(WidthToShow(view, row, column) <= view->columnWidth(column),
                 qPrintable(view->model()->index(row, column).data().toString()));
      }
    }
    QVERIFY(WidthToShow(view, 0, kColLocation) > view->columnWidth(kColLocation));
    QCOMPARE(view->textElideMode(), Qt::ElideRight);
  }

  void TheTypeColumnHoldsAVerdictWhole() {
    UiRig rig(false);
    rig.list.AddRow(Row("1.2.3.4", "80"));
    CheckState running;
    running.status = CheckStatus::kRunningPool;
    rig.list.SetCheckState(0, running);
    rig.window->table_model()->FlushPendingRows();
    rig.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
    ProxyTableView* view = ListView(rig);
    QCOMPARE(view->model()->index(0, kColType).data().toString(), QString::fromUtf8("正在验证..."));
    QVERIFY(WidthToShow(view, 0, kColType) <= view->columnWidth(kColType));
  }

  void LayoutOfAnEarlierRunIsTakenBack() {
    const std::vector<int> defaults = DefaultWidthsAfterShow();
    QCOMPARE(defaults.size(), std::size_t(ProxyTableModel::kViewColumnCount));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // As a version without the history columns kept them: taken, and kept so while the history
    // columns keep their default widths.
    const std::vector<int> kept = {100, 40, 60, 50, 90, 55, 45, 40};
    const std::vector<int> kept_all = {100, 40, 60, 50, 90, 55, 45, 40, 44, 70};
    struct Case {
      const char* name;
      std::optional<WindowGeometry> geometry;
      std::vector<int> widths;
      QPoint place;  // expected
      QSize size;
      std::vector<int> expected_widths;  // empty: the defaults
    };
    const Case cases[] = {
        {"nothing kept", std::nullopt, {}, QPoint(50, 50), QSize(725, 506), {}},
        {"all kept", WindowGeometry{screen.left() + 20, screen.top() + 30, 760, 520}, kept,
         screen.topLeft() + QPoint(20, 30), QSize(760, 520), kept},
        {"all kept, the history columns too", std::nullopt, kept_all, QPoint(50, 50),
         QSize(725, 506), kept_all},
        {"a place on no screen keeps the default place",
         WindowGeometry{screen.right() + 5000, 10, 700, 520},
         {},
         QPoint(50, 50),
         QSize(700, 520),
         {}},
        {"a size beyond the screen is cut to it",
         WindowGeometry{screen.left(), screen.top(), screen.width() + 900, screen.height() + 900},
         {},
         screen.topLeft(),
         screen.size(),
         {}},
        {"widths of another column count give the defaults",
         std::nullopt,
         {100, 40, 60},
         QPoint(50, 50),
         QSize(725, 506),
         {}},
    };
    for (const Case& c : cases) {
      UiRig rig(false);
      WindowLayout layout;
      layout.geometry = c.geometry;
      layout.column_widths = c.widths;
      rig.window->RestoreLayout(layout);
      rig.window->show();
      QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
      QCOMPARE(rig.window->pos(), c.place);
      QCOMPARE(rig.window->size(), c.size);
      const std::vector<int> widths = ListView(rig)->ColumnWidths();
      if (!c.expected_widths.empty()) {
        QVERIFY2(widths == c.expected_widths, c.name);
      } else if (c.size == QSize(725, 506)) {
        QVERIFY2(widths == defaults, c.name);
      }
      // What the window hands back at exit is what it shows.
      const WindowLayout back = rig.window->Layout();
      QVERIFY2(back.geometry ==
                   (WindowGeometry{c.place.x(), c.place.y(), c.size.width(), c.size.height()}),
               c.name);
      QVERIFY2(back.column_widths == widths, c.name);
    }
  }

  void ColumnsAUserResizedAreHandedBack() {
    UiRig rig(false);
    rig.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
    ProxyTableView* view = ListView(rig);
    view->horizontalHeader()->resizeSection(kColLocation, 321);
    QCOMPARE(rig.window->Layout().column_widths[kColLocation], 321);
  }

  void EmptySourceBoxesSayWhyInTheirTooltip() {
    UiRig rig(false);
    auto* categories = rig.window->findChild<QComboBox*>(QString::fromUtf8("组合框2"));
    auto* count = rig.window->findChild<QLabel*>(QString::fromUtf8("透明标签7"));
    const std::string note = "无法访问代理IP网站：www.example.com";
    rig.state.SetTooltip(Combo::kSourceACategories, note);
    rig.state.SetTooltip(Label::kCategoryCount, note);
    QCOMPARE(categories->toolTip(), QString::fromStdString(note));
    QCOMPARE(count->toolTip(), QString::fromStdString(note));
    rig.state.SetTooltip(Combo::kSourceACategories, "");
    QVERIFY(categories->toolTip().isEmpty());
  }
};

QTEST_MAIN(WindowLayoutTest)
#include "test_ui_window_layout.moc"
