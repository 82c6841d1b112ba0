// The source pages' patterns, markers and address forms, on hand-made pages and on the pages of
// the loopback sites.
#include <gtest/gtest.h>

#include <string>

#include "acquire/bounded_scan.h"
#include "acquire/source_a.h"
#include "acquire/source_b.h"
#include "acquire/source_c.h"
#include "acquire/text_between.h"
#include "sites/proxy_sites.h"
#include "text/codec.h"

namespace lumvex {
namespace {

std::string TableRow(const std::string& ip, const std::string& location_cell,
                     const std::string& speed) {
  return "<tr>\r\n  <td>" + ip + "</td>\r\n  <td>8080</td>\r\n  <td>HTTP</td>\r\n  " +
         location_cell + "\r\n  <td>高匿</td>\r\n  <td>" + speed +
         "</td>\r\n  <td>3天</td>\r\n</tr>\r\n";
}

TEST(SourceATest, SpeedCellsBecomeSeconds) {
  EXPECT_EQ(source_a::SpeedSeconds("350毫秒"), "0.35");
  EXPECT_EQ(source_a::SpeedSeconds("2秒"), "0.002");
  EXPECT_EQ(source_a::SpeedSeconds(""), "0");
  EXPECT_EQ(source_a::SpeedSeconds("1分钟"), "0.001");  // only 秒, 毫 and 钟 go
}

TEST(SourceATest, CountLabelTakesTheTextBetweenFullWidthParentheses) {
  EXPECT_EQ(source_a::CategoryCountCaption("北京代理（123）"), "当前数据库共有IP： 123 个");
  EXPECT_EQ(source_a::CategoryCountCaption("北京代理"), "当前数据库共有IP：  个");
  EXPECT_EQ(source_a::CategoryCountCaption(""), "当前数据库共有IP：  个");
}

TEST(SourceATest, PagePlanning) {
  EXPECT_EQ(source_a::PageCount("500"), 7);
  EXPECT_EQ(source_a::PageCount("80"), 2);
  EXPECT_EQ(source_a::PageCount("79"), 1);
  EXPECT_EQ(source_a::PageCount("0"), 1);
  EXPECT_EQ(source_a::PageCount(""), 1);
  EXPECT_EQ(source_a::PageCount("12abc"), 1);
  EXPECT_EQ(source_a::PageCount("-400"), 1);
  EXPECT_EQ(source_a::PageCount("1e300"), 1000001);  // absurd requests stay defined
  EXPECT_TRUE(source_a::CountReached(500, "500"));
  EXPECT_FALSE(source_a::CountReached(499, "500"));
  EXPECT_TRUE(source_a::CountReached(0, ""));
}

TEST(SourceATest, AddressForms) {
  EXPECT_EQ(source_a::CategoryListUrl("127.0.0.1:81"),
            "http://127.0.0.1:81/proxy_ipList.html?pageid=1");
  EXPECT_EQ(source_a::TablePageUrl("h", 12, 3), "http://h/proxy_ip.html?id=12&pageid=3");
}

TEST(SourceATest, RowsNeedTheLocationClassAndTheExactLayout) {
  const std::string page =
      "<table>\r\n" + TableRow("1.1.1.1", "<td class=\"tableAdr\">北京市</td>", "350毫秒") +
      TableRow("2.2.2.2", "<td>上海市</td>", "2秒") +  // no tableAdr: not a row
      "<tr>\r\n <td>3.3.3.3</td>\r\n</tr>\r\n" +       // one space: not a row
      TableRow("4.4.4.4", "<td class=\"tableAdr\">广东省</td>", "2秒") + "</table>";
  bool complete = false;
  const std::vector<ProxyEntry> rows = source_a::ParseTableRows(page, {}, &complete);
  EXPECT_TRUE(complete);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].cells,
            (std::array<std::string, 6>{"1.1.1.1", "8080", "HTTP", "0.35", "北京市", "3天"}));
  EXPECT_EQ(rows[1].cells[kColAddress], "4.4.4.4");
  EXPECT_EQ(rows[1].cells[kColSpeed], "0.002");
}

