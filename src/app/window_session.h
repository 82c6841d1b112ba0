// What the window's runs go by that no control shows: the numbers of the settings dialog, the
// strict rule with its judge, the addresses of source B's databases and the two web addresses of
// the update manifest. Start-up reads the settings files into it, the settings dialog writes it,
// the runs, the harvest, the tray and the About window read it; the window-state table keeps only
// what a control shows.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "settings/data_dir.h"
#include "validate/strict_check.h"
#include "validate/validation_run.h"

namespace lumvex {

struct SessionValues {
  // Proxies wanted from source A, as typed ("agent number"); source A reads it as a number.
  std::string fetch_count;
  // Checks at once, also source A's pages fetched at once ("thread", through ChecksAtOnceOf).
  int checks_at_once = ValidationRun::kDefaultThreads;
  // The strict rule and judge of the settings ("strict").
  StrictRule strict;
  // The address of each database of source B, in the order of the database box.
  std::vector<std::string> source_b_addresses;
  // From the update manifest: opened by the tray's web-site item, shown by the About window.
  std::string tray_web_address;
  std::string about_web_address;
};

// The checks at once a thread-count text asks for (the "thread" file, the dialog's field), within
// the bounds of `check --threads`: the text is read as atoi reads it, as that file always was
// (" 5" and "12x" are 5 and 12); 0 or less (also empty or no number) gives
// ValidationRun::kDefaultThreads, more than ValidationRun::kMaxThreads gives that most.
int ChecksAtOnceOf(std::string_view text);

// Every method may be called from any thread.
class WindowSession {
 public:
  SessionValues Get() const;
  // Changes several values in one step.
  void Change(const std::function<void(SessionValues&)>& change);

  void SetFetchCount(std::string text);
  // Stores ChecksAtOnceOf(text).
  void SetThreadCount(std::string_view text);
  void SetStrictRule(StrictRule rule);
  void SetSourceBAddresses(std::vector<std::string> addresses);
  void SetTrayWebAddress(std::string address);
  void SetAboutWebAddress(std::string address);

  // Start-up: the fetch count and the thread count from their files (an absent file keeps the
  // value held), and the strict rule. The files are only read.
  void Load(const DataDir& data_dir);

  std::string FetchCount() const;
  int ChecksAtOnce() const;
  // The address of the database at `index` of the box; empty when there is none.
  std::string SourceBAddress(int index) const;

 private:
  mutable std::mutex mutex_;
  SessionValues values_;
};

}  // namespace lumvex
