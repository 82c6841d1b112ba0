// The main list's view: eight columns sized to their texts (or as a user left them), uniform rows,
// multi-selection, sorting by a clicked header, and the current row and selection kept equal to
// ProxyList's.
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

  // The columns' widths, in column order. After a layout of the columns before the history ones
  // was restored, and while those two keep their default widths, only the earlier columns' (so
  // the layout stays one that version reads, which takes another column count as none).
  std::vector<int> ColumnWidths() const;
  // Takes widths kept from an earlier run when there is one per column, each from 1 to
  // kMostColumnWidth; the defaults are then not fitted. Widths of the columns before the history
  // ones (a layout kept by an earlier version) are taken as well, the history columns getting
  // their default widths. False when they were not taken.
  bool RestoreColumnWidths(const std::vector<int>& widths);
  // Every column as wide as its header and the longest text it is meant to show whole (the type
  // column: its longest word); the location column takes what remains of the view's width, so
  // all columns up to 匿名度 show without scrolling, and its longer texts are elided. The two
  // history columns follow, a sideways scroll away.
  void FitDefaultColumnWidths();

 protected:
  // The first show fits the defaults to the width the window's layout gave the view.
  void showEvent(QShowEvent* event) override;

 private:
  // The user moved the cursor or changed the selection: tell the list.
  void SendMarksToList();
  // The program changed the list's current row or selection: show it.
  void TakeMarksFromList();

  ProxyTableModel* model_ = nullptr;
  ProxySortModel* sort_ = nullptr;
  bool applying_list_marks_ = false;
  // Until widths are restored or fitted at the first show.
  bool defaults_pending_ = true;
  // The default widths of the history columns, when a layout without them was restored.
  std::vector<int> history_defaults_;
};

}  // namespace lumvex
