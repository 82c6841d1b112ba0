#include <gtest/gtest.h>

#include <vector>

#include "app/application.h"
#include "config/command_line.h"
#include "support/parse_args.h"

namespace lumvex {
namespace {

CommandLineOptions Parse(std::vector<const char*> args) { return testing::ParseArgs(args); }

TEST(ApplicationOptionsTest, CheckTimeoutReachesTheProgramsOptions) {
  // Without the flag the deadline is 60 seconds.
  EXPECT_EQ(ApplicationOptionsOf(Parse({"--check-timeout", "7"}), "/opt", DataDir("/tmp/d"))
                .check_timeout_seconds,
            7);
  EXPECT_EQ(ApplicationOptionsOf(Parse({}), "/opt", DataDir("/tmp/d")).check_timeout_seconds, 60);
}

TEST(ApplicationOptionsTest, EveryEndpointFlagReachesTheProgramsOptions) {
  const CommandLineOptions options =
      Parse({"--source-a", "127.0.0.1:81", "--source-b", "127.0.0.2:82", "--source-c",
             "127.0.0.3:83", "--validation-host", "127.0.0.4:84", "--connectivity-host",
             "127.0.0.5:85", "--manifest-url", "http://127.0.0.6:86/m.html"});
  ASSERT_TRUE(options.errors.empty());
  EXPECT_EQ(ApplicationOptionsOf(options, "/opt", DataDir("/tmp/d")).endpoints, options.endpoints);
}

}  // namespace
}  // namespace lumvex
