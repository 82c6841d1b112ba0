// Loading and saving a 100,000-row list file, against the time ICU alone needs to decode the same
// bytes, and the memory the loaded list takes. Then a 1,000,000-row list loaded and its first
// screen of cells read as the table shows them, in a process of its own so that its peak resident
// memory is that of the load and the list alone.
// Usage: bench_list_file [--load DATA_DIR ROWS] (the second form is the 1M-row child)
#include <malloc.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/headless_ui_thread.h"
#include "proc_status.h"
#include "proxylist/agent_file.h"
#include "proxylist/proxy_list.h"
#include "text/codec.h"

namespace {

using lumvex::ProxyEntry;

constexpr int kRows = 100000;
constexpr int kLargeRows = 1000000;
constexpr int kRuns = 7;
constexpr int kLargeRuns = 3;
// Rows a window shows at once.
constexpr int kScreenRows = 40;

// `count` rows of the kinds sources give, continuing the sequence from `n`.
std::vector<ProxyEntry> MakeRows(int count, unsigned& n) {
  static const char* const kPlaces[] = {
      "广东省深圳市 电信", "浙江省杭州市 阿里云",     "美国 加利福尼亚州洛杉矶", "北京市 联通",
      "日本 东京都",       "香港特别行政区 电讯盈科", "江苏省南京市 移动",       "俄罗斯"};
  static const char* const kTypes[] = {"HTTP", "HTTPS", "高匿", "透明", "成功", "失败"};
  static const char* const kAges[] = {"1天", "3小时", "12分钟", "2天5小时"};
  std::vector<ProxyEntry> rows(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
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

std::vector<ProxyEntry> MakeRows() {
  unsigned n = 12345;
  return MakeRows(kRows, n);
}

// The file of kLargeRows rows, made a slice at a time so the bench itself stays small.
std::string LargeFileBytes() {
  std::string bytes;
  unsigned n = 12345;
  for (int made = 0; made < kLargeRows; made += kRows) {
    if (made > 0) bytes += "\r\n";
    bytes += lumvex::FormatAgentText(MakeRows(kRows, n));
  }
  return bytes;
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

// What the table reads to paint its first screen: the cell texts of the top rows, taken from the
// list without copies.
std::size_t ReadFirstScreen(const lumvex::ProxyList& list) {
  std::size_t bytes = 0;
  const auto& rows = list.RowsOnUiThread();
  for (std::size_t r = 0; r < rows.size() && r < kScreenRows; ++r) {
    for (int c = 0; c < lumvex::kProxyColumnCount; ++c) bytes += CellText(rows[r], c).size();
  }
  return bytes;
}

// Processor time of all threads so far: on a shared machine the wall time of a load depends on
// what else runs, this much less.
double CpuMs() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// The child: loads the list in `data_dir` and shows its first screen, best of kLargeRuns.
int LoadLarge(const std::string& data_dir, int rows) {
  lumvex::HeadlessUiThread ui;
  volatile std::size_t sink = 0;
  double load_ms = 1e300;
  double cpu_ms = 1e300;
  std::size_t list_bytes = 0;
  for (int i = 0; i < kLargeRuns; ++i) {
    lumvex::ProxyList list(ui);
    const std::size_t before = HeapInUse();
    const double cpu_start = CpuMs();
    const auto start = std::chrono::steady_clock::now();
    lumvex::LoadAgentFile(list, lumvex::DataDir(data_dir));
    sink = sink + ReadFirstScreen(list);
    load_ms = std::min(load_ms, Ms(std::chrono::steady_clock::now() - start));
    cpu_ms = std::min(cpu_ms, CpuMs() - cpu_start);
    list_bytes = HeapInUse() - before;
    if (list.ListCount() != rows) std::fprintf(stderr, "loaded %d rows\n", list.ListCount());
  }
  std::printf("load_shown_1m_ms %.1f ms\n", load_ms);
  std::printf("load_shown_1m_cpu_ms %.1f ms\n", cpu_ms);
  std::printf("list_1m_mb %.1f MB\n", static_cast<double>(list_bytes) / (1024.0 * 1024.0));
  std::printf("bytes_per_row %.0f bytes\n",
              static_cast<double>(list_bytes) / static_cast<double>(rows));
  std::printf("peak_mb %.1f MB\n", lumvex::bench::PeakResidentMb());
  return 0;
}

// Runs this program as the child for the large list; true when it succeeded.
bool RunLargeChild(const std::string& data_dir) {
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    const std::string rows = std::to_string(kLargeRows);
    execl("/proc/self/exe", "bench_list_file", "--load", data_dir.c_str(), rows.c_str(), nullptr);
    _exit(127);
  }
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--load") return LoadLarge(argv[2], std::atoi(argv[3]));

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

  const std::string large = LargeFileBytes();
  const std::string large_dir = pattern + "/large";
  lumvex::EnsureDirectory(large_dir);
  if (!lumvex::WriteWholeFile(lumvex::AgentFilePath(lumvex::DataDir(large_dir)), large)) return 1;
  std::printf("rows_1m %d rows\n", kLargeRows);
  std::printf("file_1m_mb %.2f MB\n", static_cast<double>(large.size()) / (1024.0 * 1024.0));
  const bool large_ok = RunLargeChild(large_dir);
  std::filesystem::remove_all(pattern);
  return same && large_ok ? 0 : 1;
}
