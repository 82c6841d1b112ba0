// The update window "upgrade" as data: its texts, button states, notes and progress bar. The Qt
// window mirrors it; the update controller changes it. UI thread only.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumvex::update {

inline constexpr std::string_view kUpdateWindowTitle = "upgrade";
inline constexpr std::string_view kCurrentVersionCaption = "当前版本：";  // 透明标签2
inline constexpr std::string_view kNewVersionCaption = "新版本：";        // 透明标签3
inline constexpr std::string_view kNotesGroupCaption = "软件更新说明：";  // 分组框1
inline constexpr std::string_view kExitUpdateCaption = "退出更新";        // 按钮1
inline constexpr std::string_view kFileShareCaption = "网盘更新";         // 按钮3
inline constexpr std::string_view kUpdateNowCaption = "立即更新";         // 按钮2
inline constexpr std::string_view kWaitingText = "等待下载...";           // 标签进度
inline constexpr std::string_view kDownloadFailedText = "下载失败";

struct UpdateWindowView {
  bool open = false;
  std::string current_version = std::string(kCurrentVersionCaption);  // 透明标签2
  std::string new_version = std::string(kNewVersionCaption);          // 透明标签3
  std::vector<std::string> notes;                                     // 超级列表框1
  bool exit_enabled = true;                                           // 按钮1 "退出更新"
  bool update_enabled = true;                                         // 按钮2 "立即更新"
  int progress = 0;                                                   // 进度条1, 0..100
  std::string percent_text;                                           // 透明标签1
  std::string progress_text = std::string(kWaitingText);              // 标签进度
  std::string size_text = "下载进度";                                 // 标签大小
  std::string speed_text = "在线更新";                                // 标签速度
  std::string time_text = "下载时间";                                 // 标签时间
  bool timer_running = false;                                         // 时钟1

  friend bool operator==(const UpdateWindowView&, const UpdateWindowView&) = default;
};

class UpdateWindowModel {
 public:
  const UpdateWindowView& View() const { return view_; }

  // Applies `change`; observers run when it changed anything.
  void Change(const std::function<void(UpdateWindowView&)>& change);
  // A fresh window (as created from its form), open.
  void Reset(bool open);

  // `observer` runs after every change and reads View(); the result names it for removal.
  int AddObserver(std::function<void()> observer);
  void RemoveObserver(int id);

 private:
  UpdateWindowView view_;
  std::vector<std::pair<int, std::function<void()>>> observers_;
  int next_id_ = 1;
};

}  // namespace lumvex::update
