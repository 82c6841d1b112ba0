// `lumvexip harvest` against the loopback sites: output lines, exit status, usage errors.
#include "cli/harvest_command.h"

#include <gtest/gtest.h>

#include <sstream>

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

}  // namespace
}  // namespace lumvex::cli
