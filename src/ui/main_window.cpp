#include "ui/main_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>

#include "ui/about_dialog.h"
#include "ui/icon_set.h"
#include "ui/popup_menus.h"
#include "ui/proxy_table_model.h"
#include "ui/proxy_table_view.h"
#include "ui/qt_text.h"
#include "ui/tray_icon_host.h"

namespace lumvex {

MainWindow::MainWindow(MainWindowState& state, ShellController& shell, ProxyList& list,
                       QWidget* parent)
    : QMainWindow(parent), state_(state), shell_(shell) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(Q(kMainWindowTitle));
  widgets_ = BuildMainWindowWidgets(this);
  model_ = new ProxyTableModel(list, this);
  widgets_.list_view->SetProxyModel(model_);
  menus_ = new PopupMenus(state_, shell_, this);
  tray_ = new TrayIconHost(state_, shell_, menus_->TrayMenu(), this);
  resize(725, 506);
  move(50, 50);
  ConnectWidgets();
  if (!shell_.TrayAvailable()) OfferTrayMenuInWindow();
  state_.AddObserver(this);
  SyncAll();
}

void MainWindow::OfferTrayMenuInWindow() {
  // The desktop shows no tray icon (stock GNOME Shell, for one), so the proxy status picture
  // stands in for it: a click pops up the tray menu, whose items exist nowhere else.
  QLabel* picture = widgets_.proxy_picture;
  picture->setCursor(Qt::PointingHandCursor);
  picture->setToolTip(QString::fromUtf8("托盘菜单"));
  picture->installEventFilter(this);
  // A right click on the window's free space does the same, also while the picture is hidden.
  QWidget* central = centralWidget();
  central->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(central, &QWidget::customContextMenuRequested, this, [this, central](const QPoint& at) {
    if (shell_.OnProxyPictureClicked()) PopUpTrayMenuAt(central->mapToGlobal(at));
  });
}

void MainWindow::PopUpTrayMenuAt(const QPoint& global_position) {
  menus_->TrayMenu()->popup(global_position);
  emit TrayMenuShownInWindow();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == widgets_.proxy_picture && event->type() == QEvent::MouseButtonRelease) {
    if (shell_.OnProxyPictureClicked()) {
      PopUpTrayMenuAt(
          widgets_.proxy_picture->mapToGlobal(QPoint(0, widgets_.proxy_picture->height())));
    }
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

MainWindow::~MainWindow() { state_.RemoveObserver(this); }

void MainWindow::ConnectWidgets() {
  for (int i = 0; i < kCommandCount; ++i) {
    const Command command = static_cast<Command>(i);
    connect(widgets_.buttons[i], &QPushButton::clicked, this,
            [this, command] { shell_.OnCommand(command); });
  }
  for (int i = 0; i < kLinkCount; ++i) {
    const Link link = static_cast<Link>(i);
    connect(widgets_.links[i], &QLabel::linkActivated, this,
            [this, link] { shell_.OnLinkClicked(link); });
  }
  connect(widgets_.radios[static_cast<int>(Radio::kSourceA)], &QRadioButton::clicked, this, [this] {
    shell_.OnSourceChosen(SourceChoice::kSourceA);
    SyncSourceChoice();
  });
  connect(widgets_.radios[static_cast<int>(Radio::kSourceB)], &QRadioButton::clicked, this, [this] {
    shell_.OnSourceChosen(SourceChoice::kSourceB);
    SyncSourceChoice();
  });
  for (int i = 0; i < kComboCount; ++i) {
    const Combo combo = static_cast<Combo>(i);
    connect(widgets_.combos[i], &QComboBox::activated, this, [this, combo](int index) {
      state_.SetChosen(combo, index);
      if (combo_handler_) combo_handler_(combo, index);
    });
  }
  connect(widgets_.list_view, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& position) { ShowListMenu(position); });
  connect(widgets_.timer, &QTimer::timeout, this, [this] {
    if (timer_handler_) timer_handler_();
  });
  shell_.SetTrayItemHandler(TrayItem::kAbout, [this] { ShowAbout(); });
}

