#include "config/option_table.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <vector>

#include "acquire/source_registry.h"
#include "config/flag_values.h"
#include "judge/judge_limits.h"
#include "sysproxy/proxy_guard.h"
#include "validate/proxy_check.h"
#include "validate/validation_run.h"

namespace lumvex {
namespace {

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
    {"--threads", "T", ValueGrammar::kWholeNumber, ValidationRun::kDefaultThreads, "checks at once",
     Bit(Invocation::kCheck) | Bit(Invocation::kGateway), false, "1 to 10000"},
    {"--expect", "TEXT", ValueGrammar::kText, 0,
     "a reply counts only when it is 2xx and its body contains TEXT", Bit(Invocation::kCheck),
     false, "any text but an empty one"},
    {"--check-url", "URL", ValueGrammar::kHttpAddress, 0,
     "fetched instead of the validation address", Bit(Invocation::kCheck), false},
    {"--json", "", ValueGrammar::kNone, 0, "JSON lines instead of tab-separated ones",
     Bit(Invocation::kCheck), false},
    {"--reasons", "", ValueGrammar::kNone, 0,
     "end each tab-separated line in why the check ended so (\"-\" when it passed)",
     Bit(Invocation::kCheck), false},
    {"--judge", "URL", ValueGrammar::kHttpAddress, 0,
     "fetch this judge through each proxy and report its anonymity",
     Bit(Invocation::kCheck) | Bit(Invocation::kGateway), false},
    {"--my-address", "ADDRESS", ValueGrammar::kText, 0,
     "your own address, instead of asking the judge (may be repeated)", Bit(Invocation::kCheck),
     false, "an IPv4 or IPv6 address"},
    {"--protocol", "PROTOCOL", ValueGrammar::kWord, 0,
     "reach every proxy by this protocol and report which worked; auto tries each",
     Bit(Invocation::kCheck), false, "auto, http, connect, socks4 or socks5"},
    {"--no-history", "", ValueGrammar::kNone, 0,
     "record nothing in the check history of the data directory", Bit(Invocation::kCheck), false},
    {"--every", "MINUTES", ValueGrammar::kSeconds, 0,
     "check the list again and again until SIGINT or SIGTERM: working proxies every MINUTES, "
     "the others every 4 x MINUTES",
     Bit(Invocation::kCheck), false, "a number above 0, \"0.5\" being half a minute"},
    // `harvest`.
    // Its value name is the registered sources' names (see OptionRows).
    {"--source", "", ValueGrammar::kWord, 0, "the proxy-list site to harvest",
     Bit(Invocation::kHarvest), false},
    {"--count", "N", ValueGrammar::kWholeNumber, 80, "proxies wanted from source A",
     Bit(Invocation::kHarvest), false},
    {"--category", "ID", ValueGrammar::kWholeNumber, 0, "category of source A",
     Bit(Invocation::kHarvest), false},
    {"--database", "K", ValueGrammar::kWholeNumber, 1, "database of source B",
     Bit(Invocation::kHarvest), false, "1 or more"},
    {"--page", "K", ValueGrammar::kWholeNumber, 1, "list page of source B",
     Bit(Invocation::kHarvest), false, "1 or more"},
    {"--url", "ADDRESS", ValueGrammar::kText, 0,
     "a plain-text list of address:port lines; each address is printed once",
     Bit(Invocation::kHarvest), false, "an http or https address"},
    // `proxy set`.
    {"--no-probe", "", ValueGrammar::kNone, 0,
     "set an HTTP proxy for http only, without asking it for a CONNECT tunnel first",
     Bit(Invocation::kProxy), false, ""},
    // `proxy guard`.
    {"--interval", "SECONDS", ValueGrammar::kSeconds, kGuardIntervalS, "time between two re-checks",
     Bit(Invocation::kProxyGuard), false},
    // `judge`.
    {"--listen", "ADDRESS:PORT", ValueGrammar::kText, 0,
     "where the judge listens: A.B.C.D:PORT, [IPV6]:PORT, localhost:PORT or PORT (both "
     "127.0.0.1), port 0 for any free port",
     Bit(Invocation::kJudge), false},
    {"--max-connections", "N", ValueGrammar::kWholeNumber, kJudgeDefaults.max_connections,
     "connections open at once", Bit(Invocation::kJudge), false, "1 to 100000"},
    {"--max-per-client", "N", ValueGrammar::kWholeNumber, kJudgeDefaults.max_per_client,
     "connections open at once from one client address", Bit(Invocation::kJudge), false,
     "1 to 100000"},
    {"--rate", "R", ValueGrammar::kWholeNumber, kJudgeDefaults.rate,
     "requests a second per client address", Bit(Invocation::kJudge), false, "1 to 1000000"},
    {"--head-timeout", "SECONDS", ValueGrammar::kSeconds, kJudgeHeadTimeoutS,
     "time a client has to send its request head", Bit(Invocation::kJudge), false},
    // `gateway`.
    {"--listen", "HOST:PORT", ValueGrammar::kText, 0,
     "where the HTTP proxy of the gateway listens: A.B.C.D:PORT or [IPV6]:PORT, port 0 for any "
     "free port",
     Bit(Invocation::kGateway), false},
    {"--socks-listen", "HOST:PORT", ValueGrammar::kText, 0,
     "where its SOCKS5 proxy listens, as --listen", Bit(Invocation::kGateway), false},
    {"--allow", "ADDRESS/BITS", ValueGrammar::kText, 0,
     "an address block whose clients may use the gateway (may be repeated; without it, loopback "
     "clients only; a --listen address that is not loopback needs it)",
     Bit(Invocation::kGateway), false, "as 192.168.1.0/24 or ::1/128"},
    {"--rotate", "best|each|sticky", ValueGrammar::kWord, 0,
     "which upstream carries a connection: the best, each in turn, or one per site for a few "
     "minutes (default sticky)",
     Bit(Invocation::kGateway), false},
    // `history`.
    {"--top", "N", ValueGrammar::kWholeNumber, 0,
     "the N proxies of the best score, one a line, instead of one proxy's records",
     Bit(Invocation::kHistory), false, "1 or more"},
};
// The help's range of --threads is the one `check` enforces (ParseThreadCount).
static_assert(ValidationRun::kMaxThreads == 10000);

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
     "               {--protocol} {--judge} {--my-address} {--every}"},
    {Invocation::kHarvest,
     "lumvexip harvest <--source> {--count} {--category} {--database} {--page} {--source-*} | "
     "lumvexip harvest <--url>"},
    {Invocation::kProxy,
     "lumvexip proxy set [SCHEME://][USER:PASSWORD@]HOST:PORT|[IPV6]:PORT {--no-probe}\n"
     "                   {--check-timeout} {--connectivity-host} | off | status {--data-dir}"},
    {Invocation::kProxyGuard,
     "lumvexip proxy guard [FILE|-] {--interval} {--check-timeout} {--data-dir}"},
    {Invocation::kJudge,
     "lumvexip judge <--listen> {--max-connections} {--max-per-client}\n"
     "               {--rate} {--head-timeout}"},
    {Invocation::kGateway,
     "lumvexip gateway [LIST|-] <--listen> {--socks-listen} {--allow} {--rotate}\n"
     "                 {--threads} {--check-timeout} {--validation-host} {--judge} {--data-dir}"},
    {Invocation::kHistory,
     "lumvexip history ADDRESS {--data-dir} | lumvexip history <--top> {--data-dir}"},
};

