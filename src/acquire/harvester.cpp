#include "acquire/harvester.h"

#include <utility>

#include "acquire/source_registry.h"

namespace lumvex {

Harvester::Harvester(http::FetchClient& fetcher, http::CookieStore* cookies, HarvestTuning tuning,
                     const HostOf& host_of)
    : tuning_(std::move(tuning)), pacer_(tuning_.page_interval), context_{fetcher, cookies,
                                                                          cancel_, threads_,
                                                                          pacer_,  tuning_} {
  for (const SourceInfo& info : RegisteredSources()) {
    sources_.emplace(std::string(info.name), info.make(context_, host_of(info.name)));
  }
}

Harvester::~Harvester() { Shutdown(); }

Source* Harvester::Find(std::string_view name) const {
  const auto it = sources_.find(name);
  return it == sources_.end() ? nullptr : it->second.get();
}

void Harvester::Shutdown() {
  if (shut_down_.exchange(true)) return;
  cancel_.Raise();
  pacer_.Stop();
  cancel_.WaitWatchersDone(std::chrono::milliseconds(1000));
  threads_.JoinAll(std::chrono::milliseconds(1500));
}

}  // namespace lumvex
