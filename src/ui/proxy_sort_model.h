// The order the main list is shown in: the list's own order, or sorted by one column when the
// user clicks its header. The view reads rows through it; ProxyTableView maps between its rows
// and the list's.
#pragma once

#include <QSortFilterProxyModel>

namespace lumvex {

class CompactRow;
class ProxyTableModel;

class ProxySortModel : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit ProxySortModel(ProxyTableModel* source, QObject* parent = nullptr);

  // <0, 0 or >0 as row `a` sorts before, with or after row `b` by `column`: numbers as numbers
  // (the port, 速度(秒) and 实测(秒)), IPv4 addresses by their value, 匿名度 from 高匿 to 透明,
  // 成功率 from the highest rate and 最近成功 from the latest (by the history's values, not the
  // texts), other text by its bytes; cells that hold no number (or no IPv4 address, no anonymity,
  // no history) come after those that do.
  int CompareRows(const CompactRow& a, const CompactRow& b, int column) const;

 protected:
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  ProxyTableModel* source_;
};

}  // namespace lumvex
