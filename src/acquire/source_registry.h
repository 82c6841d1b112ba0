// The one list of harvest sources. Adding a source: its class (a Source) in a file of its own and
// one entry in source_registry.cpp; the window, `lumvexip harvest --source`, the endpoints and the
// `--source-NAME` flag of its server find it here.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "acquire/harvest_context.h"
#include "acquire/source.h"

namespace lumvex {

struct SourceInfo {
  // The value of `harvest --source` and the key of the source's server.
  std::string_view name;
  // How messages name it ("source A").
  std::string_view title;
  // The status line while its harvest runs.
  std::string_view running_status;
  // The server (host[:port], no scheme) used unless `--source-NAME` names another.
  std::string_view default_host;
  std::unique_ptr<Source> (*make)(const HarvestContext& context, std::string host);
};

// Every source, in the order offered.
const std::vector<SourceInfo>& RegisteredSources();
// The source named `name`, or nullptr.
const SourceInfo* FindSource(std::string_view name);

}  // namespace lumvex
