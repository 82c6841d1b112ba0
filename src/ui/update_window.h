// The update window "upgrade": mirrors the update window model into its widgets and sends its
// buttons and its timer to the update controller. It shows and hides itself as the model says.
#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;

namespace lumvex {

class UpdateController;

class UpdateWindow : public QDialog {
  Q_OBJECT

 public:
  // `controller` must outlive the window.
  UpdateWindow(UpdateController& controller, QWidget* parent);
  ~UpdateWindow() override;

  // Period of 时钟1 while a download runs.
  static constexpr int kTickMs = 500;

 protected:
  void closeEvent(QCloseEvent* event) override;

 public Q_SLOTS:
  void reject() override;

 private:
  void Sync();

  UpdateController& controller_;
  int observer_id_ = 0;
  QLabel* current_version_ = nullptr;     // 透明标签2
  QLabel* new_version_ = nullptr;         // 透明标签3
  QListWidget* notes_ = nullptr;          // 超级列表框1
  QPushButton* exit_button_ = nullptr;    // 按钮1
  QPushButton* update_button_ = nullptr;  // 按钮2
  QPushButton* share_button_ = nullptr;   // 按钮3
  QProgressBar* bar_ = nullptr;           // 进度条1
  QLabel* percent_ = nullptr;             // 透明标签1
  QLabel* progress_ = nullptr;            // 标签进度
  QLabel* size_ = nullptr;                // 标签大小
  QLabel* speed_ = nullptr;               // 标签速度
  QLabel* time_ = nullptr;                // 标签时间
  QTimer* timer_ = nullptr;               // 时钟1
};

}  // namespace lumvex
