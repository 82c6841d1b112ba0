#include "update/download_progress.h"

#include <algorithm>
#include <cmath>

#include "text/text_util.h"

namespace lumvex::update {
namespace {

constexpr double kBytesPerM = 1048576.0;

}  // namespace

std::string TwoDecimals(double value) { return text::FormatReal(std::round(value * 100) / 100); }

void ShowDownloadProgress(UpdateWindowView& view, const DownloadFigures& figures) {
  if (figures.total > 0) {
    // std::round takes halves away from zero; a server sending more than it announced must not
    // push the bar past its end.
    const double percent = std::round(static_cast<double>(figures.received) / figures.total * 100);
    view.progress = static_cast<int>(std::clamp(percent, 0.0, 100.0));
  }
  view.percent_text = text::FormatInt(view.progress) + " %";
  if (figures.total <= 0) return;
  view.progress_text = "已下载：" + text::FormatInt(view.progress) + "%";
  view.size_text = "进度：" + TwoDecimals(static_cast<double>(figures.received) / kBytesPerM) +
                   "M/" + TwoDecimals(figures.total / kBytesPerM) + "M";
  view.speed_text = "速度：" + text::FormatInt(figures.task_speed / 1024) + "KB/秒 ";
  if (figures.overall_speed <= 0) return;
  const double remaining = std::floor((figures.total - static_cast<double>(figures.received)) /
                                      static_cast<double>(figures.overall_speed));
  if (remaining <= 0) return;
  view.time_text = "剩余时间:" + text::FormatInt(static_cast<std::int64_t>(remaining)) + "秒";
}

void ShowDownloadCompleted(UpdateWindowView& view, double total_bytes, double elapsed_seconds) {
  view.progress = 100;
  view.percent_text = "100 %";
  view.progress_text = "已完成:100%";
  view.size_text = "文件大小:" + TwoDecimals(total_bytes / kBytesPerM) + "M";
  view.time_text = "总耗时:" + TwoDecimals(elapsed_seconds) + "秒";
  view.timer_running = false;
}

void ShowDownloadFailed(UpdateWindowView& view) {
  view.progress_text = std::string(kDownloadFailedText);
  view.exit_enabled = true;
  view.timer_running = false;
}

}  // namespace lumvex::update
