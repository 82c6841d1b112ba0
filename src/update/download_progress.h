// The update window's progress texts: one tick of its timer while a download runs, and the
// completed state when the file is whole.
#pragma once

#include <cstdint>
#include <string>

#include "update/update_window_model.h"

namespace lumvex::update {

struct DownloadFigures {
  std::int64_t received = 0;       // bytes received so far
  double total = 0;                // DownloadTotalBytes; 0 until the size is known
  std::int64_t task_speed = 0;     // bytes per second of the task
  std::int64_t overall_speed = 0;  // bytes per second of all transfers
};

// One tick: the bar and "N %" always; with a known size also 已下载, 进度 (sizes in M), 速度 and,
// when it can be worked out and is not 0, 剩余时间.
void ShowDownloadProgress(UpdateWindowView& view, const DownloadFigures& figures);

// The file is complete: bar at 100, "已完成:100%", the total size and the elapsed seconds; the
// timer stops.
void ShowDownloadCompleted(UpdateWindowView& view, double total_bytes, double elapsed_seconds);

// The transfer failed: "下载失败", the timer stops and "退出更新" becomes usable again.
void ShowDownloadFailed(UpdateWindowView& view);

// `value` rounded to 2 decimals and written with "%.13g".
std::string TwoDecimals(double value);

}  // namespace lumvex::update
