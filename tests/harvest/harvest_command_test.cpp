// `lumvexip harvest` against the loopback sites: output lines, exit status, usage errors.
#include "cli/harvest_command.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "fixture/fixture_server.h"
#include "sites/proxy_sites.h"

namespace lumvex::cli {
namespace {

using namespace std::chrono_literals;

HarvestTuning Fast() {
  HarvestTuning tuning;
  tuning.page_interval = 10ms;
  tuning.retry_first = 10ms;
  tuning.database_attempts = 2;
  return tuning;
}

TEST(HarvestCommandTest, EachSourcePrintsItsRows) {
  tools::ProxySites sites({});
  ASSERT_TRUE(sites.Start());
  {
    std::ostringstream out, err;
    EXPECT_EQ(RunHarvest({"--source", "c", "--source-c", sites.HostC()}, out, err, false, Fast()),
              0);
    std::string want;
    for (const tools::SiteRow& row : sites.AnyCountryRows()) {
      if (row.type == "透明") want += row.address + ":" + row.port + "\n";
    }
    EXPECT_EQ(out.str(), want);
  }
  {
    std::ostringstream out, err;
    EXPECT_EQ(
        RunHarvest({"--source", "b", "--database", "3", "--page", "2", "--source-b", sites.HostB()},
                   out, err, false, Fast()),
        0);
    std::string want;
    for (const tools::SiteRow& row : sites.ListPageRows(3, 2)) {
      want += row.address + ":" + row.port + "\n";
    }
    EXPECT_EQ(out.str(), want);
  }
  {
    std::ostringstream out, err;
    EXPECT_EQ(RunHarvest({"--source=a", "--count", "0", "--source-a", sites.HostA()}, out, err,
                         false, Fast()),
              0);
    std::string want;
    for (const tools::SiteRow& row : sites.TableRows(101, 1)) {
      want += row.address + ":" + row.port + "\n";
    }
    EXPECT_EQ(out.str(), want);
  }
}

TEST(HarvestCommandTest, UnreachableSourcesAndBadUsage) {
  std::ostringstream out, err;
  // Port 9 on loopback: nothing listens there.
  EXPECT_EQ(RunHarvest({"--source", "c", "--source-c", "127.0.0.1:9"}, out, err, false, Fast()), 1);
  EXPECT_EQ(RunHarvest({"--source", "a", "--source-a", "127.0.0.1:9"}, out, err, false, Fast()), 1);
  EXPECT_EQ(RunHarvest({"--source", "b", "--source-b", "127.0.0.1:9"}, out, err, false, Fast()), 1);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(RunHarvest({}, out, err, false, Fast()), 2);
  EXPECT_EQ(RunHarvest({"--source", "d"}, out, err, false, Fast()), 2);
  EXPECT_EQ(RunHarvest({"--source", "b", "--page", "0"}, out, err, false, Fast()), 2);
  EXPECT_EQ(RunHarvest({"--source", "a", "--count", "x"}, out, err, false, Fast()), 2);
}

TEST(HarvestCommandTest, UrlListsPrintEachProxyOnceAndRefuseBinaryData) {
  using namespace std::string_literals;
  tools::FixtureServer server;
  ASSERT_TRUE(server.Start());
  struct Case {
    const char* name;
    std::string body;
    int status;
    std::string out;
    std::string err;  // standard error holds this
  };
  const Case cases[] = {
      {"repeats",
       "1.1.1.1:80\n2.2.2.2:8080\n1.1.1.1:80@HTTP#US\nProxy.Example:80\nproxy.example:80\n"
       "1.1.1.1:81\nsocks5://1.1.1.1:80\n2.2.2.2:8080\n",
       0, "1.1.1.1:80\n2.2.2.2:8080\nProxy.Example:80\n1.1.1.1:81\nsocks5://1.1.1.1:80\n",
       "3 lines repeat an address already read, skipped"},
      {"skipped", "not a proxy\n3.3.3.3:3128\n", 0, "3.3.3.3:3128\n", "line 1: not address:port"},
      // Nothing before the NUL byte is printed either: the list is no text.
      {"nul", "1.1.1.1:80\n2.2.2.2:80\n3.3\0.3.3:80\n"s, 2, "",
       "NUL byte in line 3: not a text list"},
      {"nul-first", "\0"s, 2, "", "NUL byte in line 1"},
      {"none", "\x1B[2J\r\n", 1, "", "no address:port line"},
  };
  for (const Case& c : cases) {
    tools::Reply reply;
    reply.body = c.body;
    server.Route("/" + std::string(c.name), reply);
    std::ostringstream out, err;
    EXPECT_EQ(RunHarvest({"--url", server.BaseUrl() + "/" + c.name}, out, err, false, Fast()),
              c.status)
        << c.name << ": " << err.str();
    EXPECT_EQ(out.str(), c.out) << c.name;
    EXPECT_NE(err.str().find(c.err), std::string::npos) << c.name << ": " << err.str();
    EXPECT_EQ(err.str().find('\x1B'), std::string::npos) << c.name;
  }
}

}  // namespace
}  // namespace lumvex::cli
