#include "app/option_table.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

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
  std::set<std::string> names;
  for (const OptionSpec& option : Options()) {
    EXPECT_TRUE(names.insert(std::string(option.name)).second) << option.name;
    EXPECT_NE(option.commands, 0u) << option.name;
    EXPECT_FALSE(option.help.empty()) << option.name;
    EXPECT_EQ(option.value_name.empty(), option.grammar == ValueGrammar::kNone) << option.name;
    EXPECT_EQ(FindOption(option.name), &option);
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
       "               [--expect TEXT] [--check-url URL] [--json] [--protocol PROTOCOL]\n"
       "               [--judge URL] [--my-address ADDRESS]"},
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
  };
  for (const auto& c : kCases) EXPECT_EQ(UsageOf(c.command), c.usage);
}

}  // namespace
}  // namespace lumvex