constexpr std::string_view kEverySourceFlag = "--source-*";

// What a command's help says after its flags, beyond what one flag's line can.
struct HelpNote {
  Invocation command;
  std::string_view text;
};

constexpr HelpNote kHelpNotes[] = {
    {Invocation::kCheck,
     "Each address is checked and printed once: a line repeating an address:port already read is "
     "skipped. With --every the whole list is checked first, then each working proxy every "
     "MINUTES and every other one every 4 x MINUTES, a line per verdict, until SIGINT or SIGTERM "
     "(exit 0)."},
    {Invocation::kHistory,
     "ADDRESS: its records newest first (time, check or gateway, ok or failed, reason, seconds), "
     "then a summary line. --top: address, score, success rate, checks, median seconds and last "
     "success, tab-separated. Exit status 1 when there is no such history."},
    {Invocation::kProxyGuard,
     "When the proxy in use fails, the proxies that the list file of the data directory calls "
     "working are tried first, then the rest of the list in its order."},
};

// The flag names a usage template holds, in order ("--threads", "--source-*", ...).
std::vector<std::string_view> NamesIn(std::string_view text) {
  std::vector<std::string_view> names;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char close = text[i] == '{' ? '}' : text[i] == '<' ? '>' : '\0';
    const std::size_t end = close ? text.find(close, i) : std::string_view::npos;
    if (end == std::string_view::npos) continue;
    names.push_back(text.substr(i + 1, end - i - 1));
    i = end;
  }
  return names;
}