void MainWindow::ShowListMenu(const QPoint& position) {
  if (!shell_.ShowListContextMenu()) return;
  menus_->ContextMenu()->popup(widgets_.list_view->viewport()->mapToGlobal(position));
}

void MainWindow::ShowAbout() {
  const QString web = Q(shell_.Session().Get().about_web_address);
  AboutDialog dialog(web, this);
  dialog.exec();
}

void MainWindow::RestoreLayout(const WindowLayout& layout) {
  widgets_.list_view->RestoreColumnWidths(layout.column_widths);
  if (!layout.geometry) return;
  const WindowGeometry& kept = *layout.geometry;
  const QRect wanted(kept.left, kept.top, kept.width, kept.height);
  // The screen the kept place is on; a screen since removed leaves the window where it starts.
  QScreen* home = nullptr;
  for (QScreen* screen : QGuiApplication::screens()) {
    const QRect overlap = screen->availableGeometry().intersected(wanted);
    // Enough of it shows to grab the title bar.
    if (overlap.width() >= kLeastWindowSide && overlap.height() >= kLeastWindowSide) {
      home = screen;
      break;
    }
  }
  QScreen* sized_by = home != nullptr ? home : screen();
  const QSize room = sized_by != nullptr ? sized_by->availableGeometry().size() : wanted.size();
  resize(std::min(wanted.width(), room.width()), std::min(wanted.height(), room.height()));
  if (home != nullptr) move(wanted.topLeft());
}

WindowLayout MainWindow::Layout() const {
  WindowLayout layout;
  // A maximised window keeps the size it had before, as the next start shows it normal.
  const QSize size = isMaximized() ? normalGeometry().size() : this->size();
  const QPoint place = isMaximized() ? normalGeometry().topLeft() : pos();
  layout.geometry = WindowGeometry{place.x(), place.y(), size.width(), size.height()};
  layout.column_widths = widgets_.list_view->ColumnWidths();
  return layout;
}

void MainWindow::CloseDialogs() {
  for (QDialog* dialog : findChildren<QDialog*>()) {
    if (dialog->isVisible()) dialog->reject();
  }
}

void MainWindow::PrepareForExit() {
  exiting_ = true;
  CloseDialogs();
  menus_->ContextMenu()->close();
  menus_->TrayMenu()->close();
  tray_->icon()->hide();
  hide();
}

void MainWindow::ShowAccordingToState() {
  shown_once_ = true;
  ApplyWindowMode();
}

void MainWindow::ApplyWindowMode() {
  if (!shown_once_ || exiting_) return;
  if (static_cast<WindowMode>(state_.Value(control::kWindow)) == WindowMode::kNormal) {
    showNormal();
    raise();
    activateWindow();
  } else if (!shell_.TrayAvailable()) {
    // Without a tray a hidden window could not be brought back: it waits in the taskbar.
    if (!isMinimized()) showMinimized();
  } else {
    hide();
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (exiting_) {
    event->accept();
    return;
  }
  // The controller minimises the window (to the tray, or to the taskbar without one) and refuses.
  if (shell_.OnCloseRequested()) {
    exiting_ = true;
    event->accept();
    emit ClosedForExit();
  } else {
    event->ignore();
  }
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || exiting_) return;
  if (isMinimized()) {
    shell_.OnWindowMinimised();
  } else if (isVisible() &&
             static_cast<WindowMode>(state_.Value(control::kWindow)) != WindowMode::kNormal) {
    shell_.OnWindowRestoredByDesktop();  // brought back from the taskbar
  }
}

void MainWindow::SyncAll() {
  for (int i = 0; i < kCommandCount; ++i) {
    widgets_.buttons[i]->setEnabled(state_.Enabled(static_cast<Command>(i)));
  }
  widgets_.status_line->setText(Q(state_.Text(control::kStatusLine)));
  for (int i = 0; i < kCounterCount; ++i) {
    widgets_.counters[i]->setText(Q(state_.Text(static_cast<Counter>(i))));
  }
  for (int i = 0; i < kComboCount; ++i) SyncCombo(static_cast<Combo>(i));
  SyncSourceChoice();
  for (int i = 0; i < kLabelCount; ++i) SyncLabel(static_cast<Label>(i));
  for (int i = 0; i < kLinkCount; ++i) SyncLink(static_cast<Link>(i));
  SyncProxyPicture();
  setWindowIcon(ProxyIndicatorIcon(state_.Indicator(control::kWindowIcon)));
  SyncTimer();
}

