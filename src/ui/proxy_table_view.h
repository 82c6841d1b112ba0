// The main list's view: seven fixed-width columns, uniform rows, multi-selection, sorting by a
// clicked header, and the current row and selection kept equal to ProxyList's.
//
// The view shows the rows through a ProxySortModel, so its rows are not the list's while sorted.
// ListRow and ViewIndex are the one place that maps between the two: the marks the view hands to
// the list (and through them every row operation of the core) are list rows.
#pragma once

#include <QTableView>
#include <vector>

namespace lumvex {

class ProxySortModel;
class ProxyTableModel;

class ProxyTableView : public QTableView {
  Q_OBJECT

 public:
  explicit ProxyTableView(QWidget* parent = nullptr);

  // Binds the view to the model, shown in the list's order until a header is clicked, and to the
  // model's ProxyList (current row and selection).
  void SetProxyModel(ProxyTableModel* model);

  ProxySortModel* sort_model() const { return sort_; }
  // The list row a view index shows; -1 for an invalid index.
  int ListRow(const QModelIndex& view_index) const;
  // The view's index of the list row's cell in `column`; invalid for a row not shown.
  QModelIndex ViewIndex(int list_row, int column = 0) const;
  // The list rows in the order shown, top first (the switch's and the guard's "next row").
  std::vector<int> ShownListRows() const;

 private:
  // The user moved the cursor or changed the selection: tell the list.
  void SendMarksToList();
  // The program changed the list's current row or selection: show it.
  void TakeMarksFromList();

  ProxyTableModel* model_ = nullptr;
  ProxySortModel* sort_ = nullptr;
  bool applying_list_marks_ = false;
};

}  // namespace lumvex
