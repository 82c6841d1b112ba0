// `lumvexip harvest --source a|b|c ...`: a registered source harvested through the Harvester,
// without the window; prints address:port lines as rows arrive.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "acquire/harvest_tuning.h"

namespace lumvex::cli {

// Writes one address:port line per harvested row to `out` as rows arrive; with `progress`, a
// running count goes to `err`. Returns 0 when the harvest completed, 1 when the source could not
// be reached, 2 on bad usage. `tuning` shapes pacing and retries (tests shorten them).
int RunHarvest(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               bool progress, const HarvestTuning& tuning);

// The subcommand's entry: stdout, stderr; progress when stderr is a terminal.
int HarvestMain(const std::vector<std::string>& args);

}  // namespace lumvex::cli
