#include "update/download_progress.h"

#include <gtest/gtest.h>

namespace lumvex::update {
namespace {

constexpr std::int64_t kMiB = 1048576;

TEST(DownloadProgressTest, BeforeTheSizeIsKnownOnlyThePercentShows) {
  UpdateWindowView view;
  const UpdateWindowView before = view;
  ShowDownloadProgress(view, {123456, 0, 51300, 51300});
  EXPECT_EQ(view.percent_text, "0 %");
  EXPECT_EQ(view.progress, 0);
  EXPECT_EQ(view.progress_text, before.progress_text);
  EXPECT_EQ(view.size_text, before.size_text);
  EXPECT_EQ(view.speed_text, before.speed_text);
  EXPECT_EQ(view.time_text, before.time_text);
}

TEST(DownloadProgressTest, HalfOfThreeMebibytesAtFiftyKilobytesASecond) {
  UpdateWindowView view;
  ShowDownloadProgress(view, {3 * kMiB / 2, 3.0 * kMiB, 51300, 51300});
  EXPECT_EQ(view.progress, 50);
  EXPECT_EQ(view.percent_text, "50 %");
  EXPECT_EQ(view.progress_text, "已下载：50%");
  EXPECT_EQ(view.size_text, "进度：1.5M/3M");
  EXPECT_EQ(view.speed_text, "速度：50KB/秒 ");
  // 1572864 bytes left at 51300 bytes a second: 30.66 seconds, rounded down.
  EXPECT_EQ(view.time_text, "剩余时间:30秒");
}

TEST(DownloadProgressTest, RoundingAndTheRemainingTimeRules) {
  UpdateWindowView view;
  // 12.5 % rounds away from zero; sizes keep two decimals.
  ShowDownloadProgress(view, {1, 8, 0, 0});
  EXPECT_EQ(view.percent_text, "13 %");
  EXPECT_EQ(view.size_text, "进度：0M/0M");
  // No overall speed: the time text stays.
  EXPECT_EQ(view.time_text, "下载时间");
  ShowDownloadProgress(view, {kMiB / 4, 0.3 * kMiB, 2048, 1 << 30});
  EXPECT_EQ(view.size_text, "进度：0.25M/0.3M");
  EXPECT_EQ(view.speed_text, "速度：2KB/秒 ");
  // Less than a second left rounds down to 0: the time text stays.
  EXPECT_EQ(view.time_text, "下载时间");
  // More received than announced never pushes the bar past its end.
  ShowDownloadProgress(view, {200, 100, 0, 0});
  EXPECT_EQ(view.progress, 100);
}

TEST(DownloadProgressTest, CompletedAndFailedStates) {
  UpdateWindowView view;
  view.exit_enabled = false;
  view.update_enabled = false;
  view.timer_running = true;
  UpdateWindowView done = view;
  ShowDownloadCompleted(done, 3.0 * kMiB, 12.345);
  EXPECT_EQ(done.progress, 100);
  EXPECT_EQ(done.percent_text, "100 %");
  EXPECT_EQ(done.progress_text, "已完成:100%");
  EXPECT_EQ(done.size_text, "文件大小:3M");
  EXPECT_EQ(done.time_text, "总耗时:12.35秒");
  EXPECT_FALSE(done.timer_running);

  UpdateWindowView failed = view;
  ShowDownloadFailed(failed);
  EXPECT_EQ(failed.progress_text, "下载失败");
  EXPECT_TRUE(failed.exit_enabled);
  EXPECT_FALSE(failed.update_enabled);
  EXPECT_FALSE(failed.timer_running);
}

}  // namespace
}  // namespace lumvex::update
