// What every source works with: the HTTP clients, the harvest's threads, its exit signal and
// pacer, and its bounds. Owned by the Harvester; the sources hold it by value.
#pragma once

#include "acquire/bounded_scan.h"
#include "acquire/cancel_signal.h"
#include "acquire/harvest_tuning.h"
#include "acquire/page_pacer.h"
#include "http/fetch_client.h"
#include "platform/work_threads.h"

namespace lumvex {

namespace http {
class CookieStore;
}

struct HarvestContext {
  http::FetchClient& fetcher;
  http::CookieStore* cookies;
  CancelSignal& cancel;
  WorkThreads& threads;
  PagePacer& pacer;
  const HarvestTuning& tuning;

  // The pattern bound of one page, ended early by the exit signal.
  ScanLimits Limits() const {
    ScanLimits limits = tuning.scan;
    limits.cancel = cancel.Flag();
    return limits;
  }
};

}  // namespace lumvex
