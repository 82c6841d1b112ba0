#include "app/option_table.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <deque>
#include <vector>

#include "acquire/source_registry.h"
#include "app/validation_controller.h"
#include "judge/judge_limits.h"
#include "sysproxy/proxy_guard.h"
#include "validate/proxy_check.h"

namespace lumvex {
namespace {

// Longest number of seconds a flag accepts: a day.
constexpr double kMaxSeconds = 86400;

constexpr unsigned Bit(Invocation command) { return static_cast<unsigned>(command); }

constexpr judge::JudgeLimits kJudgeDefaults{};
constexpr double kJudgeHeadTimeoutS =
    std::chrono::duration<double>(kJudgeDefaults.head_timeout).count();

constexpr double kGuardIntervalS =
    std::chrono::duration<double>(ProxyGuard::kDefaultInterval).count();

constexpr OptionSpec kOptions[] = {
    // Program-wide: the window takes them, and every subcommand accepts them as well.
    {"--data-dir", "DIR", ValueGrammar::kDirectory, 0, "directory of the list and settings files",
     kEveryCommand, true},
    // Here come the servers of the registered sources (see OptionRows).
    {"--validation-host", "URL", ValueGrammar::kHttpAddress, 0,
     "server that proxies are checked against", kEveryCommand, true},
    {"--connectivity-host", "URL", ValueGrammar::kHttpAddress, 0,
     "server fetched to test the active proxy", kEveryCommand, true},
    {"--manifest-url", "URL", ValueGrammar::kHttpAddress, 0, "address of the update manifest page",
     kEveryCommand, true},
    {"--check-timeout", "SECONDS", ValueGrammar::kSeconds, kDefaultCheckTimeoutS,
     "deadline of one proxy check", kEveryCommand, true},
    {"--guard-interval", "SECONDS", ValueGrammar::kSeconds, kGuardIntervalS,
     "time between two re-checks of the proxy guard", kEveryCommand, true},
    // `check`.
    {"--threads", "T", ValueGrammar::kWholeNumber, ValidationController::kDefaultThreads,
     "checks at once", Bit(Invocation::kCheck), false},
    {"--expect", "TEXT", ValueGrammar::kText, 0,
     "a reply counts only when it is 2xx and its body contains TEXT", Bit(Invocation::kCheck),
     false},
    {"--check-url", "URL", ValueGrammar::kHttpAddress, 0,
     "fetched instead of the validation address", Bit(Invocation::kCheck), false},
    {"--json", "", ValueGrammar::kNone, 0, "JSON lines instead of tab-separated ones",
     Bit(Invocation::kCheck), false},
    {"--reasons", "", ValueGrammar::kNone, 0,
     "end each tab-separated line in why the check ended so (\"-\" when it passed)",
     Bit(Invocation::kCheck), false},
    {"--judge", "URL", ValueGrammar::kHttpAddress, 0,
     "fetch this judge through each proxy and report its anonymity", Bit(Invocation::kCheck),
     false},
    {"--my-address", "ADDRESS", ValueGrammar::kText, 0,
     "your own address, instead of asking the judge (may be repeated)", Bit(Invocation::kCheck),
     false},
    {"--protocol", "PROTOCOL", ValueGrammar::kWord, 0,
     "http, connect, socks4 or socks5: reach every proxy this way, and report which worked; "
     "auto: try each",
     Bit(Invocation::kCheck), false},
    // `harvest`.
    // Its value name is the registered sources' names (see OptionRows).
    {"--source", "", ValueGrammar::kWord, 0, "the proxy-list site to harvest",
     Bit(Invocation::kHarvest), false},
    {"--count", "N", ValueGrammar::kWholeNumber, 80, "proxies wanted from source A",
     Bit(Invocation::kHarvest), false},
    {"--category", "ID", ValueGrammar::kWholeNumber, 0, "category of source A",
     Bit(Invocation::kHarvest), false},
    {"--database", "K", ValueGrammar::kWholeNumber, 1, "database of source B",
     Bit(Invocation::kHarvest), false},
    {"--page", "K", ValueGrammar::kWholeNumber, 1, "list page of source B",
     Bit(Invocation::kHarvest), false},
    {"--url", "ADDRESS", ValueGrammar::kText, 0, "a plain-text list of address:port lines",
     Bit(Invocation::kHarvest), false},
    // `proxy guard`.
    {"--interval", "SECONDS", ValueGrammar::kSeconds, kGuardIntervalS, "time between two re-checks",
     Bit(Invocation::kProxyGuard), false},
    // `judge`.
    {"--listen", "ADDRESS:PORT", ValueGrammar::kText, 0,
     "where the judge listens: A.B.C.D:PORT or [IPV6]:PORT, port 0 for any free port",
     Bit(Invocation::kJudge), false},
    {"--max-connections", "N", ValueGrammar::kWholeNumber, kJudgeDefaults.max_connections,
     "connections open at once", Bit(Invocation::kJudge), false},
    {"--max-per-client", "N", ValueGrammar::kWholeNumber, kJudgeDefaults.max_per_client,
     "connections open at once from one client address", Bit(Invocation::kJudge), false},
    {"--rate", "R", ValueGrammar::kWholeNumber, kJudgeDefaults.rate,
     "requests a second per client address", Bit(Invocation::kJudge), false},
    {"--head-timeout", "SECONDS", ValueGrammar::kSeconds, kJudgeHeadTimeoutS,
     "time a client has to send its request head", Bit(Invocation::kJudge), false},
};

// The flag rows that follow the registry: after the data directory, one "--source-NAME URL" per
// registered source, in its order; and "--source" takes the registered names ("a|b|c").
constexpr std::string_view kRowBeforeSources = "--data-dir";
constexpr std::string_view kSourceChoice = "--source";

// The table with the registry's rows in place. Built once; its texts stay where they are made,
// since the rows' string_views point into them.
class OptionRows {
 public:
  OptionRows() {
    std::string names;
    for (const SourceInfo& source : RegisteredSources()) {
      if (!names.empty()) names += '|';
      names += source.name;
    }
    const std::string_view source_names = Keep(std::move(names));
    for (OptionSpec row : kOptions) {
      if (row.name == kSourceChoice) row.value_name = source_names;
      rows_.push_back(row);
      if (row.name != kRowBeforeSources) continue;
      for (const SourceInfo& source : RegisteredSources()) {
        rows_.push_back({Keep(SourceFlag(source.name)), "URL", ValueGrammar::kHttpAddress, 0,
                         Keep("server of proxy-list " + std::string(source.title)), kEveryCommand,
                         true});
      }
    }
  }

