// `lumvexip history`: one proxy's records and summary, the best proxies, and the exit status of
// every way it can go wrong.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/history_command.h"
#include "history/history_store.h"
#include "platform/scratch_dir.h"

namespace lumvex {
namespace {

using testing_support::ScratchDir;

constexpr std::int64_t kT0 = 1'600'000'000'000;  // 2020-09-13T12:26:40Z, in ms

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome History(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int status = cli::RunHistory(args, out, err);
  return {status, out.str(), err.str()};
}

class HistoryCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    HistoryStore store(dir_.File("history.db"));
    store.Record("1.2.3.4:80", {kT0, HistoryKind::kCheck, true, 0, 200, 1.5});
    store.Record("1.2.3.4:80", {kT0 + 60000, HistoryKind::kCheck, false, 2, 0, 3.0});
    store.Record("1.2.3.4:80", {kT0 + 120000, HistoryKind::kGateway, true, 0, 0, 0.5});
    store.Record("SOCKS5://5.6.7.8:1080", {kT0, HistoryKind::kCheck, true, 0, 200, 2.0});
    store.Record("9.9.9.9:3128", {kT0, HistoryKind::kCheck, false, 6, 503, 0.25});
  }

  ScratchDir dir_;
};

TEST_F(HistoryCommandTest, RecordsNewestFirstThenTheSummary) {
  const std::string expected =
      "2020-09-13T12:28:40\tgateway\tok\t-\t0.500\n"
      "2020-09-13T12:27:40\tcheck\tfailed\ttimeout connecting\t3.000\n"
      "2020-09-13T12:26:40\tcheck\tok\t-\t1.500\n"
      "3 checks, success rate 66.7%, median 1.000 s, last success 2020-09-13T12:28:40, "
      "score 75.67\n";
  for (const char* address : {"1.2.3.4:80", "HTTP://1.2.3.4:080"}) {
    const Outcome run = History({address, "--data-dir", dir_.path()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, expected) << address;
  }
  const Outcome refused = History({"9.9.9.9:3128", "--data-dir", dir_.path()});
  EXPECT_EQ(refused.out.substr(0, refused.out.find('\n')),
            "2020-09-13T12:26:40\tcheck\tfailed\tproxy said 503\t0.250");
  EXPECT_NE(refused.out.find("last success -, score 0.00"), std::string::npos) << refused.out;
}

TEST_F(HistoryCommandTest, TopListsTheBestScoresTabSeparated) {
  const Outcome run = History({"--top", "2", "--data-dir", dir_.path()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "socks5://5.6.7.8:1080\t108.00\t1.000\t1\t2.000\t2020-09-13T12:26:40\n"
            "1.2.3.4:80\t75.67\t0.667\t3\t1.000\t2020-09-13T12:28:40\n");
  const Outcome all = History({"--top=10", "--data-dir", dir_.path()});
  EXPECT_EQ(all.out.substr(all.out.rfind('\n', all.out.size() - 2) + 1),
            "9.9.9.9:3128\t0.00\t0.000\t1\t0.000\t-\n");
}

TEST_F(HistoryCommandTest, ExitStatusOfEveryOutcome) {
  ScratchDir empty;
  ScratchDir damaged;
  std::ofstream(damaged.File("history.db")) << std::string(5000, 'x');
  const struct {
    std::vector<std::string> args;
    int status;
    const char* said;  // on standard error
  } kCases[] = {
      {{"7.7.7.7:80", "--data-dir", dir_.path()}, 1, "no record of 7.7.7.7:80"},
      {{"1.2.3.4:80", "--data-dir", empty.path()}, 1, "no check history in"},
      {{"--top", "3", "--data-dir", empty.path()}, 1, "no check history in"},
      {{"1.2.3.4:80", "--data-dir", damaged.path()}, 1, "cannot be read"},
      {{"--data-dir", dir_.path()}, 2, "one ADDRESS, or --top N"},
      {{"1.2.3.4:80", "5.6.7.8:80", "--data-dir", dir_.path()}, 2, "one ADDRESS, or --top N"},
      {{"1.2.3.4:80", "--top", "3", "--data-dir", dir_.path()}, 2, "not both"},
      {{"--top", "0", "--data-dir", dir_.path()}, 2, "--top: a whole number"},
      {{"--top", "x", "--data-dir", dir_.path()}, 2, "--top: a whole number"},
      {{"--top"}, 2, "--top needs a value"},
      {{"--bogus", "1.2.3.4:80"}, 2, "unknown option --bogus"},
  };
  for (const auto& c : kCases) {
    const Outcome run = History(c.args);
    const std::string shown = ::testing::PrintToString(c.args);
    EXPECT_EQ(run.status, c.status) << shown << ": " << run.err;
    EXPECT_EQ(run.out, "") << shown;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << shown << ": " << run.err;
  }
  // The reader leaves a damaged file where it is: only the program that records moves it.
  EXPECT_TRUE(std::ifstream(damaged.File("history.db")).good());
  EXPECT_EQ(History({"--help"}).status, 0);
}

}  // namespace
}  // namespace lumvex
