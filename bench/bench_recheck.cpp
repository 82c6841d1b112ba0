// The background re-checks on 100,000 rows: the time one look at the rows holds the UI thread
// (the rows copied by address and verdict; the due ones are picked on a thread of their own),
// median of several looks. The proxies are loopback addresses nobody listens on, so checks end at once.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window_state.h"
#include "app/recheck_controller.h"
#include "app/window_session.h"
#include "http/fetch_client.h"
#include "platform/headless_ui_thread.h"
#include "proxylist/proxy_list.h"

namespace {

constexpr int kRows = 100000;
constexpr int kLooks = 9;

}  // namespace

int main() {
  using namespace lumvex;
  HeadlessUiThread ui;
  MainWindowState state{ui};
  WindowSession session;
  ProxyList list{ui};
  http::FetchClient fetcher{nullptr};
  std::vector<ProxyEntry> rows;
  rows.reserve(kRows);
  for (int i = 0; i < kRows; ++i) {
    ProxyEntry row;
    row.cells[kColAddress] = "127.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
    row.cells[kColPort] = "1";
    row.check.status = i % 3 == 0 ? CheckStatus::kOk : CheckStatus::kFailed;
    rows.push_back(std::move(row));
  }
  list.AddRows(std::move(rows));
  CheckTarget target;
  target.validation_host = "check.test";
  target.timeout_s = 2;
  RecheckController recheck(ui, state, session, list, fetcher, target, [] { return false; },
                            std::chrono::hours(1));
  ui.RunSync([&] { recheck.Toggle(); });
  std::vector<double> looks;
  for (int i = 0; i < kLooks; ++i) {
    double ms = 0;
    ui.RunSync([&] {
      const auto start = std::chrono::steady_clock::now();
      recheck.Tick();
      ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
               .count();
    });
    looks.push_back(ms);
    // The look's work off the UI thread ends before the next look (which would skip otherwise).
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  std::sort(looks.begin(), looks.end());
  std::printf("recheck_look_100k_rows_ms %.2f ms\n", looks[looks.size() / 2]);
  std::printf("recheck_look_100k_rows_max_ms %.2f ms\n", looks.back());
  recheck.Shutdown();
  fetcher.Close();
  return 0;
}
