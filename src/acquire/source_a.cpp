#include "acquire/source_a.h"

#include <cmath>
#include <limits>

#include "acquire/regex_replace_all.h"
#include "text/text_util.h"

namespace lumvex::source_a {
namespace {

// Every match of either pattern begins with these bytes. The category pattern's "." after
// "proxy_ip" matches any character, so its literal start ends before it.
constexpr std::string_view kCategoryStart = "<li><a href=\"proxy_ip";
constexpr std::string_view kRowStart = "<tr>";

}  // namespace

std::string CategoryListUrl(std::string_view host) {
  return "http://" + std::string(host) + "/proxy_ipList.html?pageid=1";
}

std::string TablePageUrl(std::string_view host, int category_id, int page) {
  return "http://" + std::string(host) + "/proxy_ip.html?id=" + text::FormatInt(category_id) +
         "&pageid=" + text::FormatInt(page);
}

std::vector<Category> ParseCategories(std::string_view page, const ScanLimits& limits) {
  std::vector<Category> categories;
  ScanBounded(kCategoryPattern, kCategoryStart, page, limits,
              [&](const RegexHelper& helper, int i) {
                const double id = text::AtoF(helper.SubMatchText(i, 1));
                Category category;
                // The integer of the number, truncated toward zero, kept inside the int range.
                if (std::isfinite(id) && id < std::numeric_limits<int>::max() &&
                    id > std::numeric_limits<int>::min()) {
                  category.id = static_cast<int>(id);
                }
                category.title = helper.SubMatchText(i, 2);
                categories.push_back(std::move(category));
              });
  return categories;
}

std::vector<ProxyEntry> ParseTableRows(std::string_view page, const ScanLimits& limits,
                                       bool* complete) {
  std::vector<ProxyEntry> rows;
  const bool whole =
      ScanBounded(kRowPattern, kRowStart, page, limits, [&](const RegexHelper& helper, int i) {
        ProxyEntry row;
        row.cells[kColAddress] = helper.SubMatchText(i, 1);
        row.cells[kColPort] = helper.SubMatchText(i, 2);
        row.cells[kColType] = helper.SubMatchText(i, 3);
        row.cells[kColSpeed] = SpeedSeconds(helper.SubMatchText(i, 6));
        row.cells[kColLocation] = helper.SubMatchText(i, 4);
        row.cells[kColSurvival] = helper.SubMatchText(i, 7);
        rows.push_back(std::move(row));
      });
  if (complete != nullptr) *complete = whole;
  return rows;
}

std::string SpeedSeconds(std::string_view cell) {
  std::string speed = RegexReplaceAll(cell, "秒", "");
  speed = RegexReplaceAll(speed, "毫", "");
  speed = RegexReplaceAll(speed, "钟", "");
  return text::FormatReal(text::AtoF(speed) / 1000);
}

std::string CategoryCountCaption(std::string_view entry_text) {
  std::string count;
  const std::size_t left = text::Find(entry_text, "（");
  if (left != std::string_view::npos) {
    const std::size_t from = left + std::string_view("（").size();
    const std::size_t right = text::Find(entry_text, "）", from);
    if (right != std::string_view::npos) count = entry_text.substr(from, right - from);
  }
  return "当前数据库共有IP： " + count + " 个";
}

int PageCount(std::string_view fetch_count_text) {
  const double pages = text::AtoF(fetch_count_text) / kRowsPerPage;
  // Far beyond any real request; keeps the conversion defined for absurd input.
  constexpr double kMostPages = 1000000;
  if (!(pages > 0)) return 1;
  if (pages >= kMostPages) return static_cast<int>(kMostPages) + 1;
  return static_cast<int>(pages) + 1;
}

bool CountReached(int list_count, std::string_view fetch_count_text) {
  return list_count - text::AtoF(fetch_count_text) >= -0.0000001;
}

}  // namespace lumvex::source_a
