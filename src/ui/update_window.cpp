#include "ui/update_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/update_controller.h"
#include "ui/qt_text.h"

namespace lumvex {
namespace {

void SetText(QLabel* label, const std::string& text) {
  const QString value = Q(text);
  if (label->text() != value) label->setText(value);
}

}  // namespace

UpdateWindow::UpdateWindow(UpdateController& controller, QWidget* parent)
    : QDialog(parent), controller_(controller) {
  setObjectName(QStringLiteral("upgrade"));
  setWindowTitle(Q(update::kUpdateWindowTitle));
  setWindowModality(Qt::ApplicationModal);
  // A window of its own: it stays up while the main window waits in the tray.
  setWindowFlag(Qt::Window, true);

  current_version_ = Named(new QLabel, "透明标签2");
  new_version_ = Named(new QLabel, "透明标签3");
  auto* notes_group = Named(new QGroupBox(Q(update::kNotesGroupCaption)), "分组框1");
  notes_ = Named(new QListWidget, "超级列表框1");
  auto* notes_layout = new QVBoxLayout(notes_group);
  notes_layout->addWidget(notes_);

  bar_ = Named(new QProgressBar, "进度条1");
  bar_->setRange(0, 100);
  bar_->setTextVisible(false);
  percent_ = Named(new QLabel, "透明标签1");
  percent_->setMinimumWidth(150);
  progress_ = Named(new QLabel, "标签进度");
  size_ = Named(new QLabel, "标签大小");
  speed_ = Named(new QLabel, "标签速度");
  time_ = Named(new QLabel, "标签时间");

  exit_button_ = Named(new QPushButton(Q(update::kExitUpdateCaption)), "按钮1");
  update_button_ = Named(new QPushButton(Q(update::kUpdateNowCaption)), "按钮2");
  share_button_ = Named(new QPushButton(Q(update::kFileShareCaption)), "按钮3");
  timer_ = Named(new QTimer(this), "时钟1");
  timer_->setInterval(kTickMs);

  auto* layout = new QVBoxLayout(this);
  auto* versions = new QHBoxLayout;
  versions->addWidget(current_version_);
  versions->addStretch();
  versions->addWidget(new_version_);
  layout->addLayout(versions);
  layout->addWidget(notes_group, 1);
  auto* bar_line = new QHBoxLayout;
  bar_line->addWidget(bar_, 1);
  bar_line->addWidget(percent_);
  layout->addLayout(bar_line);
  auto* figures = new QGridLayout;
  figures->addWidget(progress_, 0, 0);
  figures->addWidget(size_, 0, 1);
  figures->addWidget(speed_, 1, 0);
  figures->addWidget(time_, 1, 1);
  layout->addLayout(figures);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(update_button_);
  buttons->addWidget(share_button_);
  buttons->addStretch();
  buttons->addWidget(exit_button_);
  layout->addLayout(buttons);
  resize(460, 360);

  connect(exit_button_, &QPushButton::clicked, this, [this] { controller_.CloseUpdateWindow(); });
  connect(update_button_, &QPushButton::clicked, this,
          [this] { controller_.StartUpdateDownload(); });
  connect(share_button_, &QPushButton::clicked, this, [this] { controller_.OpenFileSharePage(); });
  connect(timer_, &QTimer::timeout, this, [this] { controller_.ShowDownloadProgress(); });
  observer_id_ = controller_.Window().AddObserver([this] { Sync(); });
  Sync();
}

UpdateWindow::~UpdateWindow() { controller_.Window().RemoveObserver(observer_id_); }

void UpdateWindow::Sync() {
  const update::UpdateWindowView& view = controller_.Window().View();
  SetText(current_version_, view.current_version);
  SetText(new_version_, view.new_version);
  if (notes_->count() != static_cast<int>(view.notes.size())) notes_->clear();
  for (std::size_t i = 0; i < view.notes.size(); ++i) {
    const QString note = Q(view.notes[i]);
    const int row = static_cast<int>(i);
    if (row < notes_->count()) {
      if (notes_->item(row)->text() != note) notes_->item(row)->setText(note);
    } else {
      notes_->addItem(note);
    }
  }
  if (exit_button_->isEnabled() != view.exit_enabled ||
      update_button_->isEnabled() != view.update_enabled) {
    exit_button_->setEnabled(view.exit_enabled);
    update_button_->setEnabled(view.update_enabled);
    // Disabling happens as the main window goes to the tray; on some X servers the buttons'
    // own repaint is lost then, so the whole window is repainted once the hand-over is done.
    QTimer::singleShot(0, this, [this] { update(); });
  }
  bar_->setValue(view.progress);
  SetText(percent_, view.percent_text);
  SetText(progress_, view.progress_text);
  SetText(size_, view.size_text);
  SetText(speed_, view.speed_text);
  SetText(time_, view.time_text);
  if (view.timer_running && !timer_->isActive()) timer_->start();
  if (!view.timer_running && timer_->isActive()) timer_->stop();
  if (view.open && !isVisible()) {
    show();
    raise();
    activateWindow();
  } else if (!view.open && isVisible()) {
    hide();
  }
}

void UpdateWindow::closeEvent(QCloseEvent* event) {
  controller_.CloseUpdateWindow();
  event->accept();
}

void UpdateWindow::reject() {
  // Escape and the program's exit path close it through the model as "退出更新" does.
  controller_.CloseUpdateWindow();
  QDialog::reject();
}

}  // namespace lumvex
