#include "ui/proxy_sort_model.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

#include "proxylist/compact_row.h"
#include "ui/proxy_table_model.h"

namespace lumvex {

namespace {

// The number a cell starts with ("8080", " 1.25"); nullopt for a cell that starts with none.
std::optional<double> LeadingNumber(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  return value;
}

// The value of a dotted IPv4 address, after any scheme ("socks5://1.2.3.4"); nullopt otherwise.
std::optional<std::uint32_t> Ipv4Value(std::string_view text) {
  if (const std::size_t scheme = text.find("://"); scheme != std::string_view::npos) {
    text.remove_prefix(scheme + 3);
  }
  std::uint32_t value = 0;
  const char* at = text.data();
  const char* const end = text.data() + text.size();
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (at == end || *at != '.') return std::nullopt;
      ++at;
    }
    unsigned octet = 0;
    const auto [next, error] = std::from_chars(at, end, octet);
    if (error != std::errc() || next == at || next - at > 3 || octet > 255) return std::nullopt;
    value = (value << 8) | octet;
    at = next;
  }
  if (at != end) return std::nullopt;
  return value;
}

template <typename T>
int CompareKeys(const std::optional<T>& a, const std::optional<T>& b) {
  if (a && b) return *a < *b ? -1 : (*b < *a ? 1 : 0);
  if (a || b) return a ? -1 : 1;
  return 0;
}

}  // namespace

ProxySortModel::ProxySortModel(ProxyTableModel* source, QObject* parent)
    : QSortFilterProxyModel(parent), source_(source) {
  setSourceModel(source);
  // Rows added and verdicts arriving while sorted take their places at once.
  setDynamicSortFilter(true);
}

int ProxySortModel::CompareRows(const CompactRow& a, const CompactRow& b, int column) const {
  if (column == ProxyTableModel::kColMeasured) {
    return CompareKeys(ProxyTableModel::MeasuredSeconds(a), ProxyTableModel::MeasuredSeconds(b));
  }
  if (column == ProxyTableModel::kColSuccessRate || column == ProxyTableModel::kColLastSuccess) {
    // Best first: the highest rate, the latest success; rows without a history last.
    const auto key = [&](const CompactRow& row) -> std::optional<double> {
      const std::optional<ProxyHealth> health = source_->HealthOfRow(row);
      if (!health || health->checks == 0) return std::nullopt;
      if (column == ProxyTableModel::kColSuccessRate) return -health->SuccessRate();
      if (health->last_success <= 0) return std::nullopt;
      return -static_cast<double>(health->last_success);
    };
    return CompareKeys(key(a), key(b));
  }
  if (column == ProxyTableModel::kColAnonymity) {
    // From the most hidden up (高匿, 匿名, 透明), unclassified rows last.
    const auto rank = [](const CompactRow& row) -> std::optional<int> {
      const Anonymity level = ProxyTableModel::AnonymityOf(row);
      if (level == Anonymity::kUnknown) return std::nullopt;
      return -static_cast<int>(level);
    };
    return CompareKeys(rank(a), rank(b));
  }
  const std::string_view text_a = CellText(a, column);
  const std::string_view text_b = CellText(b, column);
  int order = 0;
  if (column == kColAddress) {
    order = CompareKeys(Ipv4Value(text_a), Ipv4Value(text_b));
  } else if (column == kColPort || column == kColSpeed) {
    order = CompareKeys(LeadingNumber(text_a), LeadingNumber(text_b));
  }
  if (order != 0) return order;
  return text_a.compare(text_b);
}

bool ProxySortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  const auto& rows = source_->list().RowsOnUiThread();
  const auto l = static_cast<std::size_t>(left.row());
  const auto r = static_cast<std::size_t>(right.row());
  // A row announced before it arrives in the list sorts by its place.
  if (l >= rows.size() || r >= rows.size()) return l < r;
  const int order = CompareRows(rows[l], rows[r], left.column());
  // Equal cells keep the list's order, so a sort is stable and repeatable.
  return order != 0 ? order < 0 : l < r;
}

}  // namespace lumvex
