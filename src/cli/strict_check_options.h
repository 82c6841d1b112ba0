// The strict-check flags of `lumvexip check`: --expect TEXT (a reply counts only when it is 2xx
// and its body contains TEXT), --check-url URL (fetched instead of the validation address) and
// --json (JSON lines instead of tab-separated ones), --judge URL (the judge fetched through each
// proxy instead, its reply classifying the proxy's anonymity; not together with --expect or
// --check-url, which it replaces) and --my-address A (repeatable: the user's own addresses, instead
// of asking the judge).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "cli/subcommand_args.h"
#include "validate/strict_check.h"

namespace lumvex::cli {

// Names of the flags read here; the option table declares them as own flags of `check`.
inline constexpr std::string_view kExpectFlag = "--expect";
inline constexpr std::string_view kCheckUrlFlag = "--check-url";
inline constexpr std::string_view kJsonSwitch = "--json";
inline constexpr std::string_view kJudgeFlag = "--judge";
inline constexpr std::string_view kMyAddressFlag = "--my-address";

struct StrictCheckOptions {
  StrictRule rule;  // with --judge: its judge, and the --my-address values as own addresses
  bool json = false;
};

// The options given in `parsed`; a bad value adds a message to `errors`.
StrictCheckOptions StrictCheckOptionsOf(const SubcommandArgs& parsed,
                                        std::vector<std::string>& errors);

// `text` as a JSON string literal, quotes included (UTF-8 passes through; control characters,
// quotes and backslashes are escaped; bytes that are not UTF-8 become U+FFFD).
std::string JsonString(std::string_view text);

// {"address":"1.2.3.4:80","verdict":"ok","seconds":0.123,"status":200,"bytes":17}; `verdict` is
// "ok", "failed" or "unknown".
std::string VerdictJsonLine(std::string_view address, std::string_view verdict, double seconds,
                            int status, std::size_t bytes);

}  // namespace lumvex::cli
