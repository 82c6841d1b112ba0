#include "ui/proxy_table_model.h"

#include <QDateTime>
#include <QString>
#include <array>
#include <cmath>

namespace lumvex {

namespace {

const std::array<const char*, ProxyTableModel::kViewColumnCount> kHeaders = {
    "IP地址", "IP端口", "类型", "速度(秒)", "地理位置", "存活时间", "实测(秒)", "匿名度",
    "成功率", "最近成功"};

// The seconds columns and the view's own are centred, the others start at the left.
Qt::Alignment ColumnAlignment(int column) {
  const bool centred = column == kColSpeed || column >= ProxyTableModel::kColMeasured;
  return (centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter;
}

}  // namespace

ProxyTableModel::ProxyTableModel(ProxyList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {
  shown_rows_ = static_cast<int>(list_.RowsOnUiThread().size());
  flush_timer_.setSingleShot(true);
  flush_timer_.setInterval(kAppendBatchMs);
  connect(&flush_timer_, &QTimer::timeout, this, [this] { FlushPendingRows(); });
  health_timer_.setSingleShot(true);
  health_timer_.setInterval(kHealthRefreshMs);
  connect(&health_timer_, &QTimer::timeout, this, [this] {
    if (shown_rows_ > 0) {
      emit dataChanged(index(0, kColSuccessRate), index(shown_rows_ - 1, kColLastSuccess),
                       {Qt::DisplayRole});
    }
  });
  list_.AddObserver(this);
}

ProxyTableModel::~ProxyTableModel() { list_.RemoveObserver(this); }

int ProxyTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shown_rows_;
}

int ProxyTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kViewColumnCount;
}

std::optional<double> ProxyTableModel::MeasuredSeconds(const CompactRow& row) {
  if (row.Status() != CheckStatus::kOk) return std::nullopt;
  const double seconds = row.Check().seconds;
  if (seconds <= 0) return std::nullopt;
  return seconds;
}

Anonymity ProxyTableModel::AnonymityOf(const CompactRow& row) {
  return row.Status() == CheckStatus::kOk ? row.Check().anonymity : Anonymity::kUnknown;
}

std::string ProxyTableModel::VerdictReason(const CompactRow& row) {
  const CheckState check = row.Check();
  return CheckReasonText(check.reason, check.http_status);
}

void ProxyTableModel::SetHealthSource(const HealthSource* source) {
  health_ = source;
  HealthChanged();
}

void ProxyTableModel::HealthChanged() {
  if (!health_timer_.isActive()) health_timer_.start();
}

std::optional<ProxyHealth> ProxyTableModel::HealthOfRow(const CompactRow& row) const {
  if (health_ == nullptr) return std::nullopt;
  // One buffer for every look-up: a sort by these columns asks for many.
  thread_local std::string address;
  address.assign(row.Cell(kColAddress));
  address += ':';
  address += row.Cell(kColPort);
  return health_->HealthOf(address);
}

QColor ProxyTableModel::TextColour(const CompactRow& row, int column) {
  // A failed verdict is drawn in pure red on the list's own background; the red stays while a
  // new check of the row runs, until its verdict (the row's mark, not its status).
  if (column == kColType && row.Mark() == CheckMark::kFailed) return QColor(255, 0, 0);
  return {};
}

QVariant ProxyTableModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
    return {};
  const int row = index.row();
  const int column = index.column();
  // Between the announcement of an inserted row and its arrival in the list.
  if (static_cast<std::size_t>(row) >= list_.RowsOnUiThread().size()) return {};
  const CompactRow& entry = list_.RowsOnUiThread()[static_cast<std::size_t>(row)];
  switch (role) {
    case Qt::ToolTipRole:
      // The verdict cell tells why the check ended so.
      if (column == kColType) {
        if (const std::string reason = VerdictReason(entry); !reason.empty()) {
          return QString::fromStdString(reason);
        }
      }
      [[fallthrough]];
    case Qt::DisplayRole: {
      if (column == kColMeasured) {
        const std::optional<double> seconds = MeasuredSeconds(entry);
        if (!seconds) return {};
        return QString::number(*seconds, 'f', 3);
      }
      if (column == kColAnonymity) {
        const std::string_view level = AnonymityText(AnonymityOf(entry));
        if (level.empty()) return {};
        return QString::fromUtf8(level.data(), static_cast<qsizetype>(level.size()));
      }
      if (column == kColSuccessRate || column == kColLastSuccess) {
        const std::optional<ProxyHealth> health = HealthOfRow(entry);
        if (!health || health->checks == 0) return {};
        if (column == kColSuccessRate) {
          return QString::number(std::lround(100 * health->SuccessRate())) + QLatin1Char('%');
        }
        if (health->last_success <= 0) return {};
        return QDateTime::fromSecsSinceEpoch(health->last_success)
            .toLocalTime()
            .toString(QStringLiteral("MM-dd hh:mm"));
      }
      // The type column shows the check state's text once a check has started.
      const std::string_view cell = CellText(entry, column);
      return QString::fromUtf8(cell.data(), static_cast<qsizetype>(cell.size()));
    }
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(ColumnAlignment(column));
    case Qt::ForegroundRole: {
      const QColor colour = TextColour(entry, column);
      if (!colour.isValid()) return {};
      return colour;
    }
    default:
      return {};
  }
}

