#include <gtest/gtest.h>

#include "app/url_import_controller.h"
#include "fixture/fixture_server.h"
#include "list_rig.h"
#include "platform/file_io.h"
#include "text/codec.h"

namespace lumvex {
namespace {

using testing::ListRig;
using tools::FixtureServer;
using tools::Reply;

Reply Page(std::string body, int status = 200) {
  Reply reply;
  reply.status = status;
  reply.reason = status == 200 ? "OK" : "Not Found";
  reply.body = std::move(body);
  return reply;
}

struct UrlRig : ListRig {
  UrlRig() { EXPECT_TRUE(server.Start()); }
  ~UrlRig() {
    // The import threads use the members below; they end before those go.
    commands.WaitIdle();
    fetcher.Close();
  }
  std::string Url(const std::string& path) const { return server.BaseUrl() + path; }

  FixtureServer server;
  http::FetchClient fetcher{nullptr};
  std::string data = dir.File("data");
  UrlImportController import{state, commands, prompts, fetcher, DataDir(data)};
};

TEST(UrlImportTest, AppendsEveryListedProxyInOrder) {
  UrlRig rig;
  rig.server.Route("/http.txt", Page("1.1.1.1:80\n2.2.2.2:8080\n\nnot a proxy\n3.3.3.3:3128\n"));
  const UrlImportResult result = rig.import.Import(rig.Url("/http.txt"));
  EXPECT_TRUE(result.fetched);
  ASSERT_EQ(result.added.size(), 3u);
  EXPECT_EQ(result.added[2].cells[kColAddress], "3.3.3.3");
  EXPECT_EQ(result.added[2].cells[kColPort], "3128");
  EXPECT_EQ(rig.Addresses(), (std::vector<std::string>{"1.1.1.1", "2.2.2.2", "3.3.3.3"}));
  EXPECT_EQ(rig.state.Status(), "共有代理IP：3个");
  EXPECT_EQ(rig.state.CounterText(Counter::kList), "3");
  EXPECT_TRUE(rig.state.IsCommandEnabled(Command::kValidate));
  // Fetched directly: the request is for the path itself, not through a proxy.
  ASSERT_EQ(rig.server.Requests().size(), 1u);
  EXPECT_EQ(rig.server.Requests()[0].target, "/http.txt");
}

TEST(UrlImportTest, GbkAndUtf8ListsBothDecode) {
  UrlRig rig;
  rig.server.Route("/gbk", Page(text::EncodeGbk("1.1.1.1:80@HTTP#广东省\r\n")));
  rig.server.Route("/utf8", Page("2.2.2.2:80@HTTP#北京市\n"));
  rig.import.Import(rig.Url("/gbk"));
  rig.import.Import(rig.Url("/utf8"));
  EXPECT_EQ(rig.list.GetCell(0, kColLocation), "广东省");
  EXPECT_EQ(rig.list.GetCell(1, kColLocation), "北京市");
}

TEST(UrlImportTest, ErrorPagesAndDeadServersAddNothing) {
  UrlRig rig;
  rig.server.Route("/missing", Page("404: Not Found", 404));
  UrlImportResult result = rig.import.Import(rig.Url("/missing"));
  EXPECT_FALSE(result.fetched);
  EXPECT_EQ(result.error, "HTTP 404");
  Reply reset;
  reset.mode = Reply::Mode::kReset;
  rig.server.Route("/reset", reset);
  result = rig.import.Import(rig.Url("/reset"));
  EXPECT_FALSE(result.fetched);
  EXPECT_EQ(rig.list.ListCount(), 0);
  EXPECT_EQ(rig.state.Status(), "共有代理IP：0个");
}

TEST(UrlImportTest, TheMenuItemAsksWithTheLastAddressAndKeepsIt) {
  UrlRig rig;
  rig.server.Route("/list", Page("4.4.4.4:80\r\n"));
  // First time: the default address is offered; cancelling does nothing.
  rig.OnUi([&] { rig.import.ImportFromWebAddress(); });
  ASSERT_EQ(rig.prompts.text_requests.size(), 1u);
  EXPECT_EQ(rig.prompts.text_requests[0].initial, kDefaultProxyListUrl);
  EXPECT_EQ(rig.prompts.text_requests[0].caption, "从网址导入代理IP");
  EXPECT_FALSE(FileExists(rig.data + "/list url"));

  rig.prompts.QueueText(" " + rig.Url("/list") + " ");
  rig.OnUi([&] { rig.import.ImportFromWebAddress(); });
  rig.commands.WaitIdle();
  EXPECT_EQ(rig.Addresses(), std::vector<std::string>{"4.4.4.4"});
  EXPECT_TRUE(rig.state.IsContextItemEnabled(ContextItem::kImportFromUrl));
  EXPECT_EQ(ReadWholeFile(rig.data + "/list url").value_or(""),
            "[list url]\r\nlist url=" + rig.Url("/list") + "\r\n");

  rig.OnUi([&] { rig.import.ImportFromWebAddress(); });
  ASSERT_EQ(rig.prompts.text_requests.size(), 3u);
  EXPECT_EQ(rig.prompts.text_requests[2].initial, rig.Url("/list"));
}

TEST(UrlImportTest, LastStatusCodeReadsTheFinalResponse) {
  EXPECT_EQ(LastStatusCode("HTTP/1.1 200 OK\r\nA: b\r\n\r\n"), 200);
  EXPECT_EQ(LastStatusCode("HTTP/1.1 301 Moved\r\n\r\nHTTP/1.1 404 Not Found\r\n\r\n"), 404);
  EXPECT_EQ(LastStatusCode(""), 0);
}

}  // namespace
}  // namespace lumvex
