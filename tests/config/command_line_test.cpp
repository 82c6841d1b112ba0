#include "config/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acquire/source_registry.h"
#include "support/parse_args.h"

namespace lumvex {
namespace {

CommandLineOptions Parse(std::vector<const char*> args) { return testing::ParseArgs(args); }

TEST(CommandLineTest, NoArgumentsGiveTheDefaults) {
  const CommandLineOptions options = Parse({});
  EXPECT_FALSE(options.data_dir.has_value());
  EXPECT_FALSE(options.show_help);
  EXPECT_TRUE(options.errors.empty());
  EXPECT_EQ(options.endpoints, DefaultEndpoints());
  EXPECT_EQ(DataDirectoryOf(options, "/opt/lumvex").Path(), "/opt/lumvex/data");
  EXPECT_EQ(DataDirectoryOf(options, "/").Path(), "/data");
}

TEST(CommandLineTest, DefaultsAreCompleteAndPlaceholders) {
  const Endpoints e = DefaultEndpoints();
  // One server for every registered source, under its name.
  ASSERT_EQ(e.source_hosts.size(), RegisteredSources().size());
  std::vector<const std::string*> hosts = {&e.validation_host, &e.connectivity_host};
  for (const SourceInfo& source : RegisteredSources()) {
    hosts.push_back(&e.source_hosts.at(std::string(source.name)));
  }
  for (const std::string* host : hosts) {
    ASSERT_FALSE(host->empty());
    EXPECT_EQ(HostOfAddress(*host), *host) << *host;  // a bare host, no scheme or path
    EXPECT_NE(host->find("example."), std::string::npos) << *host;
  }
  EXPECT_TRUE(HostOfAddress(e.manifest_url).has_value());
  EXPECT_TRUE(HostOfAddress(e.file_share_url).has_value());
}

TEST(CommandLineTest, EveryFlagOverridesItsEndpoint) {
  const CommandLineOptions options =
      Parse({"--data-dir", "/tmp/lumvex data", "--source-a", "http://127.0.0.1:8081",
             "--source-b=http://127.0.0.2:8082/", "--source-c", "127.0.0.3:8083",
             "--validation-host", "http://127.0.0.4:8084/fcg-bin/x?y=1", "--connectivity-host",
             "localhost", "--manifest-url", "http://127.0.0.5:8085/blog/update.html"});
  EXPECT_TRUE(options.errors.empty()) << options.errors.front();
  ASSERT_TRUE(options.data_dir.has_value());
  EXPECT_EQ(*options.data_dir, "/tmp/lumvex data");
  EXPECT_EQ(DataDirectoryOf(options, "/opt/lumvex").Path(), "/tmp/lumvex data");
  EXPECT_EQ(options.endpoints.source_hosts.at("a"), "127.0.0.1:8081");
  EXPECT_EQ(options.endpoints.source_hosts.at("b"), "127.0.0.2:8082");
  EXPECT_EQ(options.endpoints.source_hosts.at("c"), "127.0.0.3:8083");
  EXPECT_EQ(options.endpoints.validation_host, "127.0.0.4:8084");
  EXPECT_EQ(options.endpoints.connectivity_host, "localhost");
  EXPECT_EQ(options.endpoints.manifest_url, "http://127.0.0.5:8085/blog/update.html");
  // What was not named keeps its default.
  EXPECT_EQ(options.endpoints.validation_path, DefaultEndpoints().validation_path);
}

TEST(CommandLineTest, HelpIsAskedForAndListsEveryFlag) {
  EXPECT_TRUE(Parse({"--help"}).show_help);
  EXPECT_TRUE(Parse({"-h"}).show_help);
  const std::string help = CommandLineHelp("lumvexip");
  for (const char* flag :
       {"--data-dir", "--source-a", "--source-b", "--source-c", "--validation-host",
        "--connectivity-host", "--manifest-url", "--check-timeout", "--help"}) {
    EXPECT_NE(help.find(flag), std::string::npos) << flag;
  }
  EXPECT_EQ(help.rfind("Usage: lumvexip", 0), 0u);
  EXPECT_EQ(help.back(), '\n');
}

TEST(CommandLineTest, BadArgumentsBecomeMessagesAndParsingGoesOn) {
  const CommandLineOptions options =
      Parse({"--frobnicate", "stray", "--source-a", "ftp://127.0.0.1/", "--source-b",
             "http://127.0.0.1:99999", "--source-c", "http://user@evil.example/",
             "--validation-host", "http://", "--connectivity-host", "two words",
             "--data-dir=", "--source-a=127.0.0.9:81", "--manifest-url"});
  ASSERT_EQ(options.errors.size(), 9u);
  EXPECT_NE(options.errors[0].find("--frobnicate"), std::string::npos);
  EXPECT_NE(options.errors[1].find("stray"), std::string::npos);
  EXPECT_NE(options.errors[2].find("--source-a"), std::string::npos);
  EXPECT_NE(options.errors[3].find("--source-b"), std::string::npos);
  EXPECT_NE(options.errors[4].find("--source-c"), std::string::npos);
  EXPECT_NE(options.errors[5].find("--validation-host"), std::string::npos);
  EXPECT_NE(options.errors[6].find("--connectivity-host"), std::string::npos);
  EXPECT_NE(options.errors[7].find("--data-dir"), std::string::npos);
  EXPECT_NE(options.errors[8].find("--manifest-url"), std::string::npos);
  // The good override after the bad ones still applies; the bad ones left the defaults.
  EXPECT_EQ(options.endpoints.source_hosts.at("a"), "127.0.0.9:81");
  EXPECT_EQ(options.endpoints.source_hosts.at("b"), DefaultEndpoints().source_hosts.at("b"));
  EXPECT_EQ(options.endpoints.manifest_url, DefaultEndpoints().manifest_url);
  EXPECT_FALSE(options.data_dir.has_value());
}

TEST(CommandLineTest, CheckTimeoutIsSecondsWithinADay) {
  EXPECT_FALSE(Parse({}).check_timeout_seconds.has_value());
  EXPECT_EQ(Parse({"--check-timeout", "5"}).check_timeout_seconds, 5);
  EXPECT_EQ(Parse({"--check-timeout=86400"}).check_timeout_seconds, 86400);
  // The grammar of `proxy guard`, which took fractions.
  EXPECT_EQ(Parse({"--check-timeout", "0.5"}).check_timeout_seconds, 0.5);
  EXPECT_EQ(Parse({"--guard-interval", "1.5"}).guard_interval_seconds, 1.5);
  for (const char* bad : {"0", "-3", "5s", "", "86401", "1e3", "99999999999"}) {
    const CommandLineOptions options = Parse({"--check-timeout", bad});
    EXPECT_FALSE(options.check_timeout_seconds.has_value()) << bad;
    ASSERT_EQ(options.errors.size(), 1u) << bad;
    EXPECT_NE(options.errors[0].find("--check-timeout"), std::string::npos);
  }
}

TEST(CommandLineTest, HostOfAddressReadsTheUsualForms) {
  EXPECT_EQ(HostOfAddress("http://127.0.0.1:8081"), "127.0.0.1:8081");
  EXPECT_EQ(HostOfAddress("HTTP://Proxy.Example.com/list?x"), "Proxy.Example.com");
  EXPECT_EQ(HostOfAddress("proxy.example.com#top"), "proxy.example.com");
  EXPECT_EQ(HostOfAddress("127.0.0.1:1"), "127.0.0.1:1");
  EXPECT_FALSE(HostOfAddress(""));
  EXPECT_FALSE(HostOfAddress("/path/only"));
  EXPECT_FALSE(HostOfAddress("https://example.com"));
  EXPECT_FALSE(HostOfAddress("127.0.0.1:0"));
  EXPECT_FALSE(HostOfAddress("127.0.0.1:"));
  EXPECT_FALSE(HostOfAddress(":80"));
  EXPECT_FALSE(HostOfAddress("127.0.0.1:8o"));
  EXPECT_FALSE(HostOfAddress("a\r\nb"));
  EXPECT_FALSE(HostOfAddress(std::string("a\0b", 3)));
}

}  // namespace
}  // namespace lumvex