void MainWindow::SyncCombo(Combo combo) {
  QComboBox* box = widgets_.combos[static_cast<int>(combo)];
  const ControlState data = state_.Get(combo);
  const QSignalBlocker blocker(box);
  bool same_items = box->count() == static_cast<int>(data.items.size());
  for (int i = 0; same_items && i < box->count(); ++i) {
    same_items = box->itemText(i) == Q(data.items[static_cast<std::size_t>(i)].text) &&
                 box->itemData(i).toInt() == data.items[static_cast<std::size_t>(i)].data;
  }
  if (!same_items) {
    box->clear();
    for (const ComboItem& item : data.items) box->addItem(Q(item.text), item.data);
  }
  box->setCurrentIndex(data.chosen);
  box->setEnabled(data.enabled);
  box->setToolTip(Q(data.tooltip));
}

void MainWindow::SyncLabel(Label label) {
  QLabel* widget = widgets_.labels[static_cast<int>(label)];
  const ControlState data = state_.Get(label);
  widget->setText(Q(data.text));
  widget->setToolTip(Q(data.tooltip));
}

void MainWindow::SyncLink(Link link) {
  QLabel* label = widgets_.links[static_cast<int>(link)];
  const ControlState data = state_.Get(link);
  if (data.text.empty()) {
    label->clear();
  } else {
    label->setText(QStringLiteral("<a href=\"#\">") + Q(data.text).toHtmlEscaped() +
                   QStringLiteral("</a>"));
  }
  label->setToolTip(Q(data.target));
  label->setVisible(data.visible);
}

void MainWindow::SyncSourceChoice() {
  const SourceChoice choice = state_.ChosenSource();
  for (int i = 0; i < kRadioCount; ++i) {
    QRadioButton* radio = widgets_.radios[i];
    const QSignalBlocker blocker(radio);
    radio->setChecked((i == 0 && choice == SourceChoice::kSourceA) ||
                      (i == 1 && choice == SourceChoice::kSourceB));
    radio->setEnabled(state_.Enabled(static_cast<Radio>(i)));
  }
}

void MainWindow::SyncProxyPicture() {
  widgets_.proxy_picture->setPixmap(
      ProxyIndicatorIcon(state_.Indicator(control::kProxyPicture)).pixmap(48, 48));
  widgets_.proxy_picture->setVisible(state_.Visible(control::kProxyPicture));
}

void MainWindow::SyncTimer() {
  const int interval = state_.Value(control::kTimer);
  if (interval <= 0) {
    widgets_.timer->stop();
  } else {
    widgets_.timer->start(interval);
  }
}

void MainWindow::OnStateChanged(ControlId control) {
  const int i = control.index;
  switch (control.kind) {
    case ControlKind::kCommand:
      widgets_.buttons[i]->setEnabled(state_.Enabled(control));
      break;
    case ControlKind::kStatusLine:
      widgets_.status_line->setText(Q(state_.Text(control)));
      break;
    case ControlKind::kCounter:
      widgets_.counters[i]->setText(Q(state_.Text(control)));
      break;
    case ControlKind::kCombo:
      SyncCombo(static_cast<Combo>(i));
      break;
    case ControlKind::kRadio:
      SyncSourceChoice();
      break;
    case ControlKind::kLabel:
      SyncLabel(static_cast<Label>(i));
      break;
    case ControlKind::kLink:
      SyncLink(static_cast<Link>(i));
      break;
    case ControlKind::kProxyPicture:
      SyncProxyPicture();
      break;
    case ControlKind::kWindowIcon:
      setWindowIcon(ProxyIndicatorIcon(state_.Indicator(control)));
      break;
    case ControlKind::kWindow:
      ApplyWindowMode();
      break;
    case ControlKind::kTimer:
      SyncTimer();
      break;
    default:
      break;  // menus and the tray icon have observers of their own
  }
}

}  // namespace lumvex
