#include "config/option_table.h"

#include <gtest/gtest.h>

#include <optional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "config/flag_values.h"

namespace lumvex {
namespace {

TEST(OptionTableTest, SecondsHaveOneGrammar) {
  const struct {
    const char* text;
    std::optional<double> seconds;
  } kCases[] = {
      {"5", 5},
      {"86400", 86400},
      {"0.2", 0.2},
      {"00005", 5},
      {"000001", 1},
      {"2.", 2},
      {".5", 0.5},
      {"0", std::nullopt},
      {"0.0", std::nullopt},
      {"86400.5", std::nullopt},
      {"86401", std::nullopt},
      {"-3", std::nullopt},
      {"+3", std::nullopt},
      {"5s", std::nullopt},
      {"", std::nullopt},
      {".", std::nullopt},
      {"1e3", std::nullopt},
      {"0x10", std::nullopt},
      {" 5", std::nullopt},
      {"1.2.3", std::nullopt},
      {"inf", std::nullopt},
      {"nan", std::nullopt},
      {"99999999999", std::nullopt},
  };
  for (const auto& c : kCases) EXPECT_EQ(ParseSeconds(c.text), c.seconds) << c.text;
}

TEST(OptionTableTest, EveryFlagIsDeclaredOnceAndTakenBySomeCommand) {
  // A name may mean two things to two commands (--listen of the judge and of the gateway), never
  // two things to one.
  std::map<std::string, unsigned> commands_of;
  for (const OptionSpec& option : Options()) {
    unsigned& taken = commands_of[std::string(option.name)];
    EXPECT_EQ(taken & option.commands, 0u) << option.name;
    taken |= option.commands;
    EXPECT_NE(option.commands, 0u) << option.name;
    EXPECT_FALSE(option.help.empty()) << option.name;
    EXPECT_EQ(option.value_name.empty(), option.grammar == ValueGrammar::kNone) << option.name;
    for (unsigned bit = 1; bit <= kEveryCommand; bit <<= 1) {
      if ((option.commands & bit) != 0) {
        EXPECT_EQ(FindOption(option.name, Invocation{bit}), &option) << option.name;
      }
    }
  }
  EXPECT_EQ(FindOption("--frobnicate"), nullptr);
  EXPECT_EQ(DefaultText("--check-timeout"), "60");
  EXPECT_EQ(DefaultText("--count"), "80");
  EXPECT_EQ(DefaultText("--expect"), "");
}

TEST(OptionTableTest, EveryRegisteredSourceHasItsServerFlag) {
  const struct {
    const char* flag;
    const char* help;
  } kCases[] = {
      {"--source-a", "server of proxy-list source A"},
      {"--source-b", "server of proxy-list source B"},
      {"--source-c", "server of proxy-list source C"},
  };
  // In the registry's order, right after the data directory, taken everywhere.
  const std::span<const OptionSpec> options = Options();
  ASSERT_GT(options.size(), std::size(kCases));
  EXPECT_EQ(options[0].name, "--data-dir");
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    const OptionSpec& option = options[i + 1];
    EXPECT_EQ(option.name, kCases[i].flag);
    EXPECT_EQ(option.help, kCases[i].help);
    EXPECT_EQ(option.value_name, "URL");
    EXPECT_EQ(option.grammar, ValueGrammar::kHttpAddress);
    EXPECT_EQ(option.commands, kEveryCommand);
    EXPECT_TRUE(option.program_wide);
  }
  EXPECT_EQ(SourceFlag("a"), "--source-a");
  ASSERT_NE(FindOption("--source"), nullptr);
  EXPECT_EQ(FindOption("--source")->value_name, "a|b|c");
}

TEST(OptionTableTest, UsagesAreMadeFromTheTable) {
  const struct {
    Invocation command;
    const char* usage;
  } kCases[] = {
      {Invocation::kCheck,
       "lumvexip check [FILE|-] [--threads T] [--check-timeout SECONDS] [--validation-host URL]\n"
       "               [--expect TEXT] [--check-url URL] [--json] [--reasons]\n"
       "               [--protocol PROTOCOL] [--judge URL] [--my-address ADDRESS] [--every MINUTES]"},
      {Invocation::kHarvest,
       "lumvexip harvest --source a|b|c [--count N] [--category ID] [--database K] [--page K] "
       "[--source-a URL] [--source-b URL] [--source-c URL] | lumvexip harvest --url ADDRESS"},
      {Invocation::kProxy,
       "lumvexip proxy set [SCHEME://][USER:PASSWORD@]HOST:PORT|[IPV6]:PORT [--no-probe]\n"
       "                   [--check-timeout SECONDS] [--connectivity-host URL] | off | status "
       "[--data-dir DIR]\n"
       "       lumvexip proxy guard [FILE|-] [--interval SECONDS] [--check-timeout SECONDS] "
       "[--data-dir DIR]"},
      {Invocation::kProxyGuard,
       "lumvexip proxy guard [FILE|-] [--interval SECONDS] [--check-timeout SECONDS] "
       "[--data-dir DIR]"},
      {Invocation::kJudge,
       "lumvexip judge --listen ADDRESS:PORT [--max-connections N] [--max-per-client N]\n"
       "               [--rate R] [--head-timeout SECONDS]"},
      // --listen is the gateway's own row here, not the judge's.
      {Invocation::kGateway,
       "lumvexip gateway [LIST|-] --listen HOST:PORT [--socks-listen HOST:PORT] "
       "[--allow ADDRESS/BITS] [--rotate best|each|sticky]\n"
       "                 [--threads T] [--check-timeout SECONDS] [--validation-host URL] "
       "[--judge URL] [--data-dir DIR]"},
  };
  for (const auto& c : kCases) EXPECT_EQ(UsageOf(c.command), c.usage);
}

TEST(OptionTableTest, HelpLinesGiveMeaningValuesAndDefault) {
  const struct {
    const char* flag;
    const char* line;
  } kCases[] = {
      {"--threads", "  --threads T               checks at once (T: 1 to 10000; default 20)\n"},
      {"--json", "  --json                    JSON lines instead of tab-separated ones\n"},
      {"--expect",
       "  --expect TEXT             a reply counts only when it is 2xx and its body contains TEXT "
       "(TEXT: any text but an empty one)\n"},
      {"--check-timeout",
       "  --check-timeout SECONDS   deadline of one proxy check (SECONDS: above 0, at most 86400, "
       "as 5 or 0.5; default 60)\n"},
      {"--data-dir",
       "  --data-dir DIR            directory of the list and settings files "
       "(DIR: a directory)\n"},
      // The value name lists the words itself.
      {"--source", "  --source a|b|c            the proxy-list site to harvest\n"},
      {"--max-connections",
       "  --max-connections N       connections open at once (N: 1 to 100000; default 4096)\n"},
  };
  for (const auto& c : kCases) {
    const OptionSpec* option = FindOption(c.flag);
    ASSERT_NE(option, nullptr) << c.flag;
    EXPECT_EQ(HelpLine(*option), c.line);
  }
}

TEST(OptionTableTest, EverySubcommandHelpListsEachOfItsFlags) {
  const Invocation kCommands[] = {Invocation::kCheck, Invocation::kHarvest, Invocation::kProxy,
                                  Invocation::kProxyGuard, Invocation::kJudge,
                                  Invocation::kGateway};
  for (const Invocation command : kCommands) {
    const std::string help = HelpOf(command);
    const std::string usage = UsageOf(command);
    EXPECT_EQ(help.rfind("Usage: " + usage + "\n", 0), 0u) << help;
    EXPECT_NE(help.find("  --help, -h"), std::string::npos) << help;
    const std::vector<const OptionSpec*> flags = FlagsOf(command);
    const std::set<const OptionSpec*> listed(flags.begin(), flags.end());
    for (const OptionSpec& option : Options()) {
      // Its own flags, and every flag its usage names; no other.
      const bool own = !option.program_wide && Takes(option, command);
      const bool in_usage = usage.find("[" + std::string(option.name) + " ") != std::string::npos ||
                            usage.find("[" + std::string(option.name) + "]") != std::string::npos ||
                            usage.find(std::string(option.name) + " " +
                                       std::string(option.value_name)) != std::string::npos;
      EXPECT_EQ(listed.count(&option) > 0, own || in_usage)
          << option.name << " in the help of " << usage;
      EXPECT_EQ(help.find(HelpLine(option)) != std::string::npos, listed.count(&option) > 0)
          << option.name << " in\n"
          << help;
    }
  }
}

}  // namespace
}  // namespace lumvex
