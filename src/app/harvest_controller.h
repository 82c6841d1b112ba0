// The window's side of the harvest: fills the source selectors from the sources' choices, starts
// the chosen source's harvest from "获取代理IP" and the any-country item, and maps what the
// harvest reports (rows, running, progress, its end) to the list, the status line, the counters
// and the controls. The sources themselves live below, in acquire/, behind the Harvester.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "acquire/harvester.h"
#include "app/main_window_state.h"
#include "app/window_session.h"
#include "config/endpoints.h"
#include "http/fetch_client.h"
#include "platform/ui_thread.h"
#include "proxylist/proxy_entry.h"
#include "proxylist/proxy_list.h"

namespace lumvex {

namespace http {
class CookieStore;
}

// The start of the status line and of an empty source box's tooltip when no page of a
// proxy-list site could be fetched; the site's address follows.
inline constexpr std::string_view kSiteUnreachable = "无法访问代理IP网站：";

// What a harvest reports to a listener (tests), on the thread that did the work; must be quick.
struct HarvestEvents {
  // Rows just appended to the list, in list order.
  std::function<void(const std::vector<ProxyEntry>&)> on_rows;
  // The harvest ran its completion steps; `reached` tells whether any page of the source could
  // be fetched.
  std::function<void(bool reached)> on_finished;
};

class HarvestController {
 public:
  // Every reference must outlive the controller. `session` gives source A's number of proxies and
  // pages at once, and keeps the addresses of source B's databases.
  HarvestController(UiThread& ui, MainWindowState& state, WindowSession& session, ProxyList& list,
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

  // UI-thread handlers.
  void OnCategoryChosen();
  void OnDatabaseChosen();
  void OnSourceBPageChosen();
  void StartHarvest();            // "获取代理IP", "获取代理IP(&H)"
  void StartAnyCountryHarvest();  // "获取任意国家IP(&R)"

  int CurrentCategoryId() const { return current_category_id_.load(); }
  void SetCurrentCategoryId(int id) { current_category_id_.store(id); }
  // The list-page addresses of the chosen database (SourceBPageTable), in page order.
  std::vector<std::string> SourceBPageTable() const;

  // Program exit: pacing stopped, every wait ended, threads joined within about a second.
  void Shutdown();
  // Loader and command threads still running (tests).
  int RunningThreads() const { return harvester_.RunningThreads(); }
  bool WaitThreadsIdle(std::chrono::milliseconds timeout) const {
    return harvester_.WaitThreadsIdle(timeout);
  }

 private:
  class WindowSink;
  // `reached`: whether any page of the source could be fetched.
  using FinishSteps = void (HarvestController::*)(bool reached);

  // Starts the registered source `name` with the window as its sink.
  void StartSource(std::string_view name, HarvestOrder order, FinishSteps finish);
  void DisableForHarvest();
  // What the sink reports, mapped to the window.
  void ShowRunning(std::string_view status);
  int AppendRows(std::vector<ProxyEntry> rows);
  void ShowListCount(int count);
  void NotifyFinished(bool reached);
  // kSiteUnreachable and the address of `source`'s site.
  std::string UnreachableNote(std::string_view source) const;
  // The status line at the end of a harvest of `source`: the count, after the site's address
  // when no page of it could be fetched.
  std::string DoneStatus(std::string_view source, bool reached, int count) const;
  // The boxes of `source` that stayed empty say in their tooltip that its site could not be
  // reached (while `reached` is false); the others show none. On the UI thread.
  void ShowReach(std::string_view source, bool reached);
  // The completion steps of each source's harvest.
  void FinishSourceA(bool reached);
  void FinishSourceB(bool reached);
  void FinishAnyCountry(bool reached);

  UiThread& ui_;
  MainWindowState& state_;
  WindowSession& session_;
  ProxyList& list_;
  const Endpoints& endpoints_;
  Harvester harvester_;

  std::atomic<int> current_category_id_{-1};

  mutable std::mutex mutex_;
  HarvestEvents events_;
  // SourceBPageTable; replaced whole, so a harvest reading the old one keeps it.
  std::shared_ptr<const std::vector<std::string>> source_b_pages_ =
      std::make_shared<const std::vector<std::string>>();
  std::uint64_t source_b_load_serial_ = 0;
};

}  // namespace lumvex
