#include "sites/proxy_sites.h"

#include <cstdlib>
#include <fstream>
#include <utility>

#include "fixture/reply_engine.h"
#include "text/codec.h"

namespace lumvex::tools {
namespace {

constexpr int kRowsPerTablePage = 80;
constexpr std::size_t kHostileLineBytes = 3u * 1024u * 1024u;

enum Site : std::size_t { kSiteA = 0, kSiteB = 1, kSiteC = 2 };

std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

const char* const kPlaces[] = {"北京市 联通",      "广东省深圳市 电信", "浙江省杭州市",
                               "上海市 移动",      "江苏省南京市",      "美国 加利福尼亚州",
                               "四川省成都市 电信"};
const char* const kCategoryNames[] = {"国内高匿代理", "国内普通代理", "国外高匿代理",
                                      "国外普通代理", "北京代理",     "上海代理"};

std::string Repeat(const std::string& unit, std::size_t bytes) {
  std::string out;
  out.reserve(bytes + unit.size());
  while (out.size() < bytes) out += unit;
  return out;
}

}  // namespace

struct ProxySites::Answer {
  Reply reply;
};

ProxySites::ProxySites(SitesConfig config) : config_(std::move(config)) {}

ProxySites::~ProxySites() { Stop(); }

bool ProxySites::Start(std::uint16_t port_a, std::uint16_t port_b, std::uint16_t port_c) {
  engine_ = std::make_unique<ReplyEngine>([this](std::size_t listener, RecordedRequest request) {
    return Serve(listener, request.target).reply;
  });
  std::vector<ListenSpec> specs = {ListenSpec{"127.0.0.1", port_a, true},
                                   ListenSpec{"127.0.0.1", port_b, true},
                                   ListenSpec{"127.0.0.1", port_c, true}};
  if (!engine_->Start(specs, config_.lifetime)) {
    engine_.reset();
    return false;
  }
  ports_ = engine_->ports();
  return true;
}

void ProxySites::Stop() {
  if (engine_) engine_->Stop();
}

std::string ProxySites::HostA() const { return "127.0.0.1:" + std::to_string(ports_.at(kSiteA)); }
std::string ProxySites::HostB() const { return "127.0.0.1:" + std::to_string(ports_.at(kSiteB)); }
std::string ProxySites::HostC() const { return "127.0.0.1:" + std::to_string(ports_.at(kSiteC)); }

void ProxySites::SetFault(const std::string& target, PageFault fault) {
  std::lock_guard lock(mutex_);
  faults_[target] = fault;
}

int ProxySites::Hits(const std::string& target) const {
  std::lock_guard lock(mutex_);
  const auto it = hits_.find(target);
  return it == hits_.end() ? 0 : it->second;
}

SiteRow ProxySites::MakeRow(std::uint32_t salt, int index) const {
  const std::uint64_t h =
      Mix((static_cast<std::uint64_t>(config_.seed) << 40) ^
          (static_cast<std::uint64_t>(salt) << 20) ^ static_cast<std::uint64_t>(index));
  SiteRow row;
  if (!config_.live_proxies.empty() && index % 2 == 0) {
    const std::string& live = config_.live_proxies[(h >> 8) % config_.live_proxies.size()];
    const std::size_t colon = live.rfind(':');
    row.address = live.substr(0, colon);
    row.port = colon == std::string::npos ? "80" : live.substr(colon + 1);
  } else if (!config_.live_proxies.empty()) {
    // A loopback address where nothing listens: a check of it fails at once.
    row.address = "127.0.9." + std::to_string(1 + (h >> 8) % 250);
    row.port = std::to_string(1 + (h >> 16) % 1000);
  } else {
    row.address = std::to_string(11 + (h >> 8) % 200) + "." + std::to_string((h >> 16) % 256) +
                  "." + std::to_string((h >> 24) % 256) + "." + std::to_string(1 + (h >> 32) % 254);
    row.port = std::to_string(1024 + (h >> 40) % 60000);
  }
  row.type = (h >> 48) % 3 == 0 ? "HTTPS" : "HTTP";
  row.location = kPlaces[(h >> 52) % (sizeof kPlaces / sizeof kPlaces[0])];
  row.speed = (h >> 56) % 2 == 0 ? std::to_string(50 + (h >> 4) % 900) + "毫秒"
                                 : std::to_string(1 + (h >> 4) % 9) + "秒";
  row.survival = std::to_string(1 + (h >> 12) % 30) + "天";
  return row;
}

// ---- Source A ----

std::vector<int> ProxySites::CategoryIds() const {
  std::vector<int> ids;
  for (int i = 0; i < config_.categories; ++i) ids.push_back(101 + i);
  return ids;
}

std::string ProxySites::CategoryTitle(int index) const {
  const int count = config_.pages_per_category * kRowsPerTablePage;
  return std::string(kCategoryNames[index % (sizeof kCategoryNames / sizeof kCategoryNames[0])]) +
         (index >= 6 ? std::to_string(index) : "") + "（" + std::to_string(count) + "）";
}

std::vector<SiteRow> ProxySites::TableRows(int category_id, int page) const {
  std::vector<SiteRow> rows;
  if (category_id < 101 || category_id >= 101 + config_.categories || page < 1 ||
      page > config_.pages_per_category) {
    return rows;
  }
  for (int i = 0; i < kRowsPerTablePage; ++i) {
    rows.push_back(
        MakeRow(static_cast<std::uint32_t>(category_id), (page - 1) * kRowsPerTablePage + i));
  }
  return rows;
}

std::string ProxySites::CategoryListPage() const {
  std::string page =
      "<!DOCTYPE html>\r\n<html><head><meta charset=\"utf-8\"><title>代理IP数据库</title>"
      "</head>\r\n<body>\r\n<ul class=\"db\">\r\n";
  const std::vector<int> ids = CategoryIds();
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const std::string title = CategoryTitle(static_cast<int>(i));
    page += "<li><a href=\"proxy_ip.html?id=" + std::to_string(ids[i]) + "\"  title=\"" + title +
            "\">" + title + "个</a></li>\r\n";
  }
  page += "</ul>\r\n</body></html>\r\n";
  return page;
}