std::string FlagText(std::string_view name, Invocation command) {
  std::string text(name);
  if (const OptionSpec* option = FindOption(name, command);
      option && !option->value_name.empty()) {
    text += ' ';
    text += option->value_name;
  }
  return text;
}

std::string Expand(std::string_view text, Invocation command) {
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
        out += "[" + FlagText(SourceFlag(source.name), command) + "]";
      }
      continue;
    }
    const std::string flag = FlagText(name, command);
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

const OptionSpec* FindOption(std::string_view name, Invocation command) {
  for (const OptionSpec& option : Options()) {
    if (option.name == name && Takes(option, command)) return &option;
  }
  return FindOption(name);
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

std::string UsageOf(Invocation command) {
  std::string usage;
  for (const UsageTemplate& entry : kUsages) {
    if (entry.command == command) usage = Expand(entry.text, command);
  }
  // `proxy --help` shows the guard's usage too, under its own.
  if (command == Invocation::kProxy) usage += "\n       " + UsageOf(Invocation::kProxyGuard);
  return usage;
}

std::string ValuesText(const OptionSpec& option) {
  if (!option.values.empty()) return std::string(option.values);
  switch (option.grammar) {
    case ValueGrammar::kDirectory:
      return "a directory";
    case ValueGrammar::kHttpAddress:
      return "http://host[:port][/path] or host[:port]";
    case ValueGrammar::kSeconds: {
      char most[32];
      std::snprintf(most, sizeof most, "%g", kMostSeconds);
      return std::string("above 0, at most ") + most + ", as 5 or 0.5";
    }
    case ValueGrammar::kWholeNumber:
      return "a whole number";
    case ValueGrammar::kNone:
    case ValueGrammar::kText:
    case ValueGrammar::kWord:
      break;
  }
  return {};
}

std::string HelpLine(const OptionSpec& option) {
  constexpr std::size_t kColumn = 28;
  std::string line = "  " + std::string(option.name);
  if (!option.value_name.empty()) line += " " + std::string(option.value_name);
  line.resize(std::max(line.size() + 2, kColumn), ' ');
  line += option.help;
  std::string notes;
  if (const std::string values = ValuesText(option); !values.empty()) {
    notes = std::string(option.value_name) + ": " + values;
  }
  if (const std::string default_text = DefaultText(option.name); !default_text.empty()) {
    notes += (notes.empty() ? "default " : "; default ") + default_text;
  }
  if (!notes.empty()) line += " (" + notes + ")";
  return line + "\n";
}

std::vector<const OptionSpec*> FlagsOf(Invocation command) {
  std::vector<const OptionSpec*> flags;
  const auto add = [&flags](const OptionSpec* option) {
    if (option != nullptr && std::find(flags.begin(), flags.end(), option) == flags.end()) {
      flags.push_back(option);
    }
  };
  std::vector<Invocation> commands = {command};
  if (command == Invocation::kProxy) commands.push_back(Invocation::kProxyGuard);
  for (const Invocation one : commands) {
    for (const UsageTemplate& entry : kUsages) {
      if (entry.command != one) continue;
      for (const std::string_view name : NamesIn(entry.text)) {
        if (name != kEverySourceFlag) {
          add(FindOption(name, one));
          continue;
        }
        for (const SourceInfo& source : RegisteredSources())
          add(FindOption(SourceFlag(source.name)));
      }
    }
    // An own flag the usage leaves out is still listed.
    for (const OptionSpec& option : Options()) {
      if (!option.program_wide && Takes(option, one)) add(&option);
    }
  }
  return flags;
}

std::string HelpOf(Invocation command) {
  std::string help = "Usage: " + UsageOf(command) + "\n\nOptions:\n";
  for (const OptionSpec* option : FlagsOf(command)) help += HelpLine(*option);
  std::string left = "  --help, -h";
  left.resize(28, ' ');
  help += left + "show this text and exit\n\n";
  for (const HelpNote& note : kHelpNotes) {
    if (note.command == command) help += std::string(note.text) + "\n";
  }
  help += "The flags of 'lumvexip --help' are taken as well.\n";
  return help;
}

}  // namespace lumvex