// The pattern's "." after "proxy_ip" takes any character: such a link counts alone as well as
// after another link (each page here is scanned in one piece or cut before every link).
TEST(SourceATest, CategoryLinksCountWhereverTheyStand) {
  auto link = [](const std::string& file, int id) {
    return "<li><a href=\"" + file + "?id=" + std::to_string(id) +
           "\"  title=\"t\">t（1）个</a></li>\r\n";
  };
  const struct {
    std::string page;
    std::vector<int> ids;
  } kCases[] = {
      {link("proxy_ip+html", 5), {5}},
      {link("proxy_ip.html", 4) + link("proxy_ip+html", 5), {4, 5}},
      {link("proxy_ip+html", 5) + link("proxy_ip.html", 4), {5, 4}},
  };
  for (const auto& c : kCases) {
    std::vector<int> ids;
    for (const source_a::Category& category : source_a::ParseCategories(c.page)) {
      ids.push_back(category.id);
    }
    EXPECT_EQ(ids, c.ids) << c.page;
  }
}

TEST(SourceATest, SitePagesGiveTheirRowsAndCategories) {
  tools::ProxySites sites({});
  const std::vector<source_a::Category> categories =
      source_a::ParseCategories(sites.CategoryListPage());
  ASSERT_EQ(categories.size(), sites.CategoryIds().size());
  for (std::size_t i = 0; i < categories.size(); ++i) {
    EXPECT_EQ(categories[i].id, sites.CategoryIds()[i]);
    EXPECT_EQ(categories[i].title, sites.CategoryTitle(static_cast<int>(i)));
  }
  const std::vector<ProxyEntry> rows = source_a::ParseTableRows(sites.TablePage(102, 3));
  const std::vector<tools::SiteRow> expected = sites.TableRows(102, 3);
  ASSERT_EQ(rows.size(), 80u);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].cells[kColAddress], expected[i].address);
    EXPECT_EQ(rows[i].cells[kColPort], expected[i].port);
    EXPECT_EQ(rows[i].cells[kColLocation], expected[i].location);
    EXPECT_EQ(rows[i].cells[kColSpeed], source_a::SpeedSeconds(expected[i].speed));
  }
}

TEST(SourceBTest, ListLinesAreCutOnTheirBytes) {
  const std::string line = text::EncodeGbk("\t1.2.3.4:8080@HTTP;北京<br />");
  std::vector<ProxyEntry> rows = source_b::ParseListPage(line + "\r\n");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].cells, (std::array<std::string, 6>{"1.2.3.4", "8080", "", "", "北京", ""}));

  rows = source_b::ParseListPage(text::EncodeGbk("\t5.6.7.8:3128@HTTP<br />\r\n"));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].cells, (std::array<std::string, 6>{"5.6.7.8", "3128", "", "", "", ""}));

  // No ":", no "@", no "<br />": skipped.
  EXPECT_TRUE(source_b::ParseListPage("\t1.2.3.4 8080@HTTP<br />\r\n\t1.2.3.4:8080 HTTP<br />\r\n"
                                      "\t1.2.3.4:8080@HTTP;x\r\n")
                  .empty());
  // "<br />" in the middle: the last six bytes go whatever they are.
  rows = source_b::ParseListPage("\t9.9.9.9:80@HTTP;here<br />abcdefXYZ\r\n");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].cells[kColLocation], "here<br />abc");
  // A double-byte character whose second byte is ":" in ASCII is not split there.
  rows = source_b::ParseListPage(std::string("\t1.1.1.1:80@HTTP;\x81:x<br />\r\n"));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].cells[kColPort], "80");
}

TEST(SourceBTest, DatabasePageLinksAndTitlesAreFoundApart) {
  const std::string page =
      "[<b><a href=\"/\">免费代理IP</a></b>] <a href=\"p/1.html\" class=\"title\">一</a>\r\n"
      "[<b><a href=\"/\">免费代理IP</a></b>] <a href=\"p/2.html\" class=\"title\">二</a>\r\n"
      "[<b><a href=\"/\">免费代理IP</a></b>] <a href=\"p/3.htm\" class=\"t\">三</a>\r\n";
  const source_b::DatabasePage links = source_b::ParseDatabasePage(page, "h:1");
  EXPECT_EQ(links.page_addresses,
            (std::vector<std::string>{"http://h:1/p/1.html", "http://h:1/p/2.html",
                                      "http://h:1/p/3.htm"}));
  EXPECT_EQ(links.titles, (std::vector<std::string>{"一", "二"}));
}

