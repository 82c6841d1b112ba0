// `lumvexip check [FILE|-] [--threads T] [--check-timeout S]`: checks a list of proxies with the
// validation run's pool, tasks and verdict rules, without a display.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace lumvex::cli {

// Reads address:port lines from FILE (or `in` for "-" or no FILE) and writes one line per
// verdict as it arrives: address:port TAB ok|failed TAB seconds (with --json a JSON object:
// address, verdict ok/failed, seconds, status, bytes). --expect TEXT: a reply counts only when
// it is 2xx and contains TEXT; --check-url URL is fetched instead of the validation address.
// --protocol auto|http|connect|socks4|socks5 reaches every proxy that way (auto: each of the
// four) instead of by its row's scheme; a line then waits for all of them, passes when any
// worked and gains a fourth field, the protocols that worked ("http,connect" or "-"; JSON: a
// "protocols" array). --judge URL fetches that judge through every proxy instead and ends each
// line with the proxy's anonymity (transparent, anonymous, elite, "-" when it failed; JSON:
// "anonymity", and "reason" for a reply that was no judge's); the user's own address comes from
// --my-address or one direct request to the judge first. Every verdict (not "unknown") is recorded
// in the check history of the data directory, and a JSON line then gives the proxy's
// "success_rate" (0 to 1) and "checks", this check counted; --no-history records nothing and
// adds neither. --every MINUTES checks the list again and again instead (cli/check_every.h)
// until SIGINT or SIGTERM, then returns 0. With `progress`, a progress line goes to
// `err`. Returns 0 when every proxy got a verdict, 1 when the judge could not tell the user's
// address, 2 on bad usage.
int RunCheck(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
             std::ostream& err, bool progress);

// The subcommand's entry: stdin, stdout, stderr; progress when stderr is a terminal.
int CheckMain(const std::vector<std::string>& args);

}  // namespace lumvex::cli
