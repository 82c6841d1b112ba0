#include "ui/proxy_table_view.h"

#include <QHeaderView>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <string_view>
#include <vector>

#include "net/proxy_scheme.h"
#include "proxylist/check_state.h"
#include "settings/window_layout.h"
#include "ui/proxy_sort_model.h"
#include "ui/proxy_table_model.h"
#include "ui/qt_text.h"

namespace lumvex {
namespace {

// The longest text each column is meant to show whole; the location column (empty here) takes
// the rest of the width, and the header's own text counts for every column.
std::vector<std::string_view> ExpectedTexts(int column) {
  switch (column) {
    case kColAddress:
      return {"255.255.255.255"};
    case kColPort:
      return {"65535"};
    case kColType:
      // The sources' type words, the scheme a SOCKS row shows and the check's verdicts.
      return {"HTTPS",
              SchemeTypeText(ProxyScheme::kSocks4),
              SchemeTypeText(ProxyScheme::kSocks5),
              CheckStatusText(CheckStatus::kRunningPool),
              CheckStatusText(CheckStatus::kOk),
              CheckStatusText(CheckStatus::kFailed)};
    case kColSpeed:
      return {"0.000"};
    case ProxyTableModel::kColMeasured:
      return {"00.000"};
    case ProxyTableModel::kColAnonymity:
      return {AnonymityText(Anonymity::kElite), AnonymityText(Anonymity::kTransparent)};
    case ProxyTableModel::kColSuccessRate:
      return {"100%"};
    case ProxyTableModel::kColLastSuccess:
      return {"12-31 23:59"};
    default:
      return {};
  }
}

}  // namespace

ProxyTableView::ProxyTableView(QWidget* parent) : QTableView(parent) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setContextMenuPolicy(Qt::CustomContextMenu);
  setShowGrid(false);
  setWordWrap(false);
  // A text wider than its column (a long location) ends in "…"; its tooltip shows it whole.
  setTextElideMode(Qt::ElideRight);
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
  FitDefaultColumnWidths();
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

std::vector<int> ProxyTableView::ColumnWidths() const {
  std::vector<int> widths;
  const QHeaderView* header = horizontalHeader();
  for (int c = 0; c < header->count(); ++c) widths.push_back(header->sectionSize(c));
  constexpr auto kEarlier = static_cast<std::size_t>(ProxyTableModel::kColSuccessRate);
  if (!history_defaults_.empty() && widths.size() == kEarlier + history_defaults_.size() &&
      std::equal(history_defaults_.begin(), history_defaults_.end(), widths.begin() + kEarlier)) {
    widths.resize(kEarlier);
  }
  return widths;
}

bool ProxyTableView::RestoreColumnWidths(const std::vector<int>& widths) {
  if (!sort_) return false;
  const int count = static_cast<int>(widths.size());
  const bool earlier = count == ProxyTableModel::kColSuccessRate;
  if (count != sort_->columnCount() && !earlier) return false;
  for (const int width : widths) {
    if (width < 1 || width > kMostColumnWidth) return false;
  }
  history_defaults_.clear();
  if (earlier) {
    FitDefaultColumnWidths();
    for (int c = count; c < sort_->columnCount(); ++c) history_defaults_.push_back(columnWidth(c));
  }
  for (int c = 0; c < count; ++c) setColumnWidth(c, widths[static_cast<size_t>(c)]);
  defaults_pending_ = false;
  return true;
}

void ProxyTableView::FitDefaultColumnWidths() {
  if (!sort_) return;
  const QFontMetrics cell_font = fontMetrics();
  const QFontMetrics header_font = horizontalHeader()->fontMetrics();
  // The padding the style puts around a cell's text and a header's text.
  const int cell_pad =
      2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 4;
  const int header_pad = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this) + 4;
  std::vector<int> widths;
  int others = 0;
  for (int c = 0; c < sort_->columnCount(); ++c) {
    const QString title = sort_->headerData(c, Qt::Horizontal).toString();
    int width = header_font.horizontalAdvance(title) + header_pad;
    for (const std::string_view text : ExpectedTexts(c)) {
      width = std::max(width, cell_font.horizontalAdvance(Q(text)) + cell_pad);
    }
    widths.push_back(width);
    // The history columns stand beyond the view's width: the others fill it as they always did.
    if (c != kColLocation && c < ProxyTableModel::kColSuccessRate) others += width;
  }
  // The width inside the frame, less a vertical scroll bar: a list long enough to scroll keeps
  // every column in view too.
  const int inside = width() - 2 * frameWidth() -
                     style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar());
  int& location = widths[static_cast<size_t>(kColLocation)];
  location = std::max(location, inside - others);
  for (int c = 0; c < sort_->columnCount(); ++c) setColumnWidth(c, widths[static_cast<size_t>(c)]);
}

void ProxyTableView::showEvent(QShowEvent* event) {
  QTableView::showEvent(event);
  if (!defaults_pending_) return;
  defaults_pending_ = false;
  FitDefaultColumnWidths();
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
