// The strict check: the rule on its own, and `lumvexip check --expect/--check-url/--json` against
// loopback servers standing in for proxies (a captive login page, a 502 with a body, a reply
// without the text, a good reply).
#include "validate/strict_check.h"

#include <gtest/gtest.h>

#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/application.h"
#include "cli/check_command.h"
#include "cli/strict_check_options.h"
#include "config/strict_settings.h"
#include "fixture/fixture_server.h"
#include "fixture/proxy_farm.h"
#include "guard_rig.h"
#include "platform/file_io.h"
#include "platform/headless_ui_thread.h"
#include "support/running_judge.h"
#include "support/scripted_prompts.h"
#include "temp_dir.h"
#include "text/codec.h"

namespace lumvex {
namespace {

http::FetchResult Reply(int status, std::string body) {
  http::FetchResult result;
  result.status = status;
  result.body = std::move(body);
  return result;
}

TEST(StrictRuleTest, OnlyA2xxReplyHoldingTheTextPasses) {
  const StrictRule rule{"", "LUMVEX-OK"};
  const std::string login = "<html><form action=/login>请先登录</form></html>";
  EXPECT_FALSE(JudgeReply(Reply(200, login), rule).ok);  // captive portal
  EXPECT_FALSE(JudgeReply(Reply(502, "proxy error LUMVEX-OK"), rule).ok);
  EXPECT_FALSE(JudgeReply(Reply(200, "hello"), rule).ok);
  EXPECT_FALSE(JudgeReply(Reply(0, ""), rule).ok);
  http::FetchResult late = Reply(200, "LUMVEX-OK");
  late.timed_out = true;
  EXPECT_FALSE(JudgeReply(late, rule).ok);
  const CheckOutcome good = JudgeReply(Reply(204, "..LUMVEX-OK.."), rule);
  EXPECT_TRUE(good.ok);
  EXPECT_EQ(good.status, 204);
  EXPECT_EQ(good.bytes, 13u);
  // Bytes are compared: a text in Chinese matches the decoded body exactly.
  EXPECT_TRUE(JudgeReply(Reply(200, "欢迎使用"), StrictRule{"", "使用"}).ok);
  EXPECT_FALSE(JudgeReply(Reply(200, "LUMVEX-ok"), rule).ok);
}

// --expect matches the page as its own encoding says; the bytes are written out by hand.
TEST(StrictRuleTest, TheTextIsFoundInThePagesOwnEncoding) {
  const std::string gbk = "\xBB\xB6\xD3\xAD\xCA\xB9\xD3\xC3";  // 欢迎使用
  const std::string big5 = "\xA8\xCF\xA5\xCE";                 // 使用
  struct Case {
    const char* what;
    std::string content_type;
    std::string body;
    std::string expect;
    bool found;
  };
  const std::vector<Case> cases = {
      {"charset of Content-Type", "text/html; charset=gbk", gbk, "使用", true},
      {"gb2312 read as GBK", "text/html; Charset=\"GB2312\"", gbk, "欢迎", true},
      {"meta charset", "text/html", "<meta charset=\"gbk\"><p>" + gbk, "使用", true},
      {"meta http-equiv", "",
       "<META http-equiv=\"Content-Type\" content=\"text/html; charset=big5\">" + big5, "使用",
       true},
      {"Content-Type wins over meta", "text/html; charset=big5", "<meta charset=gbk>" + big5,
       "使用", true},
      {"no charset, not UTF-8: GBK", "text/plain", gbk, "欢迎使用", true},
      {"no charset, valid UTF-8", "", "<p>欢迎使用</p>", "使用", true},
      {"unknown charset passed over", "text/html; charset=x-nonsense", gbk, "使用", true},
      {"Latin-1", "text/html; charset=iso-8859-1", "caf\xE9", "café", true},
      {"after a zero byte", "text/plain", std::string("ab\0cd LUMVEX-OK", 15), "LUMVEX-OK", true},
      {"GBK bytes said to be UTF-8", "text/html; charset=utf-8", gbk, "使用", false},
      {"text absent", "text/html; charset=gbk", gbk, "登录", false},
  };
  for (const Case& c : cases) {
    http::FetchResult result = Reply(200, c.body);
    result.content_type = c.content_type;
    const CheckOutcome outcome = JudgeReply(result, StrictRule{"", c.expect});
    EXPECT_EQ(outcome.ok, c.found) << c.what;
    EXPECT_EQ(outcome.bytes, c.body.size()) << c.what;
  }
}

TEST(StrictRuleTest, WithoutATextTheUsualRuleHolds) {
  const StrictRule usual;
  EXPECT_FALSE(usual.Strict());
  EXPECT_FALSE(JudgeReply(Reply(502, "bad gateway"), usual).ok);
  EXPECT_TRUE(JudgeReply(Reply(200, "page"), usual).ok);
  EXPECT_FALSE(JudgeReply(Reply(200, ""), usual).ok);
  CheckTarget target;
  target.validation_host = "check.test";
  EXPECT_EQ(CheckAddress(target, usual, 555), ValidationUrl(target, 555));
  EXPECT_EQ(CheckAddress(target, StrictRule{"http://mine.test/ok", ""}, 555),
            "http://mine.test/ok");
}

TEST(JsonLineTest, EscapesWhatJsonNeedsAndKeepsUtf8) {
  EXPECT_EQ(cli::JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(cli::JsonString("\t\x01"), "\"\\u0009\\u0001\"");
  EXPECT_EQ(cli::JsonString("北京"), "\"北京\"");
  EXPECT_EQ(cli::JsonString("\xff\xc3"), "\"\\ufffd\\ufffd\"");
  EXPECT_EQ(cli::VerdictJsonLine("1.2.3.4:80", "ok", 0.25, 200, 17),
            "{\"address\":\"1.2.3.4:80\",\"verdict\":\"ok\",\"seconds\":0.250,\"status\":200,"
            "\"bytes\":17}");
}

// Loopback servers answering proxy requests as set; each is one "proxy" of the list.
class StrictCommandTest : public ::testing::Test {
 protected:
  void AddProxy(std::string name, int status, std::string reason, std::string body) {
    auto server = std::make_unique<tools::FixtureServer>(tools::LoopbackAddress(servers_.size()));
    tools::Reply reply;
    reply.status = status;
    reply.reason = std::move(reason);
    reply.body = std::move(body);
    server->SetDefault(reply);
    ASSERT_TRUE(server->Start());
    names_[server->address() + ":" + std::to_string(server->port())] = std::move(name);
    list_ += server->address() + ":" + std::to_string(server->port()) + "\r\n";
    servers_.push_back(std::move(server));
  }
  int Run(std::vector<std::string> args) {
    std::istringstream in(list_);
    args.push_back("--check-timeout");
    args.push_back("5");
    args.push_back("--no-history");  // the data directory beside the test stays as it is
    return cli::RunCheck(args, in, out_, err_, false);
  }
  // name -> the parsed JSON object of its line
  std::map<std::string, boost::property_tree::ptree> JsonLines() {
    std::map<std::string, boost::property_tree::ptree> result;
    std::istringstream lines(out_.str());
    std::string line;
    while (std::getline(lines, line)) {
      boost::property_tree::ptree object;
      std::istringstream text(line);
      boost::property_tree::read_json(text, object);
      result[names_.at(object.get<std::string>("address"))] = object;
    }
    return result;
  }

  std::vector<std::unique_ptr<tools::FixtureServer>> servers_;
  std::map<std::string, std::string> names_;
  std::string list_;
  std::ostringstream out_, err_;
};

TEST_F(StrictCommandTest, JsonLinesWithTheStrictVerdicts) {
  AddProxy("captive", 200, "OK", "<html><form action=/login>登录后上网</form></html>");
  AddProxy("bad gateway", 502, "Bad Gateway", "LUMVEX-OK from an error page");
  AddProxy("no text", 200, "OK", "some other page");
  AddProxy("good", 200, "OK", "<p>LUMVEX-OK</p>");
  ASSERT_EQ(Run({"--expect", "LUMVEX-OK", "--json"}), 0) << err_.str();
  auto lines = JsonLines();
  ASSERT_EQ(lines.size(), 4u) << out_.str();
  EXPECT_EQ(lines["captive"].get<std::string>("verdict"), "failed");
  EXPECT_EQ(lines["bad gateway"].get<std::string>("verdict"), "failed");
  EXPECT_EQ(lines["bad gateway"].get<std::string>("status"), "502");
  EXPECT_EQ(lines["no text"].get<std::string>("verdict"), "failed");
  EXPECT_EQ(lines["good"].get<std::string>("verdict"), "ok");
  EXPECT_EQ(lines["good"].get<std::string>("status"), "200");
  EXPECT_EQ(lines["good"].get<std::string>("bytes"), "16");
  EXPECT_GE(std::stod(lines["good"].get<std::string>("seconds")), 0.0);
}

TEST_F(StrictCommandTest, WithoutExpectTheUsualRuleHoldsAndCheckUrlIsFetched) {
  AddProxy("captive", 200, "OK", "<html>login</html>");
  AddProxy("bad gateway", 502, "Bad Gateway", "error page");
  AddProxy("nul", 200, "OK", std::string("abc\0", 4) + std::string(32, 'x'));
  ASSERT_EQ(Run({"--check-url", "http://mine.test/probe?x=1", "--json"}), 0) << err_.str();
  auto lines = JsonLines();
  EXPECT_EQ(lines["captive"].get<std::string>("verdict"), "ok");
  // The proxy's own error page is no relayed reply.
  EXPECT_EQ(lines["bad gateway"].get<std::string>("verdict"), "failed");
  EXPECT_EQ(lines["bad gateway"].get<std::string>("status"), "502");
  // Every body byte received counts, also after a zero byte.
  EXPECT_EQ(lines["nul"].get<std::string>("verdict"), "ok");
  EXPECT_EQ(lines["nul"].get<std::string>("bytes"), "36");
  for (const auto& server : servers_) {
    ASSERT_EQ(server->Requests().size(), 1u);
    EXPECT_EQ(server->Requests()[0].target, "http://mine.test/probe?x=1");
  }
}

TEST_F(StrictCommandTest, TabSeparatedLinesStayTheDefault) {
  AddProxy("good", 200, "OK", "LUMVEX-OK");
  ASSERT_EQ(Run({"--expect", "LUMVEX-OK"}), 0);
  const std::string line = out_.str();
  EXPECT_EQ(line.substr(0, line.find('\t')),
            servers_[0]->address() + ":" + std::to_string(servers_[0]->port()));
  EXPECT_NE(line.find("\tok\t"), std::string::npos);
}

TEST_F(StrictCommandTest, BadStrictFlagsAreUsageErrors) {
  AddProxy("good", 200, "OK", "LUMVEX-OK");
  EXPECT_EQ(Run({"--check-url", "https://secure.test/"}), 2);
  EXPECT_EQ(Run({"--expect", ""}), 2);
  EXPECT_EQ(Run({"--check-url"}), 2);
  EXPECT_TRUE(servers_[0]->Requests().empty());
}

TEST(StrictSettingsTest, TheFileKeepsBothFieldsAndEmptyMeansTheUsualRule) {
  testing::TempDir dir;
  const std::string data = dir.File("data");
  EXPECT_EQ(ReadStrictRule(DataDir(data)), StrictRule{});
  ASSERT_TRUE(WriteStrictRule(DataDir(data), {"http://mine.test/ok", "欢迎"}));
  EXPECT_EQ(text::DecodeGbk(ReadWholeFile(data + "/strict").value_or("")),
            "[strict]\r\nurl=http://mine.test/ok\r\nexpect=欢迎\r\n");
  EXPECT_EQ(ReadStrictRule(DataDir(data)), (StrictRule{"http://mine.test/ok", "欢迎"}));
  ASSERT_TRUE(WriteStrictRule(DataDir(data), {}));
  EXPECT_FALSE(ReadStrictRule(DataDir(data)).Strict());
}

// "验证网址" of the settings dialog: what --check-url takes, or nothing. An https address would be
// fetched past the proxies and pass every one of them.
TEST(StrictSettingsTest, TheDialogTakesOnlyHttpAddresses) {
  const std::pair<const char*, bool> cases[] = {
      {"", true},
      {"   ", true},
      {"http://mine.test/probe?x=1", true},
      {"HTTP://mine.test:8080/", true},
      {"mine.test/probe", true},
      {"https://mine.test/", false},
      {"HTTPS://mine.test/", false},
      {"ftp://mine.test/", false},
      {"http://user@evil.test/", false},
      {"http:///path", false},
      {"http://mine.test:99999/", false},
  };
  for (const auto& [url, accepted] : cases) EXPECT_EQ(StrictUrlAccepted(url), accepted) << url;
}

// The window's validation run ("验证代理IP") checks by the rule of "\data\strict", which start-up
// reads into the session.
class StrictValidationRunTest : public StrictCommandTest {
 protected:
  std::vector<std::string> RunValidation() {
    ApplicationOptions options;
    options.shell.run_directory = dir_.path();
    options.shell.data_dir = DataDir(dir_.File("data"));
    options.check_timeout_seconds = 5;
    options.endpoints.validation_host = "check.test";
    auto app = std::make_unique<Application>(ui_, prompts_, options);
    std::vector<ProxyEntry> rows;
    for (const std::string& extra : extra_rows_) {
      const std::size_t colon = extra.rfind(':');
      rows.push_back(ProxyEntry{
          {extra.substr(0, colon), extra.substr(colon + 1), "HTTP", "0.5", "测试", "1天"}});
    }
    for (const auto& server : servers_) {
      rows.push_back(ProxyEntry{
          {server->address(), std::to_string(server->port()), "HTTP", "0.5", "测试", "1天"}});
    }
    std::vector<std::string> verdicts;
    ui_.RunSync([&] {
      app->Shell().LoadNumbersAndTray();
      app->List().AddRows(rows);
      app->State().SetCount(Counter::kList, static_cast<std::int64_t>(rows.size()));
      app->State().SetEnabled(Command::kValidate, true);
      app->Shell().OnCommand(Command::kValidate);
    });
    EXPECT_TRUE(testing::WaitUntil([&] {
      bool done = true;
      ui_.RunSync([&] {
        for (int row = 0; row < app->List().ListCount(); ++row) {
          const std::string v = app->List().GetCell(row, kColType);
          done = done && (v == "成功" || v == "失败");
        }
      });
      return done;
    }));
    ui_.RunSync([&] {
      anonymity_.clear();
      for (int row = 0; row < app->List().ListCount(); ++row) {
        verdicts.push_back(app->List().GetCell(row, kColType));
        const CompactRow& shown = app->List().RowsOnUiThread()[static_cast<std::size_t>(row)];
        anonymity_.push_back(shown.Check().anonymity);
      }
      status_line_ = app->State().Text(control::kStatusLine);
      app->Shell().OnCommand(Command::kStopValidation);
    });
    return verdicts;
  }
  // Of each row after the last run, and the status line then.
  std::vector<Anonymity> anonymity_;
  std::string status_line_;

  std::vector<std::string> extra_rows_;  // address:port, checked before the servers
  testing::TempDir dir_;
  HeadlessUiThread ui_;
  testing::ScriptedPrompts prompts_;
};

TEST_F(StrictValidationRunTest, TheSettingsRuleDecidesTheVerdicts) {
  AddProxy("captive", 200, "OK", "<html>请登录</html>");
  AddProxy("good", 200, "OK", "<p>LUMVEX-OK</p>");
  EXPECT_EQ(RunValidation(), (std::vector<std::string>{"成功", "成功"}));
  ASSERT_TRUE(WriteStrictRule(DataDir(dir_.File("data")), {"http://mine.test/probe", "LUMVEX-OK"}));
  EXPECT_EQ(RunValidation(), (std::vector<std::string>{"失败", "成功"}));
  EXPECT_EQ(servers_[1]->Requests().back().target, "http://mine.test/probe");
}

// "匿名检测网址" set: the run asks the judge for the user's address, then fetches it through every
// proxy; each working row carries its anonymity, a proxy answering by itself fails.
TEST_F(StrictValidationRunTest, AJudgeClassifiesEachWorkingRow) {
  judge::RunningJudge judge;
  ASSERT_NE(judge.port(), 0);
  tools::ProxyFarm farm;
  std::vector<tools::ProxySpec> specs(3);
  const tools::FarmAnonymity levels[] = {tools::FarmAnonymity::kTransparent,
                                         tools::FarmAnonymity::kAnonymous,
                                         tools::FarmAnonymity::kElite};
  for (std::size_t i = 0; i < specs.size(); ++i) {
    specs[i].address = tools::LoopbackAddress(40 + i);
    // On loopback the run, too, comes from 127.0.0.1: the proxies go on from another address.
    specs[i].forwarding = tools::Forwarding{levels[i], "127.0.0.2"};
  }
  const std::vector<tools::ProxyEndpoint> endpoints = farm.Start(specs);
  ASSERT_EQ(endpoints.size(), specs.size());
  AddProxy("answers itself", 200, "OK", "ok");
  StrictRule rule;
  rule.judge = judge.url();
  ASSERT_TRUE(WriteStrictRule(DataDir(dir_.File("data")), rule));
  for (const tools::ProxyEndpoint& endpoint : endpoints) {
    extra_rows_.push_back(endpoint.address + ":" + std::to_string(endpoint.port));
  }
  EXPECT_EQ(RunValidation(), (std::vector<std::string>{"成功", "成功", "成功", "失败"}));
  EXPECT_EQ(anonymity_, (std::vector<Anonymity>{Anonymity::kTransparent, Anonymity::kAnonymous,
                                                Anonymity::kElite, Anonymity::kUnknown}));

  // A judge that cannot be asked: the run still happens, unclassified, and the status line says
  // why (no tick runs here to overwrite it).
  rule.judge = "http://127.0.0.1:1/";
  ASSERT_TRUE(WriteStrictRule(DataDir(dir_.File("data")), rule));
  EXPECT_EQ(RunValidation(), (std::vector<std::string>{"失败", "失败", "失败", "失败"}));
  EXPECT_EQ(status_line_, kJudgeUnanswered);
}

}  // namespace
}  // namespace lumvex
