#include <gtest/gtest.h>
#include <zlib.h>

#include "app/url_import_controller.h"
#include "config/list_body.h"
#include "fixture/fixture_server.h"
#include "http/http_limits.h"
#include "list_rig.h"
#include "platform/file_io.h"
#include "text/codec.h"

namespace lumvex {
namespace {

using testing::ListRig;
using tools::FixtureServer;
using tools::Reply;

// `text` in the gzip format (or with `zlib`, the zlib format HTTP calls deflate), made by zlib.
std::string GzipOf(const std::string& text, bool zlib = false) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, zlib ? 15 : 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(text.size() + 64, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

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
  ASSERT_EQ(result.added, 3u);
  EXPECT_EQ(rig.list.GetCell(2, kColAddress), "3.3.3.3");
  EXPECT_EQ(rig.list.GetCell(2, kColPort), "3128");
  EXPECT_EQ(rig.Addresses(), (std::vector<std::string>{"1.1.1.1", "2.2.2.2", "3.3.3.3"}));
  EXPECT_EQ(rig.state.Text(control::kStatusLine), "共有代理IP：3个");
  EXPECT_EQ(rig.state.Text(Counter::kList), "3");
  EXPECT_TRUE(rig.state.Enabled(Command::kValidate));
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

TEST(UrlImportTest, FailuresSayWhyAndAddNothing) {
  UrlRig rig;
  Reply reset;
  reset.mode = Reply::Mode::kReset;
  struct Case {
    Reply reply;
    std::string error;
    std::string status;
  };
  const Case cases[] = {
      {Page("404: Not Found", 404), "HTTP 404", "HTTP 404"},
      {reset, "no answer", "没有应答"},
      {Page(""), "empty answer", "内容为空"},
      {Page("<html><body>proxies</body></html>\n"), "no address:port line", "没有“IP:端口”行"},
  };
  for (const Case& c : cases) {
    rig.server.Route("/failing", c.reply);
    const UrlImportResult result = rig.import.Import(rig.Url("/failing"));
    EXPECT_FALSE(result.Worked());
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(rig.state.Text(control::kStatusLine), "从网址导入代理IP失败：" + c.status);
  }
  EXPECT_EQ(rig.list.ListCount(), 0);
}

TEST(UrlImportTest, CompressedAndCutListsGiveOnlyWholeLines) {
  UrlRig rig;
  // A list cut by the size cap inside its last line: "9.9.9.9:8080" arrives as "9.9.9.9:80".
  std::string big = "1.1.1.1:8080\n";
  const std::string filler(999, 'x');
  while (big.size() + filler.size() + 1 < http::kMaxBodyBytes - 10) big += filler + "\n";
  big.append(http::kMaxBodyBytes - 10 - big.size(), '#');
  big += "\n9.9.9.9:8080\n";
  rig.server.Route("/big", Page(big));
  UrlImportResult result = rig.import.Import(rig.Url("/big"));
  EXPECT_TRUE(result.Worked());
  EXPECT_TRUE(result.cut);
  EXPECT_EQ(rig.Addresses(), std::vector<std::string>{"1.1.1.1"});
  EXPECT_EQ(rig.state.Text(control::kStatusLine),
            "共有代理IP：1个（列表超过32 MiB，只导入了前面部分）");

  Reply gzip = Page(GzipOf("2.2.2.2:3128\n"));
  gzip.headers = {{"Content-Encoding", "gzip"}};
  rig.server.Route("/gzip", gzip);
  result = rig.import.Import(rig.Url("/gzip"));
  ASSERT_EQ(result.added, 1u);
  EXPECT_EQ(rig.list.GetCell(rig.list.ListCount() - 1, kColPort), "3128");
  EXPECT_FALSE(result.cut);
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
  EXPECT_TRUE(rig.state.Enabled(ContextItem::kImportFromUrl));
  EXPECT_EQ(ReadWholeFile(rig.data + "/list url").value_or(""),
            "[list url]\r\nlist url=" + rig.Url("/list") + "\r\n");

  // An address that gave nothing is not offered next time.
  rig.prompts.QueueText(rig.Url("/nothing-here"));
  rig.OnUi([&] { rig.import.ImportFromWebAddress(); });
  rig.commands.WaitIdle();
  rig.OnUi([&] { rig.import.ImportFromWebAddress(); });
  ASSERT_EQ(rig.prompts.text_requests.size(), 4u);
  EXPECT_EQ(rig.prompts.text_requests[3].initial, rig.Url("/list"));
}

TEST(ListBodyTest, CompressedBodiesInflateAndCutListsEndAtALineEnd) {
  const std::string list = "1.1.1.1:8080\r\n2.2.2.2:3128\n";
  struct Case {
    std::string body;
    bool arrived_cut;
    std::size_t cap;
    std::string bytes;
    bool cut;
  };
  const Case cases[] = {
      {list, false, 1000, list, false},
      {GzipOf(list), false, 1000, list, false},
      {GzipOf(list, true), false, 1000, list, false},
      // Cut in transfer, or inflated beyond the cap: the unfinished line goes.
      {"1.1.1.1:8080\r\n2.2.2.2:31", true, 1000, "1.1.1.1:8080\r\n", true},
      {GzipOf(list), false, 20, "1.1.1.1:8080\r\n", true},
      {"1.1.1.1:80", true, 1000, "", true},
      // A compressed list cut in transfer: what inflates, up to the last whole line.
      {GzipOf(list).substr(0, GzipOf(list).size() - 12), true, 1000, "1.1.1.1:8080\r\n", true},
      // Looks like a zlib header but is text: taken as it came.
      {"x^1.1.1.1:80\n", false, 1000, "x^1.1.1.1:80\n", false},
  };
  for (const Case& c : cases) {
    const ListBody body = PrepareListBody(c.body, c.arrived_cut, c.cap);
    EXPECT_EQ(body.bytes, c.bytes);
    EXPECT_EQ(body.cut, c.cut);
  }
}

TEST(UrlImportTest, LastStatusCodeReadsTheFinalResponse) {
  EXPECT_EQ(LastStatusCode("HTTP/1.1 200 OK\r\nA: b\r\n\r\n"), 200);
  EXPECT_EQ(LastStatusCode("HTTP/1.1 301 Moved\r\n\r\nHTTP/1.1 404 Not Found\r\n\r\n"), 404);
  EXPECT_EQ(LastStatusCode(""), 0);
}

}  // namespace
}  // namespace lumvex