TEST(SourceBTest, MarkersAreEscapedOnlyWhereTheRuleSays) {
  EXPECT_EQ(EscapeMarker("a(b){c}?"), "a\\(b\\)\\{c\\}\\?");
  EXPECT_EQ(AllTextsBetweenBounded("x(1)y (2) (3)", "(", ")", "<", ">", {}),
            (std::vector<std::string>{"<1>", "<2>", "<3>"}));
  // A full stop stays a pattern character: it matches any character there.
  EXPECT_EQ(AllTextsBetweenBounded("aXb1; a.b2;", "a.b", ";", "", "", {}),
            (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(source_b::ParseDatabaseValues("<option value='1.html'>x<OPTION VALUE='2.html'>"),
            (std::vector<std::string>{"1.html", "2.html"}));
  EXPECT_TRUE(source_b::ParseDatabaseValues("").empty());
}

TEST(SourceCTest, OnlyTransparentRowsOnOneLineAreTaken) {
  const std::string page = text::EncodeGbk(
      "<tr><td>1.1.1.1</td><td>80</td><td>透明</td><td>whois</td><td><div "
      "class=\"addr_style\">北京</div></td></tr>\r\n"
      "<tr><td>2.2.2.2</td><td>81</td><td>高匿</td><td>whois</td><td><div "
      "class=\"addr_style\">上海</div></td></tr>\r\n"
      "<TR><TD>3.3.3.3</TD><TD>82</TD><TD>透明</TD><TD>WHOIS</TD><TD><DIV "
      "CLASS=\"addr_style\">广州</DIV></TD></TR>\r\n"
      "<tr><td>4.4.4.4</td><td>83</td><td>透明</td>\r\n<td>whois</td><td><div "
      "class=\"addr_style\">深圳</div></td></tr>\r\n");
  const std::vector<ProxyEntry> rows = source_c::ParsePage(page);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].cells, (std::array<std::string, 6>{"1.1.1.1", "80", "", "", "北京", ""}));
  EXPECT_EQ(rows[1].cells[kColAddress], "3.3.3.3");
  EXPECT_EQ(rows[1].cells[kColLocation], "广州");
  EXPECT_EQ(source_c::PageUrl("h"), "http://h/proxy/index.aspx");
}

// A page ending in a multi-megabyte line of half-started records: the scan gives up within its
// bound and keeps every record before that line.
TEST(BoundedScanTest, HostilePagesKeepTheRowsBeforeTheBound) {
  tools::ProxySites sites({});
  const std::string page = sites.AnyCountryPage();
  std::string hostile = page + "\r\n";
  while (hostile.size() < page.size() + 2'000'000) hostile += "<tr><td></td><td>";
  bool complete = true;
  const std::vector<ProxyEntry> rows = source_c::ParsePage(hostile, {}, &complete);
  const std::vector<ProxyEntry> all = source_c::ParsePage(page);
  ASSERT_FALSE(all.empty());
  ASSERT_GE(rows.size(), all.size());
  EXPECT_TRUE(std::equal(all.begin(), all.end(), rows.begin()));

  // A cancelled scan stops before its first chunk.
  std::atomic<bool> cancel{true};
  ScanLimits limits;
  limits.cancel = &cancel;
  EXPECT_TRUE(source_c::ParsePage(page, limits, &complete).empty());
  EXPECT_FALSE(complete);
}

TEST(BoundedScanTest, ChunkingFindsWhatOneWholeSearchFinds) {
  tools::ProxySites sites({});
  const std::string page = sites.TablePage(101, 1);
  ScanLimits tiny;
  tiny.chunk_bytes = 300;
  tiny.piece_bytes = 100000;
  EXPECT_EQ(source_a::ParseTableRows(page, tiny), source_a::ParseTableRows(page));
  RegexHelper whole;
  whole.Create(source_a::kRowPattern, page);
  EXPECT_EQ(source_a::ParseTableRows(page).size(), static_cast<std::size_t>(whole.MatchCount()));
}

}  // namespace
}  // namespace lumvex
