// Loading and saving a 100,000-row list file, against the time ICU alone needs to decode the same
// bytes, and the memory the loaded list takes.
#include <malloc.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/headless_ui_thread.h"
#include "proxylist/agent_file.h"
#include "proxylist/proxy_list.h"
#include "text/codec.h"

namespace {

using lumvex::ProxyEntry;

constexpr int kRows = 100000;
constexpr int kRuns = 7;

std::vector<ProxyEntry> MakeRows() {
  static const char* const kPlaces[] = {
      "广东省深圳市 电信", "浙江省杭州市 阿里云",     "美国 加利福尼亚州洛杉矶", "北京市 联通",
      "日本 东京都",       "香港特别行政区 电讯盈科", "江苏省南京市 移动",       "俄罗斯"};
  static const char* const kTypes[] = {"HTTP", "HTTPS", "高匿", "透明", "成功", "失败"};
  static const char* const kAges[] = {"1天", "3小时", "12分钟", "2天5小时"};
  std::vector<ProxyEntry> rows(kRows);
  unsigned n = 12345;
  for (int i = 0; i < kRows; ++i) {
    n = n * 1103515245u + 12345u;
    ProxyEntry& e = rows[static_cast<std::size_t>(i)];
    e.cells[0] = std::to_string(1 + (n >> 24) % 223) + "." + std::to_string((n >> 16) % 256) + "." +
                 std::to_string((n >> 8) % 256) + "." + std::to_string(n % 256);
    e.cells[1] = std::to_string(80 + (n >> 7) % 9000);
    e.cells[2] = kTypes[(n >> 3) % 6];
    e.cells[3] = std::to_string((n >> 5) % 10) + "." + std::to_string((n >> 11) % 1000);
    e.cells[4] = kPlaces[(n >> 13) % 8];
    e.cells[5] = kAges[(n >> 17) % 4];
  }
  return rows;
}

double Ms(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

template <typename Fn>
double BestOf(Fn&& fn) {
  double best = 1e300;
  for (int i = 0; i < kRuns; ++i) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    best = std::min(best, Ms(std::chrono::steady_clock::now() - start));
  }
  return best;
}

std::size_t HeapInUse() {
  malloc_trim(0);
  // Large blocks (the row array) are mapped on their own and counted apart from the arena.
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

}  // namespace

int main() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "bench-list-file-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return 1;
  const lumvex::DataDir data_dir(pattern + "/data");

  lumvex::HeadlessUiThread ui;
  const std::string bytes = lumvex::FormatAgentText(MakeRows());
  data_dir.EnsureDataDir();
  if (!lumvex::WriteWholeFile(lumvex::AgentFilePath(data_dir), bytes)) return 1;

  volatile std::size_t sink = 0;
  const double decode_ms = BestOf([&] { sink = sink + lumvex::text::DecodeGbk(bytes).size(); });

  // The heap is probed outside the timed part; the list is destroyed before the next run.
  std::size_t list_bytes = 0;
  double load_ms = 1e300;
  for (int i = 0; i < kRuns; ++i) {
    lumvex::ProxyList list(ui);
    const std::size_t before = HeapInUse();
    const auto start = std::chrono::steady_clock::now();
    lumvex::LoadAgentFile(list, data_dir);
    load_ms = std::min(load_ms, Ms(std::chrono::steady_clock::now() - start));
    list_bytes = HeapInUse() - before;
    if (list.ListCount() != kRows) std::fprintf(stderr, "loaded %d rows\n", list.ListCount());
  }

  lumvex::ProxyList list(ui);
  lumvex::LoadAgentFile(list, data_dir);
  const double save_ms = BestOf([&] { lumvex::SaveAgentFile(list, data_dir); });
  const bool same = lumvex::ReadWholeFile(lumvex::AgentFilePath(data_dir)) == bytes;

  std::printf("rows %d rows\n", kRows);
  std::printf("file_mb %.2f MB\n", static_cast<double>(bytes.size()) / (1024.0 * 1024.0));
  std::printf("load_ms %.1f ms\n", load_ms);
  std::printf("save_ms %.1f ms\n", save_ms);
  std::printf("decode_ms %.1f ms\n", decode_ms);
  std::printf("list_mb %.1f MB\n", static_cast<double>(list_bytes) / (1024.0 * 1024.0));
  std::printf("round_trip_same %d bool\n", same ? 1 : 0);
  std::filesystem::remove_all(pattern);
  return same ? 0 : 1;
}
