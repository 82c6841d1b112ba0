// The main window's widgets, each named by its form name, in the arrangement of the form: the
// status line over the list, the command column on the right, the source selectors and links
// below, the counters in the status bar.
#pragma once

#include <array>

#include "app/main_window_controls.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QRadioButton;
class QTimer;

namespace lumvex {

class ProxyTableView;

struct MainWindowWidgets {
  QGroupBox* list_frame = nullptr;      // 分组框1
  QLabel* status_caption = nullptr;     // 标签4
  QLineEdit* status_line = nullptr;     // 编辑框3
  ProxyTableView* list_view = nullptr;  // 超级列表框1
  std::array<QPushButton*, kCommandCount> buttons{};
  std::array<QLabel*, kLinkCount> links{};
  QLabel* proxy_picture = nullptr;    // 图片框1
  QGroupBox* source_a_box = nullptr;  // 分组框3
  QGroupBox* source_b_box = nullptr;  // 分组框2
  std::array<QRadioButton*, kRadioCount> radios{};
  std::array<QComboBox*, kComboCount> combos{};
  std::array<QLabel*, kLabelCount> labels{};
  std::array<QLabel*, kCounterCount> counters{};
  QTimer* timer = nullptr;  // 时钟1
};

// Creates every widget under `window` (central widget, status bar, timer) and lays them out.
MainWindowWidgets BuildMainWindowWidgets(QMainWindow* window);

}  // namespace lumvex
