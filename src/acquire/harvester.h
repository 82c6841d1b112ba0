// The harvest service: every registered source built once over the shared HTTP clients, with the
// harvest's threads, pacer and exit signal. The window's harvest controller
// and `lumvexip harvest` both drive the sources through it.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "acquire/cancel_signal.h"
#include "acquire/harvest_context.h"
#include "acquire/harvest_tuning.h"
#include "acquire/page_pacer.h"
#include "acquire/source.h"
#include "platform/work_threads.h"

namespace lumvex {

class Harvester {
 public:
  // The server (host[:port]) of a registered source, by its name.
  using HostOf = std::function<std::string(std::string_view name)>;

  // Every reference must outlive the harvester.
  Harvester(http::FetchClient& fetcher, http::CookieStore* cookies, HarvestTuning tuning,
            const HostOf& host_of);
  ~Harvester();  // Shutdown
  Harvester(const Harvester&) = delete;
  Harvester& operator=(const Harvester&) = delete;

  // The source registered as `name`, or nullptr.
  Source* Find(std::string_view name) const;

  // A thread for one piece of work (loaders, command threads); false after Shutdown.
  bool StartThread(std::function<void()> work) { return threads_.Start(std::move(work)); }
  int RunningThreads() const { return threads_.Running(); }
  bool WaitThreadsIdle(std::chrono::milliseconds timeout) const {
    return threads_.WaitIdle(timeout);
  }

  // Program exit: pacing stopped, every wait ended, threads joined within about a second. Page
  // completions arriving later touch nothing; one already at work is waited for (it hands its
  // rows over at once once the UiThread is closed). The fetch client's owner closes it after.
  void Shutdown();

 private:
  const HarvestTuning tuning_;
  CancelSignal cancel_;
  // A refused loader is dropped; destruction waits at most two seconds for the rest.
  WorkThreads threads_{
      {.run_refused_inline = false, .exit_bound = std::chrono::milliseconds(2000)}};
  PagePacer pacer_;
  HarvestContext context_;
  std::map<std::string, std::unique_ptr<Source>, std::less<>> sources_;
  std::atomic<bool> shut_down_{false};
};

}  // namespace lumvex
