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

// These checks leave the check history of the data directory beside the test alone.
Outcome RunChecker(std::vector<std::string> args, const std::string& input = "") {
  args.push_back("--no-history");
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
  std::vector<std::string> StartFarm(const std::vector<ProxyBehaviour>& behaviours,
                                     const std::vector<tools::ProxyProtocol>& protocols = {}) {
    tools::RaiseFileLimit();
    std::vector<tools::ProxySpec> specs;
    for (std::size_t i = 0; i < behaviours.size(); ++i) {
      tools::ProxySpec spec;
      spec.address = tools::LoopbackAddress(i);
      spec.behaviour = behaviours[i];
      if (i < protocols.size()) spec.protocol = protocols[i];
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
  // Import form (type and location), naming a proxy already read.
  input += "\nnot a proxy\n" + addresses[4] + "@HTTP#测试\n";
  const Outcome outcome = RunChecker(
      {"--threads", "3", "--check-timeout", "2", "--validation-host", "check.test"}, input);
  EXPECT_EQ(outcome.status, 0);
  const auto verdicts = Verdicts(outcome.out);
  ASSERT_EQ(verdicts.size(), 5u);
  EXPECT_EQ(verdicts.at(addresses[0]).first, "ok");
  EXPECT_EQ(verdicts.at(addresses[1]).first, "failed");
  EXPECT_EQ(verdicts.at(addresses[2]).first, "failed");
  EXPECT_GE(verdicts.at(addresses[2]).second, 2.0);  // it waited for the deadline
  EXPECT_EQ(verdicts.at(addresses[3]).first, "failed");
  EXPECT_EQ(verdicts.at(addresses[4]).first, "ok");
  EXPECT_NE(outcome.err.find("line 7"), std::string::npos) << outcome.err;
  // The repeated proxy was checked and printed once.
  EXPECT_NE(outcome.err.find("1 line repeats an address already read, skipped"), std::string::npos)
      << outcome.err;
  EXPECT_EQ(std::count(outcome.out.begin(), outcome.out.end(), '\n'), 5);
  EXPECT_EQ(farm_.RequestsSeen(), 4u);  // the refusing proxy never saw a request
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

TEST_F(CheckCommandTest, ArgumentErrorsNameWhatWasMistyped) {
  testing::TempDir dir;
  const std::string list = dir.File("small.txt");
  std::ofstream(list) << "127.0.0.1:9\n";
  struct Case {
    std::vector<std::string> args;
    std::string said;         // standard error holds this
    std::string not_said;     // and not this
  };
  const Case cases[] = {
      {{list, "--bogus"}, "unknown option --bogus\n", "needs a value"},
      {{"--jsn", list}, "unknown option --jsn\n", "small.txt"},
      {{"--bogus=1", list}, "unknown option --bogus\n", "small.txt"},
      // A flag of another subcommand is not one of check's.
      {{"--url", list}, "unknown option --url\n", "small.txt"},
      {{list, "--threads"}, "--threads needs a value", "unknown"},
      {{"--check-timeout", "--json", list}, "--check-timeout needs a value", "unknown"},
      {{"--json=yes", list}, "--json takes no value", "unknown"},
      // What the user typed is shown with its control characters escaped.
      {{"--\x1B[2Jx", list}, "unknown option --\\x1B[2Jx", "\x1B"},
      {{"--threads", "\u202Etxt.exe"}, "\"\\u202Etxt.exe\"", "\u202E"},
      {{"--protocol", "\x9B" "1m"}, "\"\\x9B1m\"", "\x9B"},
      {{"--my-address", "\xC2\x9B" "2J"}, "\"\\u009B2J\"", "\xC2\x9B"},
      {{"--check-timeout", "\x07"}, "\"\\x07\"", "\x07"},
      {{"--validation-host", "a\x7F"}, "\"a\\x7F\"", "\x7F"},
      {{dir.File("\x1B]0;title\x07")}, "\\x1B]0;title\\x07: cannot read", "\x1B"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = RunChecker(c.args);
    const std::string shown = ::testing::PrintToString(c.args);
    EXPECT_EQ(outcome.status, 2) << shown;
    EXPECT_EQ(outcome.out, "") << shown;
    EXPECT_NE(outcome.err.find(c.said), std::string::npos) << shown << ": " << outcome.err;
    EXPECT_EQ(outcome.err.find(c.not_said), std::string::npos) << shown << ": " << outcome.err;
  }
}

TEST_F(CheckCommandTest, HelpListsEveryFlagWithItsValues) {
  const Outcome outcome = RunChecker({"--threads", "0", "--help"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out.rfind("Usage: lumvexip check", 0), 0u) << outcome.out;
  for (const char* line :
       {"\n  --threads T               checks at once (T: 1 to 10000; default 20)\n",
        "\n  --json                    JSON lines instead of tab-separated ones\n",
        "(PROTOCOL: auto, http, connect, socks4 or socks5)\n", "checked and printed once"}) {
    EXPECT_NE(outcome.out.find(line), std::string::npos) << line << "\n" << outcome.out;
  }
}

TEST_F(CheckCommandTest, BadUsageExitsWithTwo) {
  EXPECT_EQ(RunChecker({"--threads", "0"}).status, 2);
  EXPECT_EQ(RunChecker({"--threads", "10001"}).status, 2);
  EXPECT_EQ(RunChecker({"--threads", "99999"}).status, 2);
  EXPECT_EQ(RunChecker({"--threads", "x"}).status, 2);
  EXPECT_EQ(RunChecker({"--threads"}).status, 2);
  EXPECT_EQ(RunChecker({"--check-timeout", "0"}).status, 2);
  EXPECT_EQ(RunChecker({"--bogus"}).status, 2);
  EXPECT_EQ(RunChecker({"a.txt", "b.txt"}).status, 2);
  EXPECT_EQ(RunChecker({"/nonexistent/list.txt"}).status, 2);
}

// Tab-separated lines with the protocols field, by address: the verdict word and the protocols.
std::map<std::string, std::pair<std::string, std::string>> ProtocolVerdicts(
    const std::string& out) {
  std::map<std::string, std::pair<std::string, std::string>> verdicts;
  std::istringstream lines(out);
  for (std::string text; std::getline(lines, text);) {
    std::vector<std::string> fields;
    std::istringstream parts(text);
    for (std::string field; std::getline(parts, field, '\t');) fields.push_back(field);
    EXPECT_EQ(fields.size(), 4u) << text;
    if (fields.size() == 4 && IsSeconds(fields[2])) verdicts[fields[0]] = {fields[1], fields[3]};
  }
  return verdicts;
}

TEST_F(CheckCommandTest, ProtocolAutoReportsWhatEachProxySpeaks) {
  using tools::ProxyProtocol;
  struct Case {
    ProxyProtocol protocol;
    ProxyBehaviour behaviour;
    std::string scheme;  // how the list names the proxy
    std::string worked;  // the fourth field
  };
  const Case cases[] = {
      {ProxyProtocol::kHttp, ProxyBehaviour::kAnswer, "", "http"},
      {ProxyProtocol::kHttpConnect, ProxyBehaviour::kAnswer, "", "http,connect"},
      {ProxyProtocol::kHttpNoConnect, ProxyBehaviour::kAnswer, "", "http"},
      {ProxyProtocol::kSocks4, ProxyBehaviour::kAnswer, "socks4://", "socks4"},
      {ProxyProtocol::kSocks5, ProxyBehaviour::kAnswer, "socks5://", "socks5"},
      // The scheme the list gives is not what is tried: a SOCKS5 proxy listed as HTTP.
      {ProxyProtocol::kSocks5, ProxyBehaviour::kAnswer, "", "socks5"},
      {ProxyProtocol::kHttpConnect, ProxyBehaviour::kRefuse, "", "-"},
  };
  std::vector<ProxyBehaviour> behaviours;
  std::vector<ProxyProtocol> protocols;
  for (const Case& c : cases) {
    behaviours.push_back(c.behaviour);
    protocols.push_back(c.protocol);
  }
  const auto addresses = StartFarm(behaviours, protocols);
  ASSERT_EQ(addresses.size(), std::size(cases));
  std::string input;
  for (std::size_t i = 0; i < addresses.size(); ++i) input += cases[i].scheme + addresses[i] + "\n";
  // A numeric validation host: a SOCKS4 client resolves the name itself.
  const std::vector<std::string> args = {
      "--protocol",        "auto",        "--check-timeout", "1",
      "--validation-host", "127.0.0.1:9", "--threads",       "8"};
  Outcome outcome = RunChecker(args, input);
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  const auto verdicts = ProtocolVerdicts(outcome.out);
  ASSERT_EQ(verdicts.size(), std::size(cases)) << outcome.out;
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    const auto& [verdict, worked] = verdicts.at(cases[i].scheme + addresses[i]);
    EXPECT_EQ(worked, cases[i].worked) << addresses[i];
    EXPECT_EQ(verdict, cases[i].worked == "-" ? "failed" : "ok") << addresses[i];
  }

  // JSON names them in an array; a forced protocol tries that one only.
  std::vector<std::string> json_args = args;
  json_args.push_back("--json");
  outcome = RunChecker(json_args, cases[1].scheme + addresses[1] + "\n" + addresses[6] + "\n");
  EXPECT_NE(outcome.out.find("\"verdict\":\"ok\",\"seconds\":"), std::string::npos) << outcome.out;
  EXPECT_NE(outcome.out.find("\"protocols\":[\"http\",\"connect\"]}"), std::string::npos)
      << outcome.out;
  // Where none worked, the reason is the first protocol's.
  EXPECT_NE(outcome.out.find("\"protocols\":[],\"reason\":\"refused\"}"), std::string::npos)
      << outcome.out;
  outcome = RunChecker(
      {"--protocol", "socks5", "--check-timeout", "1", "--validation-host", "127.0.0.1:9"},
      addresses[0] + "\n" + addresses[5] + "\n");
  EXPECT_EQ(ProtocolVerdicts(outcome.out),
            (std::map<std::string, std::pair<std::string, std::string>>{
                {addresses[0], {"failed", "-"}}, {addresses[5], {"ok", "socks5"}}}));
  EXPECT_EQ(RunChecker({"--protocol", "socks"}).status, 2);
}

TEST_F(CheckCommandTest, EachRowIsCheckedThroughItsOwnScheme) {
  using tools::ProxyProtocol;
  const auto addresses =
      StartFarm({ProxyBehaviour::kAnswer, ProxyBehaviour::kAnswer, ProxyBehaviour::kAnswer},
                {ProxyProtocol::kSocks4, ProxyProtocol::kSocks5, ProxyProtocol::kSocks5});
  ASSERT_EQ(addresses.size(), 3u);
  const std::string input =
      "socks4://" + addresses[0] + "\nsocks5h://" + addresses[1] + "\n" + addresses[2] + "\n";
  const Outcome outcome =
      RunChecker({"--check-timeout", "1", "--validation-host", "127.0.0.1:9"}, input);
  const auto verdicts = Verdicts(outcome.out);
  ASSERT_EQ(verdicts.size(), 3u) << outcome.out;
  EXPECT_EQ(verdicts.at("socks4://" + addresses[0]).first, "ok");
  EXPECT_EQ(verdicts.at("socks5h://" + addresses[1]).first, "ok");
  // Listed without a scheme, the SOCKS5 proxy is asked as an HTTP proxy, which it is not.
  EXPECT_EQ(verdicts.at(addresses[2]).first, "failed");
}

// Each verdict goes to the data directory's history; a JSON line gives the proxy's success rate
// and checks with this check counted, a tab-separated line stays as it was.
TEST_F(CheckCommandTest, VerdictsAreRecordedAndJsonGivesTheHistory) {
  const auto addresses = StartFarm({ProxyBehaviour::kAnswer, ProxyBehaviour::kRefuse});
  testing::TempDir dir;
  const std::string input = addresses[0] + "\n" + addresses[1] + "\n";
  const auto check = [&](std::vector<std::string> more) {
    std::vector<std::string> args = {"--check-timeout", "2", "--validation-host", "check.test",
                                     "--data-dir", dir.path()};
    args.insert(args.end(), more.begin(), more.end());
    std::istringstream in(input);
    std::ostringstream out, err;
    EXPECT_EQ(RunCheck(args, in, out, err, false), 0) << err.str();
    return out.str();
  };
  EXPECT_EQ(Verdicts(check({})).size(), 2u);  // three fields a line, as without a history
  const std::string json = check({"--json"});
  std::map<std::string, std::string> lines;
  std::istringstream text(json);
  for (std::string line; std::getline(text, line);) {
    for (const std::string& address : addresses) {
      if (line.find("\"address\":\"" + address + "\"") != std::string::npos) lines[address] = line;
    }
  }
  ASSERT_EQ(lines.size(), 2u) << json;
  EXPECT_NE(lines[addresses[0]].find(",\"success_rate\":1,\"checks\":2"), std::string::npos)
      << json;
  EXPECT_NE(lines[addresses[1]].find(",\"success_rate\":0,\"checks\":2,\"reason\":\"refused\"}"),
            std::string::npos)
      << json;
  // Without the history nothing is said of it, and nothing is recorded.
  EXPECT_EQ(check({"--json", "--no-history"}).find("success_rate"), std::string::npos);
  EXPECT_NE(check({"--json"}).find("\"checks\":3"), std::string::npos);
}

}  // namespace
}  // namespace lumvex::cli
