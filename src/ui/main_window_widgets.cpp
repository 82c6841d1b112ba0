#include "ui/main_window_widgets.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/proxy_table_view.h"
#include "ui/qt_text.h"

namespace lumvex {

namespace {

QPushButton* MakeButton(Command command, int width) {
  auto* button = Named(new QPushButton(Q(CommandCaption(command))), CommandFormName(command));
  button->setFixedHeight(24);
  button->setMinimumWidth(width);
  button->setAutoDefault(false);
  return button;
}

QLabel* MakeLink(Link link) {
  auto* label = Named(new QLabel, LinkFormName(link));
  label->setTextFormat(Qt::RichText);
  label->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
  label->setFixedHeight(16);
  label->setCursor(Qt::PointingHandCursor);
  return label;
}

// The command column: buttons, links, picture, update button.
QVBoxLayout* BuildCommandColumn(MainWindowWidgets& w) {
  auto* column = new QVBoxLayout;
  // 5 px between the rows keeps the column (and so the window's least height) within the
  // window's default height, the counters' status bar included.
  column->setSpacing(5);
  auto add = [&](Command c) {
    w.buttons[static_cast<int>(c)] = MakeButton(c, 83);
    column->addWidget(w.buttons[static_cast<int>(c)]);
  };
  add(Command::kSettings);
  column->addSpacing(6);
  add(Command::kFetch);
  add(Command::kValidate);
  add(Command::kStopValidation);
  column->addSpacing(12);
  add(Command::kCleanFailed);
  add(Command::kExport);
  auto* pair = new QHBoxLayout;
  pair->setSpacing(7);
  for (Command c : {Command::kDeleteRow, Command::kClearList}) {
    QPushButton* button = MakeButton(c, 38);
    // The pair shares the column's width: their own width wish (a style's least button width)
    // would double the column and take it from the list.
    button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    w.buttons[static_cast<int>(c)] = button;
    pair->addWidget(button);
  }
  column->addLayout(pair);
  add(Command::kAddProxy);
  add(Command::kImport);
  add(Command::kPaste);
  column->addStretch(1);
  for (int i = 0; i < kLinkCount; ++i) {
    w.links[i] = MakeLink(static_cast<Link>(i));
    column->addWidget(w.links[i]);
  }
  w.proxy_picture = Named(new QLabel, "图片框1");
  w.proxy_picture->setFixedSize(48, 48);
  column->addWidget(w.proxy_picture, 0, Qt::AlignHCenter);
  add(Command::kUpdateCheck);
  return column;
}

QComboBox* MakeCombo(MainWindowWidgets& w, Combo combo) {
  auto* box = Named(new QComboBox, ComboFormName(combo));
  box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  box->setMinimumContentsLength(8);
  w.combos[static_cast<int>(combo)] = box;
  return box;
}

QLabel* MakeLabel(MainWindowWidgets& w, Label label, std::string_view caption) {
  auto* widget = Named(new QLabel(Q(caption)), LabelFormName(label));
  w.labels[static_cast<int>(label)] = widget;
  return widget;
}

QRadioButton* MakeRadio(MainWindowWidgets& w, Radio radio) {
  auto* button =
      Named(new QRadioButton(QString::fromUtf8("获取此数据库代理IP")), RadioFormName(radio));
  // The two radios sit in different group boxes but form one choice; the state decides which
  // one is checked, so Qt's automatic exclusivity stays off.
  button->setAutoExclusive(false);
  w.radios[static_cast<int>(radio)] = button;
  return button;
}

// The two source selector groups under the list.
QHBoxLayout* BuildSourceRow(MainWindowWidgets& w) {
  auto* row = new QHBoxLayout;
  w.source_a_box =
      Named(new QGroupBox(QString::fromUtf8("每天自动更新代理IP数据库列表")), "分组框3");
  auto* a = new QGridLayout(w.source_a_box);
  a->addWidget(MakeLabel(w, Label::kCategoryCount, "当前数据库共有IP："), 0, 0, 1, 2);
  a->addWidget(MakeCombo(w, Combo::kSourceACategories), 1, 0, 1, 2);
  a->addWidget(MakeRadio(w, Radio::kSourceA), 2, 0, 1, 2);
  row->addWidget(w.source_a_box, 264);

  w.source_b_box = Named(new QGroupBox, "分组框2");
  auto* b = new QGridLayout(w.source_b_box);
  b->addWidget(MakeLabel(w, Label::kDatabase, "代理IP数据库："), 0, 0);
  b->addWidget(MakeCombo(w, Combo::kSourceBDatabases), 0, 1);
  b->addWidget(MakeCombo(w, Combo::kSourceBPages), 1, 0, 1, 2);
  b->addWidget(MakeRadio(w, Radio::kSourceB), 2, 0, 1, 2);
  row->addWidget(w.source_b_box, 312);
  return row;
}

// The counters in the status bar.
void BuildResults(QMainWindow* window, MainWindowWidgets& w) {
  static constexpr std::array<const char*, kCounterCount> kCaptions = {
      "获取IP个数：", "测试ip成功个数：", "测试ip失败个数："};
  QStatusBar* bar = window->statusBar();
  for (int i = 0; i < kCounterCount; ++i) {
    auto* caption = new QLabel(QString::fromUtf8(kCaptions[static_cast<size_t>(i)]));
    auto* value = Named(new QLabel(QStringLiteral("0")), CounterFormName(static_cast<Counter>(i)));
    value->setMinimumWidth(48);
    bar->addWidget(caption);
    bar->addWidget(value);
    w.counters[static_cast<size_t>(i)] = value;
  }
}

}  // namespace

MainWindowWidgets BuildMainWindowWidgets(QMainWindow* window) {
  MainWindowWidgets w;
  auto* central = new QWidget(window);
  auto* outer = new QVBoxLayout(central);
  outer->setContentsMargins(8, 0, 8, 4);
  w.list_frame = Named(new QGroupBox(central), "分组框1");
  outer->addWidget(w.list_frame);

  auto* frame = new QHBoxLayout(w.list_frame);
  auto* left = new QVBoxLayout;
  auto* status_row = new QHBoxLayout;
  w.status_caption = Named(new QLabel(Q(kStatusCaption)), "标签4");
  w.status_line = Named(new QLineEdit, "编辑框3");
  w.status_line->setReadOnly(true);
  status_row->addWidget(w.status_caption);
  status_row->addWidget(w.status_line, 1);
  left->addLayout(status_row);
  w.list_view = Named(new ProxyTableView, "超级列表框1");
  left->addWidget(w.list_view, 1);
  left->addLayout(BuildSourceRow(w));
  frame->addLayout(left, 1);
  frame->addLayout(BuildCommandColumn(w));

  window->setCentralWidget(central);
  BuildResults(window, w);
  w.timer = Named(new QTimer(window), "时钟1");
  return w;
}

}  // namespace lumvex
