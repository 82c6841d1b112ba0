// Where a harvest puts what it finds: the window's list (with its counters and status line) or
// the `harvest` subcommand's output. A source calls it from the thread doing the work (for source
// A's pages, the fetch driver's, in a transfer's completion).
#pragma once

#include <vector>

#include "proxylist/proxy_entry.h"

namespace lumvex {

class HarvestSink {
 public:
  virtual ~HarvestSink() = default;

  // The source has its page and is about to cut it into rows (the running status).
  virtual void Running() = 0;
  // The rows of one page, taken whole (possibly none). Returns the rows held afterwards, which
  // is what the requested number of a harvest is measured against.
  virtual int Append(std::vector<ProxyEntry> rows) = 0;
  // After a page of a paced harvest: `count` rows are held now.
  virtual void Progress(int count) = 0;
  // The harvest ended; `reached` tells whether any page of the source could be fetched. Not
  // called when the harvest was abandoned at program exit.
  virtual void Finished(bool reached) = 0;
};

}  // namespace lumvex
