// Proxy harvesting: the source selectors' loaders, the source-A harvest on the worker pool (pages
// paced one per interval), the source-B harvest of one list page and the any-country harvest of
// source C. Control updates from loader and page threads are single UI-thread steps; every
// page's rows are appended whole.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "acquire/bounded_scan.h"
#include "app/endpoints.h"
#include "app/harvest_threads.h"
#include "app/main_window_state.h"
#include "app/page_pacer.h"
#include "http/fetch_client.h"
#include "platform/ui_thread.h"
#include "platform/worker_pool.h"
#include "proxylist/proxy_entry.h"
#include "proxylist/proxy_list.h"

namespace lumvex {

namespace http {
class CookieStore;
}

struct HarvestTuning {
  std::chrono::milliseconds page_interval{1000};
  // Retry of the source-B database list: the first pause, doubled after each empty answer up to
  // the last; `database_attempts` 0 retries until the program ends.
  std::chrono::milliseconds retry_first{1000};
  std::chrono::milliseconds retry_most{30000};
  int database_attempts = 0;
  // Bound on the pattern work per page.
  ScanLimits scan;
  // Deadline of a source-A page fetch (the page fetch's default when unset).
  std::optional<double> page_timeout_s;
};

// What a harvest reports to a headless driver (the `harvest` subcommand). Called on the thread
// that did the work; must be quick.
struct HarvestEvents {
  // Rows just appended to the list, in list order.
  std::function<void(const std::vector<ProxyEntry>&)> on_rows;
  // The harvest ran its completion steps; `reached` tells whether any page of the source could
  // be fetched.
  std::function<void(bool reached)> on_finished;
};

class HarvestController {
 public:
  // Every reference must outlive the controller.
  HarvestController(UiThread& ui, MainWindowState& state, ProxyList& list, WorkerPool& pool,
                    http::FetchClient& fetcher, http::CookieStore* cookies,
                    const Endpoints& endpoints, HarvestTuning tuning = {});
  ~HarvestController();  // Shutdown
  HarvestController(const HarvestController&) = delete;
  HarvestController& operator=(const HarvestController&) = delete;

  void SetEvents(HarvestEvents events);

  // Start-up: the source-A category loader and the source-B database loader, each on a thread.
  void StartSourceLoaders();

  // Thread routines (any thread but the UI thread; they wait for its steps).
  void LoadSourceACategories();
  // False when the database list stayed empty (attempts used up or program exit).
  bool LoadSourceBDatabases();
  void LoadSourceBPages();
  void SourceBHarvest();
  void HarvestAnyCountry();
  // Pool routine: one table page of the source-A harvest (task value from StartHarvest).
  void SourceAPageTask(std::int32_t task);

  // UI-thread handlers.
  void OnCategoryChosen();
  void OnDatabaseChosen();
  void OnSourceBPageChosen();
  void OnDatabaseAddressChosen();  // 组合框1: reloads the list pages
  void StartHarvest();             // "获取代理IP", "获取代理IP(&H)"
  void StartAnyCountryHarvest();   // "获取任意国家IP(&R)"

  int CurrentCategoryId() const { return current_category_id_.load(); }
  void SetCurrentCategoryId(int id) { current_category_id_.store(id); }
  // The list-page addresses of the chosen database (SourceBPageTable), in page order.
  std::vector<std::string> SourceBPageTable() const;

  // Program exit: pacing stopped, every wait ended, threads joined within about a second.
  void Shutdown();
  // Loader and command threads still running (tests).
  int RunningThreads() const { return threads_.Running(); }
  bool WaitThreadsIdle(std::chrono::milliseconds timeout) const {
    return threads_.WaitIdle(timeout);
  }

 private:
  // One source-A harvest: its page table and its progress.
  struct SourceARun {
    std::uint32_t serial = 0;
    std::vector<std::string> urls;  // page i at i - 1
    std::atomic<int> processed{0};
    std::atomic<int> reached{0};
    std::atomic<bool> finished{false};
    std::uint64_t schedule = 0;
  };

  std::shared_ptr<SourceARun> FindRun(std::uint32_t serial) const;
  void ForgetRun(std::uint32_t serial);
  void DisableForHarvest();
  // The completion steps shared by the source-A harvest (with the pool stopped) and the others.
  void FinishSourceA(SourceARun& run);
  void FinishSourceB();
  void AppendRows(std::vector<ProxyEntry> rows);
  void StartThread(std::function<void()> work);
  ScanLimits Limits() const;

  UiThread& ui_;
  MainWindowState& state_;
  ProxyList& list_;
  WorkerPool& pool_;
  http::FetchClient& fetcher_;
  http::CookieStore* cookies_;
  const Endpoints& endpoints_;
  HarvestTuning tuning_;

  std::atomic<int> current_category_id_{-1};
  CancelSignal cancel_;
  ThreadSet threads_;
  PagePacer pacer_;

  mutable std::mutex mutex_;
  HarvestEvents events_;
  std::map<std::uint32_t, std::shared_ptr<SourceARun>> runs_;
  std::uint32_t next_serial_ = 0;
  // SourceBPageTable; replaced whole, so a harvest reading the old one keeps it.
  std::shared_ptr<const std::vector<std::string>> source_b_pages_ =
      std::make_shared<const std::vector<std::string>>();
  std::uint64_t source_b_load_serial_ = 0;
  bool shut_down_ = false;
};

}  // namespace lumvex
