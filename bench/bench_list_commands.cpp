// The list commands on 100,000 rows: an import text decoded and appended (the rows reach the list
// in batches through the UI thread), the cleanup of failed and duplicate rows, and the export text.
// Each figure is the median of several runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/list_commands_controller.h"
#include "app/main_window_state.h"
#include "cli/headless_prompts.h"
#include "platform/headless_ui_thread.h"
#include "proxylist/proxy_line_parser.h"
#include "proxylist/proxy_list.h"
#include "text/codec.h"

namespace {

using lumvex::ProxyEntry;

constexpr int kRows = 100000;
constexpr int kRuns = 5;

// No dialogs are asked for by the work measured here.
std::string ImportText() {
  std::string text;
  unsigned n = 4711;
  for (int i = 0; i < kRows; ++i) {
    n = n * 1103515245u + 12345u;
    text += std::to_string(1 + (n >> 24) % 223) + "." + std::to_string((n >> 16) % 256) + "." +
            std::to_string((n >> 8) % 256) + "." + std::to_string(n % 256) + ":" +
            std::to_string(80 + (n >> 7) % 9000);
    if (i % 3 == 0) text += "@HTTP#广东省深圳市";
    text += "\r\n";
  }
  return lumvex::text::EncodeGbk(text);
}

template <typename Fn>
double MedianMs(Fn fn) {
  std::vector<double> runs;
  for (int r = 0; r < kRuns; ++r) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    runs.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::sort(runs.begin(), runs.end());
  return runs[runs.size() / 2];
}

}  // namespace

int main() {
  const std::string bytes = ImportText();
  lumvex::HeadlessUiThread ui;
  lumvex::ProxyList list(ui);
  lumvex::MainWindowState state(ui);
  lumvex::cli::HeadlessPrompts prompts;
  lumvex::ListCommandsController commands(ui, state, list, prompts);

  const double decode_ms = MedianMs([&] { (void)lumvex::DecodeImportBytes(bytes); });
  const double import_ms = MedianMs([&] {
    list.DeleteAllRows();
    commands.AppendLines(lumvex::DecodeImportBytes(bytes));
  });

  // A list of failed rows and repeated addresses to clean: every third row failed, every address
  // twice.
  std::vector<ProxyEntry> dirty = list.Snapshot();
  for (std::size_t i = 0; i < dirty.size(); ++i) dirty[i].cells[2] = i % 3 == 0 ? "失败" : "成功";
  dirty.insert(dirty.end(), dirty.begin(), dirty.begin() + kRows / 2);
  const double cleanup_ms = MedianMs([&] {
    list.ReplaceAll(dirty);
    commands.RemoveFailedRows();
    commands.RemoveDuplicateRows();
  });
  const int left = list.ListCount();
  // As the export command reads the rows: in place, in one step of the UI thread.
  const double export_ms = MedianMs([&] {
    std::string text;
    list.ReadRows([&text](const auto& rows) { text = lumvex::ExportText(rows); });
    (void)lumvex::text::EncodeGbk(text);
  });

  std::printf("import_decode_100k_ms %.1f ms\n", decode_ms);
  std::printf("import_append_100k_ms %.1f ms\n", import_ms);
  std::printf("cleanup_150k_ms %.1f ms\n", cleanup_ms);
  std::printf("cleanup_rows_left %d rows\n", left);
  std::printf("export_text_ms %.1f ms\n", export_ms);
  commands.Shutdown();
  ui.Close();
  return 0;
}
