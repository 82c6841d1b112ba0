// Figures of the proxy harvest against the loopback sites:
//   inflight_wall_s / peak_mb  25 table pages submitted at once and fetched in parallel;
//   wall_s / pacing_bound_s    a harvest of 2000 rows at the real one-page-per-second pacing;
//   parse_ms_per_page          cutting one 80-row table page into rows;
//   hostile_parse_ms           the same for a page ending in a 3 MB line built to make the
//                              matcher backtrack (bounded per page).
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>

#include "acquire/source_a.h"
#include "acquire/source_b.h"
#include "acquire/source_c.h"
#include "app/harvest_controller.h"
#include "app/window_events.h"
#include "http/cookie_store.h"
#include "http/curl_global.h"
#include "platform/headless_ui_thread.h"
#include "proc_status.h"
#include "sites/proxy_sites.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// One harvest of `count` rows from `category`; seconds from the start to its completion.
double Harvest(lumvex::tools::ProxySites& sites, std::chrono::milliseconds interval,
               const std::string& count, int category, int* rows) {
  lumvex::HeadlessUiThread ui;
  lumvex::MainWindowState state(ui);
  lumvex::WindowSession session;
  lumvex::ProxyList list(ui);
  lumvex::http::CookieStore cookies;
  lumvex::http::FetchClient fetcher(&cookies);
  lumvex::Endpoints endpoints;
  endpoints.source_hosts["a"] = sites.HostA();
  lumvex::HarvestTuning tuning;
  tuning.page_interval = interval;
  lumvex::HarvestController harvest(ui, state, session, list, fetcher, &cookies, endpoints,
                                    tuning);
  std::mutex mutex;
  std::condition_variable done_cv;
  bool done = false;
  lumvex::HarvestEvents events;
  events.on_finished = [&](bool) {
    std::lock_guard lock(mutex);
    done = true;
    done_cv.notify_all();
  };
  harvest.SetEvents(events);
  harvest.SetCurrentCategoryId(category);
  const auto start = Clock::now();
  ui.RunSync([&] {
    session.SetFetchCount(count);
    session.SetThreadCount("25");
    lumvex::Announce(state, lumvex::WindowEvent::kSourceChosen,
                     {.source = lumvex::SourceChoice::kSourceA});
    harvest.StartHarvest();
  });
  {
    std::unique_lock lock(mutex);
    done_cv.wait(lock, [&] { return done; });
  }
  const double wall = Seconds(Clock::now() - start);
  *rows = list.ListCount();
  ui.Close();
  harvest.Shutdown();
  return wall;
}

}  // namespace

int main() {
  lumvex::http::EnsureCurlGlobalInit();
  lumvex::tools::SitesConfig config;
  config.pages_per_category = 30;
  lumvex::tools::ProxySites sites(config);
  if (!sites.Start()) {
    std::fprintf(stderr, "cannot start the sites\n");
    return 1;
  }
  int rows = 0;
  // 25 pages planned, submitted without pause: all of them in flight together.
  const double inflight = Harvest(sites, std::chrono::milliseconds(0), "1999", 102, &rows);
  std::printf("inflight_pages 25 count\n");
  std::printf("inflight_wall_s %.3f s\n", inflight);
  std::printf("peak_mb %.1f MB\n", lumvex::bench::PeakResidentMb());

  const int pages = lumvex::source_a::PageCount("2000");
  const double wall = Harvest(sites, std::chrono::milliseconds(1000), "2000", 101, &rows);
  std::printf("rows %d count\n", rows);
  std::printf("wall_s %.3f s\n", wall);
  std::printf("pacing_bound_s %d s\n", pages);

  const std::string page = sites.TablePage(101, 1);
  constexpr int kRounds = 200;
  std::size_t found = 0;
  auto start = Clock::now();
  for (int i = 0; i < kRounds; ++i) found += lumvex::source_a::ParseTableRows(page).size();
  std::printf("parse_ms_per_page %.3f ms\n", Seconds(Clock::now() - start) * 1000 / kRounds);
  if (found != static_cast<std::size_t>(kRounds) * 80) {
    std::fprintf(stderr, "expected 80 rows per page\n");
    return 1;
  }

  std::string hostile = page + "\r\n";
  while (hostile.size() < 3u * 1024 * 1024) hostile += "<tr><td></td><td>";
  start = Clock::now();
  const std::size_t kept = lumvex::source_a::ParseTableRows(hostile).size();
  std::printf("hostile_parse_ms %.1f ms\n", Seconds(Clock::now() - start) * 1000);
  std::printf("hostile_rows_kept %zu count\n", kept);

  // The patterns with the worst backtracking on one long line: the category links, the
  // any-country rows and a marker search.
  const auto time_ms = [](auto&& parse) {
    const auto begin = Clock::now();
    const std::size_t n = parse();
    return std::pair{Seconds(Clock::now() - begin) * 1000, n};
  };
  const auto line_of = [](const std::string& head, const std::string& unit) {
    std::string text = head + "\r\n";
    while (text.size() < 3u * 1024 * 1024) text += unit;
    return text;
  };
  const std::string categories =
      line_of(sites.CategoryListPage(), "<li><a href=\"proxy_ip.html?id=1\"  title=\"（\">（（");
  auto [category_ms, category_n] =
      time_ms([&] { return lumvex::source_a::ParseCategories(categories).size(); });
  std::printf("hostile_category_parse_ms %.1f ms\n", category_ms);
  std::printf("hostile_category_kept %zu count\n", category_n);
  const std::string any = line_of(sites.AnyCountryPage(), "<tr><td></td><td>");
  auto [any_ms, any_n] = time_ms([&] { return lumvex::source_c::ParsePage(any).size(); });
  std::printf("hostile_any_country_parse_ms %.1f ms\n", any_ms);
  std::printf("hostile_any_country_kept %zu count\n", any_n);
  const std::string options = line_of("", "<option value='");
  auto [option_ms, option_n] =
      time_ms([&] { return lumvex::source_b::ParseDatabaseValues(options).size(); });
  std::printf("hostile_marker_parse_ms %.1f ms\n", option_ms);
  (void)option_n;
  return 0;
}
