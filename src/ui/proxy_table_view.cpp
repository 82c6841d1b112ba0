#include "ui/proxy_table_view.h"

#include <QHeaderView>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <algorithm>
#include <vector>

#include "ui/proxy_sort_model.h"
#include "ui/proxy_table_model.h"

namespace lumvex {

ProxyTableView::ProxyTableView(QWidget* parent) : QTableView(parent) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setContextMenuPolicy(Qt::CustomContextMenu);
  setShowGrid(false);
  setWordWrap(false);
  setAlternatingRowColors(false);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  // Every row has the same height and nothing is measured per row, so a list of 100,000 rows
  // scrolls and grows without work proportional to its length.
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setStretchLastSection(false);
  setMinimumSize(200, 120);
}

void ProxyTableView::SetProxyModel(ProxyTableModel* model) {
  model_ = model;
  sort_ = new ProxySortModel(model, this);
  setModel(sort_);
  for (int c = 0; c < model->columnCount(); ++c) {
    setColumnWidth(c, ProxyTableModel::kColumnWidths[c]);
  }
  // No sort column until the user clicks a header: the list's own order first.
  horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  setSortingEnabled(true);
  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this] { SendMarksToList(); });
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { SendMarksToList(); });
  connect(model, &ProxyTableModel::MarksChangedByProgram, this, [this] { TakeMarksFromList(); });
  // Qt moves the cursor by its own rule when rows go away; once the list has moved its marks
  // (right after the change), show the list's.
  connect(
      model, &QAbstractItemModel::rowsRemoved, this, [this] { TakeMarksFromList(); },
      Qt::QueuedConnection);
  connect(
      model, &QAbstractItemModel::modelReset, this, [this] { TakeMarksFromList(); },
      Qt::QueuedConnection);
  TakeMarksFromList();
}

void ProxyTableView::SendMarksToList() {
  // While rows come or go the list moves its own marks; Qt's adjustment of the selection model
  // during that change must not be sent back (it would shift them twice).
  if (applying_list_marks_ || !model_ || model_->InListChange()) return;
  ProxyList& list = model_->list();
  const QModelIndex current = selectionModel()->currentIndex();
  list.SetCurrentRow(ListRow(current));
  std::vector<int> rows;
  const QModelIndexList selected = selectionModel()->selectedRows();
  rows.reserve(static_cast<std::size_t>(selected.size()));
  for (const QModelIndex& index : selected) rows.push_back(ListRow(index));
  std::sort(rows.begin(), rows.end());
  list.SetSelectedRows(std::move(rows));
}

int ProxyTableView::ListRow(const QModelIndex& view_index) const {
  if (!view_index.isValid() || !sort_) return -1;
  return sort_->mapToSource(view_index).row();
}

QModelIndex ProxyTableView::ViewIndex(int list_row, int column) const {
  if (!sort_) return {};
  return sort_->mapFromSource(model_->index(list_row, column));
}

std::vector<int> ProxyTableView::ShownListRows() const {
  std::vector<int> rows;
  if (!sort_) return rows;
  const int count = sort_->rowCount();
  rows.reserve(static_cast<std::size_t>(count));
  for (int shown = 0; shown < count; ++shown) rows.push_back(ListRow(sort_->index(shown, 0)));
  return rows;
}

void ProxyTableView::TakeMarksFromList() {
  if (!model_) return;
  ProxyList& list = model_->list();
  applying_list_marks_ = true;
  QItemSelection selection;
  const int last_column = sort_->columnCount() - 1;
  // The selected list rows as view rows, in the view's order.
  std::vector<int> rows;
  for (const int list_row : list.SelectedRows()) {
    const QModelIndex shown = ViewIndex(list_row);
    if (shown.isValid()) rows.push_back(shown.row());
  }
  std::sort(rows.begin(), rows.end());
  // Consecutive rows become one range, so selecting many rows stays cheap.
  for (std::size_t i = 0; i < rows.size();) {
    std::size_t j = i;
    while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1) ++j;
    selection.select(sort_->index(rows[i], 0), sort_->index(rows[j], last_column));
    i = j + 1;
  }
  selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  const QModelIndex current = ViewIndex(list.CurrentRow());
  if (current.isValid()) {
    selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
  } else {
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  }
  applying_list_marks_ = false;
}

}  // namespace lumvex