std::string ProxySites::TablePage(int category_id, int page_number) const {
  std::string page =
      "<!DOCTYPE html>\r\n<html><head><meta charset=\"utf-8\"><title>代理列表</title></head>\r\n"
      "<body>\r\n<table class=\"proxy\">\r\n<tr>\r\n  <th>IP</th>\r\n  <th>端口</th>\r\n"
      "  <th>类型</th>\r\n  <th>位置</th>\r\n  <th>匿名度</th>\r\n  <th>速度</th>\r\n"
      "  <th>存活时间</th>\r\n</tr>\r\n";
  for (const SiteRow& row : TableRows(category_id, page_number)) {
    page += "<tr>\r\n  <td>" + row.address + "</td>\r\n  <td>" + row.port + "</td>\r\n  <td>" +
            row.type + "</td>\r\n  <td class=\"tableAdr\">" + row.location +
            "</td>\r\n  <td>高匿</td>\r\n  <td>" + row.speed + "</td>\r\n  <td>" + row.survival +
            "</td>\r\n</tr>\r\n";
  }
  page += "</table>\r\n</body></html>\r\n";
  return page;
}

// ---- Source B ----

std::vector<std::string> ProxySites::DatabaseValues() const {
  std::vector<std::string> values;
  for (int k = 1; k <= config_.databases; ++k) values.push_back(std::to_string(k) + ".html");
  return values;
}

std::vector<std::string> ProxySites::ListPageTargets(int database) const {
  std::vector<std::string> targets;
  for (int p = 1; p <= config_.list_pages; ++p) {
    targets.push_back("proxyip/list_" + std::to_string(database) + "_" + std::to_string(p) +
                      ".html");
  }
  return targets;
}

std::vector<std::string> ProxySites::ListPageTitles(int database) const {
  std::vector<std::string> titles;
  for (int p = 1; p <= config_.list_pages; ++p) {
    titles.push_back("第" + std::to_string(database) + "库 免费代理IP 第" + std::to_string(p) +
                     "页");
  }
  return titles;
}

