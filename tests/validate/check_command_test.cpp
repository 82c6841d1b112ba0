#include "cli/check_command.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fixture/file_limit.h"
#include "fixture/proxy_farm.h"
#include "temp_dir.h"

namespace lumvex::cli {
namespace {

using tools::ProxyBehaviour;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

Outcome RunChecker(const std::vector<std::string>& args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  Outcome outcome;
  outcome.status = RunCheck(args, in, out, err, false);
  outcome.out = out.str();
  outcome.err = err.str();
  return outcome;
}

class CheckCommandTest : public ::testing::Test {
 protected:
  std::vector<std::string> StartFarm(const std::vector<ProxyBehaviour>& behaviours) {
    tools::RaiseFileLimit();
    std::vector<tools::ProxySpec> specs;
    for (std::size_t i = 0; i < behaviours.size(); ++i) {
      tools::ProxySpec spec;
      spec.address = tools::LoopbackAddress(i);
      spec.behaviour = behaviours[i];
      specs.push_back(spec);
    }
    std::vector<std::string> addresses;
    for (const auto& e : farm_.Start(specs)) {
      addresses.push_back(e.address + ":" + std::to_string(e.port));
    }
    return addresses;
  }

  tools::ProxyFarm farm_;
};

bool IsSeconds(const std::string& text) {
  const std::size_t dot = text.find('.');
  if (dot == std::string::npos || dot == 0 || text.size() - dot - 1 != 3) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i != dot && (text[i] < '0' || text[i] > '9')) return false;
  }
  return true;
}

// Lines of `out` by address (the last line of an address wins): the verdict word and the seconds.
std::map<std::string, std::pair<std::string, double>> Verdicts(const std::string& out) {
  std::map<std::string, std::pair<std::string, double>> verdicts;
  std::istringstream lines(out);
  std::string text;
  while (std::getline(lines, text)) {
    std::vector<std::string> fields;
    std::istringstream parts(text);
    for (std::string field; std::getline(parts, field, '\t');) fields.push_back(field);
    const bool shaped = fields.size() == 3 && !fields[0].empty() &&
                        (fields[1] == "ok" || fields[1] == "failed") && IsSeconds(fields[2]);
    EXPECT_TRUE(shaped) << text;
    if (shaped) verdicts[fields[0]] = {fields[1], std::stod(fields[2])};
  }
  return verdicts;
}

TEST_F(CheckCommandTest, PrintsOneVerdictLinePerProxyFromStdin) {
  const auto addresses =
      StartFarm({ProxyBehaviour::kAnswer, ProxyBehaviour::kRefuse, ProxyBehaviour::kNeverAnswer,
                 ProxyBehaviour::kReset, ProxyBehaviour::kAnswer});
  ASSERT_EQ(addresses.size(), 5u);
  std::string input;
  for (const std::string& a : addresses) input += a + "\r\n";
  input += "\nnot a proxy\n" + addresses[4] + "@HTTP#测试\n";  // import form: type and location
  const Outcome outcome = RunChecker(
      {"--threads", "3", "--check-timeout", "2", "--validation-host", "check.test"}, input);
  EXPECT_EQ(outcome.status, 0);
  const auto verdicts = Verdicts(outcome.out);
  ASSERT_EQ(verdicts.size(), 5u);  // the repeated proxy is one row more, same address
  EXPECT_EQ(verdicts.at(addresses[0]).first, "ok");
  EXPECT_EQ(verdicts.at(addresses[1]).first, "failed");
  EXPECT_EQ(verdicts.at(addresses[2]).first, "failed");
  EXPECT_GE(verdicts.at(addresses[2]).second, 2.0);  // it waited for the deadline
  EXPECT_EQ(verdicts.at(addresses[3]).first, "failed");
  EXPECT_EQ(verdicts.at(addresses[4]).first, "ok");
  EXPECT_NE(outcome.err.find("line 7"), std::string::npos) << outcome.err;
  // Six rows were checked (the last address twice): six lines.
  EXPECT_EQ(std::count(outcome.out.begin(), outcome.out.end(), '\n'), 6);
  EXPECT_EQ(farm_.RequestsSeen(), 5u);  // the refusing proxy never saw a request
}

TEST_F(CheckCommandTest, ReadsAFileAndTheDashMeansStdin) {
  const auto addresses = StartFarm({ProxyBehaviour::kAnswer, ProxyBehaviour::kCloseNoAnswer});
  testing::TempDir dir;
  {
    std::ofstream file(dir.File("list.txt"));
    file << addresses[0] << "\n" << addresses[1];
  }
  Outcome outcome = RunChecker({dir.File("list.txt"), "--check-timeout=2"});
  EXPECT_EQ(outcome.status, 0);
  auto verdicts = Verdicts(outcome.out);
  ASSERT_EQ(verdicts.size(), 2u);
  EXPECT_EQ(verdicts.at(addresses[0]).first, "ok");
  EXPECT_EQ(verdicts.at(addresses[1]).first, "failed");

  outcome = RunChecker({"-"}, addresses[0] + "\n");
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(Verdicts(outcome.out).size(), 1u);
}

TEST_F(CheckCommandTest, EmptyInputChecksNothing) {
  const Outcome outcome = RunChecker({}, "\n \r\n");
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, "");
}

TEST_F(CheckCommandTest, BadUsageExitsWithTwo) {
  EXPECT_EQ(RunChecker({"--threads", "0"}).status, 2);
  EXPECT_EQ(RunChecker({"--threads", "2001"}).status, 2);
  EXPECT_EQ(RunChecker({"--threads", "x"}).status, 2);
  EXPECT_EQ(RunChecker({"--threads"}).status, 2);
  EXPECT_EQ(RunChecker({"--check-timeout", "0"}).status, 2);
  EXPECT_EQ(RunChecker({"--bogus"}).status, 2);
  EXPECT_EQ(RunChecker({"a.txt", "b.txt"}).status, 2);
  EXPECT_EQ(RunChecker({"/nonexistent/list.txt"}).status, 2);
}

}  // namespace
}  // namespace lumvex::cli