  std::span<const OptionSpec> rows() const { return rows_; }

 private:
  std::string_view Keep(std::string text) { return texts_.emplace_back(std::move(text)); }

  std::deque<std::string> texts_;  // a deque never moves what it holds
  std::vector<OptionSpec> rows_;
};

const OptionRows& Rows() {
  static const OptionRows rows;
  return rows;
}

// Usage templates: "{--flag}" is written "[--flag VALUE]", "<--flag>" "--flag VALUE", and
// "{--source-*}" is the "{--source-NAME}" of every registered source.
struct UsageTemplate {
  Invocation command;
  std::string_view text;
};

constexpr UsageTemplate kUsages[] = {
    {Invocation::kCheck,
     "lumvexip check [FILE|-] {--threads} {--check-timeout} {--validation-host}\n"
     "               {--expect} {--check-url} {--json} {--reasons}\n"
     "               {--protocol} {--judge} {--my-address}"},
    {Invocation::kHarvest,
     "lumvexip harvest <--source> {--count} {--category} {--database} {--page} {--source-*} | "
     "lumvexip harvest <--url>"},
    {Invocation::kProxy,
     "lumvexip proxy set [SCHEME://]HOST:PORT|[IPV6]:PORT | off | status {--data-dir}"},
    {Invocation::kProxyGuard,
     "lumvexip proxy guard [FILE|-] {--interval} {--check-timeout} {--data-dir}"},
    {Invocation::kJudge,
     "lumvexip judge <--listen> {--max-connections} {--max-per-client}\n"
     "               {--rate} {--head-timeout}"},
};

constexpr std::string_view kEverySourceFlag = "--source-*";

std::string FlagText(std::string_view name) {
  std::string text(name);
  if (const OptionSpec* option = FindOption(name); option && !option->value_name.empty()) {
    text += ' ';
    text += option->value_name;
  }
  return text;
}

std::string Expand(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const char open = text[i];
    const char close = open == '{' ? '}' : open == '<' ? '>' : '\0';
    const std::size_t end = close ? text.find(close, i) : std::string_view::npos;
    if (end == std::string_view::npos) {
      out += open;
      ++i;
      continue;
    }
    const std::string_view name = text.substr(i + 1, end - i - 1);
    i = end + 1;
    if (name == kEverySourceFlag) {
      for (const SourceInfo& source : RegisteredSources()) {
        if (&source != &RegisteredSources().front()) out += ' ';
        out += "[" + FlagText(SourceFlag(source.name)) + "]";
      }
      continue;
    }
    const std::string flag = FlagText(name);
    out += open == '{' ? "[" + flag + "]" : flag;
  }
  return out;
}

}  // namespace

std::span<const OptionSpec> Options() { return Rows().rows(); }

const OptionSpec* FindOption(std::string_view name) {
  for (const OptionSpec& option : Options()) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

std::string SourceFlag(std::string_view source_name) {
  return "--source-" + std::string(source_name);
}

bool Takes(const OptionSpec& option, Invocation command) {
  return (option.commands & Bit(command)) != 0;
}

std::string DefaultText(std::string_view name) {
  const OptionSpec* option = FindOption(name);
  if (option == nullptr || option->default_value <= 0) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%g", option->default_value);
  return text;
}

std::optional<double> ParseSeconds(std::string_view text) {
  // Only digits and one point: from_chars alone would also take exponents, "inf" and "nan".
  if (text.empty() || text.find_first_not_of("0123456789.") != std::string_view::npos ||
      text.find('.') != text.rfind('.') || text == ".") {
    return std::nullopt;
  }
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !(value > 0) ||
      value > kMaxSeconds) {
    return std::nullopt;
  }
  return value;
}

std::string SecondsError(std::string_view flag, std::string_view value) {
  char most[32];
  std::snprintf(most, sizeof most, "%g", kMaxSeconds);
  return std::string(flag) + ": a number of seconds above 0, at most " + most + ": \"" +
         std::string(value) + "\"";
}

std::string UsageOf(Invocation command) {
  std::string usage;
  for (const UsageTemplate& entry : kUsages) {
    if (entry.command == command) usage = Expand(entry.text);
  }
  // `proxy --help` shows the guard's usage too, under its own.
  if (command == Invocation::kProxy) usage += "\n       " + UsageOf(Invocation::kProxyGuard);
  return usage;
}

}  // namespace lumvex
