// Import from a web address: "从网址导入代理IP(&U)" asks for the address of a plain-text proxy list
// (one address:port per line), fetches it directly and appends its rows as an import does. The
// address last used is kept in the INI file "list url" of the data directory.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/list_commands_controller.h"
#include "app/main_window_state.h"
#include "config/url_list_fetch.h"
#include "config/user_prompts.h"
#include "http/fetch_client.h"
#include "proxylist/proxy_entry.h"
#include "settings/data_dir.h"

namespace lumvex {

inline constexpr std::string_view kUrlImportCaption = "从网址导入代理IP";
inline constexpr std::string_view kUrlImportLabel = "代理IP列表的网址（每行一个 IP:端口）：";

// The outcome of one import from a web address.
struct UrlImportResult {
  bool fetched = false;      // a 2xx answer with a body arrived
  bool cut = false;          // the list was longer than the size cap; its tail is missing
  std::string error;         // why no row came, in plain words; empty when rows came
  std::string status_error;  // the same for the status line
  std::size_t added = 0;     // rows appended (they are in the list, not kept here)
  bool Worked() const { return error.empty(); }
};

class UrlImportController {
 public:
  // Everything passed in must outlive the controller.
  UrlImportController(MainWindowState& state, ListCommandsController& commands,
                      UserPrompts& prompts, http::FetchClient& fetcher, DataDir data_dir);

  // The address to offer: the one kept in "list url", else the default.
  std::string LastAddress() const;
  // Keeps `address` in "list url"; failures are silent.
  void SaveAddress(std::string_view address) const;

  // The menu item's handler (UI thread): asks for the address, then fetches and imports on a
  // command thread, and keeps the address once rows came from it (a failed address is not
  // offered again). The item is disabled while its import runs.
  void ImportFromWebAddress();

  // The work itself, blocking, callable from any thread (the headless `harvest --url` uses it):
  // status "正在导入代理IP....", the fetch, the rows, then the import's closing status and counter,
  // or why nothing came (no answer, an error status, an empty body, no address line).
  UrlImportResult Import(const std::string& address);

  // Fetch deadline in seconds.
  void SetTimeoutSeconds(double seconds) { timeout_s_ = seconds; }

 private:
  MainWindowState& state_;
  ListCommandsController& commands_;
  UserPrompts& prompts_;
  http::FetchClient& fetcher_;
  DataDir data_dir_;
  double timeout_s_ = kUrlListTimeoutS;
};

}  // namespace lumvex
