// An import from a web address of a 2.2-million-row plain list (just under the 32 MiB cap), served
// by the loopback fixture server in a child process, through UrlImportController::Import as the
// menu item runs it. Prints one figure per line: name value unit.
//
//   rows           rows in the list after the import
//   import_ms      the import, from the request to the closing status
//   peak_mb        peak resident memory of the importing process
//   bytes_per_row  growth of the peak resident memory over the import, per row
#include <signal.h>
#include <stdlib.h>  // mkdtemp
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/list_commands_controller.h"
#include "app/main_window_state.h"
#include "app/url_import_controller.h"
#include "cli/headless_prompts.h"
#include "fixture/fixture_server.h"
#include "http/fetch_client.h"
#include "http/http_limits.h"
#include "platform/headless_ui_thread.h"
#include "proc_status.h"
#include "proxylist/proxy_list.h"
#include "settings/data_dir.h"

namespace {

constexpr int kRows = 2200000;

// "9.x.y.z:port\n" lines, about 15 bytes each.
std::string ListText() {
  std::string text;
  text.reserve(static_cast<std::size_t>(kRows) * 16);
  for (int i = 0; i < kRows; ++i) {
    text += "9." + std::to_string((i >> 16) & 255) + "." + std::to_string((i >> 8) & 255) + "." +
            std::to_string(i & 255) + ":" + std::to_string(80 + i % 9);
    text += "\n";
  }
  return text;
}

// Serves the list at "/list" from a child process, so that its copy of the list is not counted;
// returns the base address, empty when the server did not start.
std::string StartServer(pid_t& child) {
  int fds[2];
  if (pipe(fds) != 0) return "";
  child = fork();
  if (child == 0) {
    close(fds[0]);
    lumvex::tools::FixtureServer server;
    server.SetLifetimeMs(3600 * 1000);
    const std::string text = ListText();
    if (text.size() >= lumvex::http::kMaxBodyBytes) _exit(1);
    lumvex::tools::Reply reply;
    reply.status = 200;
    reply.reason = "OK";
    reply.body = text;
    server.Route("/list", std::move(reply));
    const std::string base = server.Start() ? server.BaseUrl() + "\n" : "\n";
    if (write(fds[1], base.data(), base.size()) < 0) _exit(1);
    close(fds[1]);
    pause();  // until the parent ends it
    _exit(0);
  }
  close(fds[1]);
  std::string base;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') base += c;
  close(fds[0]);
  return base;
}

}  // namespace

int main() {
  pid_t child = -1;
  const std::string base = StartServer(child);
  if (base.empty()) {
    std::fprintf(stderr, "bench_url_import: the server did not start\n");
    if (child > 0) kill(child, SIGKILL);
    return 1;
  }
  char dir_template[] = "/tmp/bench_url_import.XXXXXX";
  const char* dir = mkdtemp(dir_template);
  int rows = 0;
  double import_ms = 0;
  const long start_kb = lumvex::bench::ProcStatusField("VmRSS");
  {
    lumvex::HeadlessUiThread ui;
    lumvex::ProxyList list(ui);
    lumvex::MainWindowState state(ui);
    lumvex::cli::HeadlessPrompts prompts;
    lumvex::ListCommandsController commands(ui, state, list, prompts);
    lumvex::http::FetchClient fetcher(nullptr);
    lumvex::UrlImportController import(state, commands, prompts, fetcher,
                                       lumvex::DataDir(dir != nullptr ? dir : "/tmp"));
    const auto started = std::chrono::steady_clock::now();
    import.Import(base + "/list");
    import_ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
            .count();
    rows = list.ListCount();
    fetcher.Close();
    commands.Shutdown();
    ui.Close();
  }
  const long peak_kb = lumvex::bench::ProcStatusField("VmHWM");
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  if (dir != nullptr) std::filesystem::remove_all(dir);

  std::printf("rows %d rows\n", rows);
  std::printf("import_ms %.0f ms\n", import_ms);
  std::printf("peak_mb %.1f MB\n", static_cast<double>(peak_kb) / 1024.0);
  std::printf("bytes_per_row %.0f bytes\n",
              rows == 0 ? 0.0 : static_cast<double>(peak_kb - start_kb) * 1024.0 / rows);
  return rows == kRows ? 0 : 1;
}