std::vector<SiteRow> ProxySites::ListPageRows(int database, int page) const {
  std::vector<SiteRow> rows;
  if (database < 1 || database > config_.databases || page < 1 || page > config_.list_pages) {
    return rows;
  }
  for (int i = 0; i < config_.rows_per_list_page; ++i) {
    SiteRow row = MakeRow(static_cast<std::uint32_t>(1000 + database * 100 + page), i);
    if (i % 5 == 4) row.location.clear();  // a line without the ";" part
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string ProxySites::DatabaseListPage() const {
  std::string page =
      "<html><head><title>代理IP数据库</title></head><body>\r\n<select name=\"db\">\r\n";
  for (const std::string& value : DatabaseValues()) {
    page += "<option value='" + value + "'>数据库 " + value + "</option>\r\n";
  }
  page += "</select>\r\n</body></html>\r\n";
  return text::EncodeGbk(page);
}

std::string ProxySites::DatabasePage(int database) const {
  std::string page = "<html><head><title>免费代理IP</title></head><body>\r\n";
  if (database >= 1 && database <= config_.databases) {
    const std::vector<std::string> targets = ListPageTargets(database);
    const std::vector<std::string> titles = ListPageTitles(database);
    for (std::size_t i = 0; i < targets.size(); ++i) {
      page += "<li>[<b><a href=\"/proxyip/\">免费代理IP</a></b>] <a href=\"" + targets[i] +
              "\" class=\"title\">" + titles[i] + "</a></li>\r\n";
    }
  }
  page += "</body></html>\r\n";
  return text::EncodeGbk(page);
}

std::string ProxySites::ListPage(int database, int page_number) const {
  std::string page = "<html><body><div class=\"cont\">\r\n<p>以下代理每天更新</p>\r\n";
  page += "\t说明<br />\r\n";  // a "<br />" line without a proxy: skipped
  for (const SiteRow& row : ListPageRows(database, page_number)) {
    page += "\t" + row.address + ":" + row.port + "@" + row.type;
    if (!row.location.empty()) page += ";" + row.location;
    page += "<br />\r\n";
  }
  page += "</div></body></html>\r\n";
  return text::EncodeGbk(page);
}

// ---- Source C ----

std::vector<SiteRow> ProxySites::AnyCountryRows() const {
  std::vector<SiteRow> rows;
  for (int i = 0; i < config_.c_rows; ++i) {
    SiteRow row = MakeRow(3000, i);
    row.type = i % 3 == 1 ? "高匿" : "透明";
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string ProxySites::AnyCountryPage() const {
  std::string page =
      "<html><head><title>全球代理</title></head><body>\r\n<table>\r\n"
      "<tr><th>IP</th><th>端口</th><th>匿名度</th><th>查询</th><th>位置</th></tr>\r\n";
  for (const SiteRow& row : AnyCountryRows()) {
    page += "<tr><td>" + row.address + "</td><td>" + row.port + "</td><td>" + row.type +
            "</td><td>whois</td><td><div class=\"addr_style\">" + row.location +
            "</div></td></tr>\r\n";
  }
  page += "</table>\r\n</body></html>\r\n";
  return text::EncodeGbk(page);
}

std::string ProxySites::PlainListPage() const {
  std::string list;
  for (const SiteRow& row : AnyCountryRows()) list += row.address + ":" + row.port + "\r\n";
  return list;
}

// ---- Serving ----

ProxySites::Answer ProxySites::Serve(std::size_t site, const std::string& target) {
  PageFault fault = PageFault::kNone;
  {
    std::lock_guard lock(mutex_);
    ++hits_[target];
    if (const auto it = faults_.find(target); it != faults_.end()) fault = it->second;
    if (!config_.request_log.empty()) {
      std::ofstream(config_.request_log, std::ios::app) << "abc"[site % 3] << ' ' << target << '\n';
    }
  }
  Answer answer;
  Reply& reply = answer.reply;
  switch (fault) {
    case PageFault::kFail:
      reply.status = 500;
      reply.reason = "Internal Server Error";
      return answer;
    case PageFault::kStall:
      reply.mode = Reply::Mode::kNeverAnswer;
      return answer;
    case PageFault::kJunk:
      reply.body = std::string("\x01\xff\xfe<tr>\r\n  <td>\x80\x80\r\n", 17) + Repeat("%$#@", 4096);
      return answer;
    default:
      break;
  }
  std::string body;
  std::string hostile_unit;
  const auto number_after = [&target](const char* key) {
    const std::size_t at = target.find(key);
    return at == std::string::npos ? 0 : std::atoi(target.c_str() + at + std::string(key).size());
  };
  if (site == kSiteA) {
    reply.headers.push_back({"Content-Type", "text/html; charset=utf-8"});
    if (target == "/proxy_ipList.html?pageid=1") {
      body = CategoryListPage();
      hostile_unit = "<li><a href=\"proxy_ip.html?id=1\"  title=\"（\">（（";
    } else if (target.rfind("/proxy_ip.html?", 0) == 0) {
      body = TablePage(number_after("id="), number_after("pageid="));
      hostile_unit = "<td>1</td>";
    } else {
      reply.status = 404;
      reply.reason = "Not Found";
    }
  } else if (site == kSiteB) {
    reply.headers.push_back({"Content-Type", "text/html; charset=gbk"});
    if (target == "/proxyip/") {
      body = DatabaseListPage();
      hostile_unit = "<option value='";
    } else if (target.rfind("/proxyip/list_", 0) == 0) {
      const std::size_t under = target.find('_', 14);
      body = ListPage(number_after("list_"),
                      under == std::string::npos ? 0 : std::atoi(target.c_str() + under + 1));
      hostile_unit = "x:1@";
    } else if (target.rfind("/proxyip/", 0) == 0) {
      body = DatabasePage(std::atoi(target.c_str() + 9));
      hostile_unit = "html\" class=\"title\">";
    } else {
      reply.status = 404;
      reply.reason = "Not Found";
    }
  } else if (target == kPlainListTarget) {
    reply.headers.push_back({"Content-Type", "text/plain"});
    body = PlainListPage();
  } else {
    reply.headers.push_back({"Content-Type", "text/html; charset=gbk"});
    if (target == "/proxy/index.aspx") {
      body = AnyCountryPage();
      hostile_unit = "<tr><td></td><td>";
    } else {
      reply.status = 404;
      reply.reason = "Not Found";
    }
  }
  if (fault == PageFault::kHostile && !hostile_unit.empty()) {
    // The page up to its first few records, then one huge line of half-started ones.
    std::size_t keep = body.size() / 4;
    keep = body.rfind("\r\n", keep);
    body = body.substr(0, keep == std::string::npos ? 0 : keep + 2);
    body += Repeat(hostile_unit, kHostileLineBytes) + "\r\n";
  }
  reply.body = std::move(body);
  return answer;
}

}  // namespace lumvex::tools
