// Throughput of the table-row pattern over a large source-A style page: the whole page is matched
// in one Create and every group of every row is read back, as the page task does.
#include <chrono>
#include <cstdio>
#include <string>

#include "acquire/regex_helper.h"

namespace {

constexpr const char* kRowPattern =
    "<tr>\r\n  <td>(.{1,}?)</td>\r\n  <td>(.{1,}?)</td>\r\n  <td>(.{1,}?)</td>\r\n"
    "  <td class=\"tableAdr\">(.{1,}?)</td>\r\n  <td>(.{1,}?)</td>\r\n  <td>(.{1,}?)</td>\r\n"
    "  <td>(.{1,}?)</td>\r\n</tr>";

constexpr std::size_t kPageBytes = 1 << 20;

std::string MakePage(int& rows) {
  const char* places[] = {"北京市 联通", "广东省深圳市 电信", "浙江省杭州市", "美国 加利福尼亚州",
                          "上海市 移动"};
  const char* types[] = {"HTTP", "HTTPS", "SOCKS4/5"};
  std::string page =
      "<!DOCTYPE html>\r\n<html>\r\n<head><meta "
      "charset=\"utf-8\"><title>代理列表</title></head>\r\n"
      "<body>\r\n<div class=\"nav\"><a href=\"/\">首页</a> | <a href=\"/list\">列表</a></div>\r\n"
      "<table class=\"proxy\">\r\n<tr><th>IP</th><th>端口</th><th>类型</th><th>位置</th>"
      "<th>匿名度</th><th>速度</th><th>存活时间</th></tr>\r\n";
  rows = 0;
  while (page.size() < kPageBytes - 512) {
    const int n = rows++;
    page += "<tr>\r\n";
    page += "  <td>" + std::to_string(10 + n % 200) + "." + std::to_string(n / 256 % 256) + "." +
            std::to_string(n % 256) + "." + std::to_string(1 + n % 250) + "</td>\r\n";
    page += "  <td>" + std::to_string(1024 + n % 60000) + "</td>\r\n";
    page += std::string("  <td>") + types[n % 3] + "</td>\r\n";
    page += std::string("  <td class=\"tableAdr\">") + places[n % 5] + "</td>\r\n";
    page += "  <td>高匿</td>\r\n";
    page += "  <td>" + std::to_string(n % 9) + "." + std::to_string(n % 10) + "秒</td>\r\n";
    page += "  <td>" + std::to_string(1 + n % 30) + "天</td>\r\n";
    page += "</tr>\r\n";
    if (n % 20 == 19) page += "<tr class=\"ad\"><td colspan=\"7\">广告 &nbsp; 推荐</td></tr>\r\n";
  }
  page += "</table>\r\n</body>\r\n</html>\r\n";
  return page;
}

}  // namespace

int main() {
  int rows = 0;
  const std::string page = MakePage(rows);
  constexpr int kRounds = 5;
  double best_seconds = 1e9;
  int matches = 0;
  std::size_t checksum = 0;
  for (int round = 0; round < kRounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    lumvex::RegexHelper helper;
    helper.Create(kRowPattern, page);
    matches = helper.MatchCount();
    for (int i = 1; i <= matches; ++i) {
      for (int j = 1; j <= 7; ++j) checksum += helper.SubMatchText(i, j).size();
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (elapsed.count() < best_seconds) best_seconds = elapsed.count();
  }
  if (matches != rows) {
    std::fprintf(stderr, "expected %d rows, matched %d (checksum %zu)\n", rows, matches, checksum);
    return 1;
  }
  std::printf("regex_mb_per_s %.2f MB/s\n", page.size() / (1024.0 * 1024.0) / best_seconds);
  std::printf("matches %d count\n", matches);
  return 0;
}