QVariant ProxyTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kViewColumnCount) return {};
  if (role == Qt::DisplayRole) return QString::fromUtf8(kHeaders[static_cast<size_t>(section)]);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(ColumnAlignment(section));
  // The first click on a header sorts upwards, the next reverses.
  if (role == Qt::InitialSortOrderRole) return static_cast<int>(Qt::AscendingOrder);
  return {};
}

void ProxyTableModel::FlushPendingRows() {
  flush_timer_.stop();
  if (pending_rows_ == 0) return;
  const bool nested = in_list_change_;
  in_list_change_ = true;
  beginInsertRows(QModelIndex(), shown_rows_, shown_rows_ + pending_rows_ - 1);
  shown_rows_ += pending_rows_;
  pending_rows_ = 0;
  endInsertRows();
  in_list_change_ = nested;
}

void ProxyTableModel::BeginInsertRows(int first, int last) {
  if (first == last && first == shown_rows_ + pending_rows_) {
    // One appended row (a worker's row-by-row append): held back for the next batch. Many rows
    // at once (loading a file) are announced as they come.
    holding_append_ = true;
    pending_rows_ += last - first + 1;
    return;
  }
  FlushPendingRows();
  in_list_change_ = true;
  beginInsertRows(QModelIndex(), first, last);
  shown_rows_ += last - first + 1;
}
void ProxyTableModel::EndInsertRows() {
  if (holding_append_) {
    holding_append_ = false;
    if (!flush_timer_.isActive()) flush_timer_.start();
    return;
  }
  endInsertRows();
  in_list_change_ = false;
}
void ProxyTableModel::BeginRemoveRows(int first, int last) {
  FlushPendingRows();
  in_list_change_ = true;
  beginRemoveRows(QModelIndex(), first, last);
  shown_rows_ -= last - first + 1;
}
void ProxyTableModel::EndRemoveRows() {
  endRemoveRows();
  in_list_change_ = false;
}
void ProxyTableModel::BeginReset() {
  flush_timer_.stop();
  in_list_change_ = true;
  beginResetModel();
}
void ProxyTableModel::EndReset() {
  // The view forgets every row, so rows still held back are simply part of the new set.
  pending_rows_ = 0;
  shown_rows_ = static_cast<int>(list_.RowsOnUiThread().size());
  endResetModel();
  in_list_change_ = false;
}

void ProxyTableModel::CellChanged(int row, int column) {
  if (row >= shown_rows_) return;  // the view reads it when the row is announced
  const QModelIndex cell = index(row, column);
  // A new check state shows in the type column, the measured seconds and the anonymity: one
  // change covering them, so a view sorted by either re-sorts the row.
  const QModelIndex last = column == kColType ? index(row, kColAnonymity) : cell;
  // A cell's text and its colour change together (a verdict and its red).
  emit dataChanged(cell, last, {Qt::DisplayRole, Qt::ToolTipRole, Qt::ForegroundRole});
}

void ProxyTableModel::CurrentOrSelectionChanged() { emit MarksChangedByProgram(); }

}  // namespace lumvex
