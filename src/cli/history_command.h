// `lumvexip history ADDRESS | --top N [--data-dir DIR]`: what the check history of the data
// directory says of one proxy, or of the best ones.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace lumvex::cli {

// For ADDRESS (any way of writing the proxy) its records, newest first, one a line: local time
// (2026-12-10T15:04:05), check or gateway, ok or failed, the reason ("-" when none), seconds;
// then one summary line: checks, success rate, median seconds of the successes, last success,
// score. With --top N the N proxies of the best score, one a line, tab-separated: address, score,
// success rate (0 to 1), checks, median seconds, last success ("-" when never). Returns 0; 1 when
// there is no history database, it cannot be read or the address has no record; 2 on bad usage.
int RunHistory(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

int HistoryMain(const std::vector<std::string>& args);

}  // namespace lumvex::cli
