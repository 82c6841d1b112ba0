// The main list's item model: a view of ProxyList's rows, whose texts and colours it derives from
// the rows' check states and marks, and four columns of the view's own: the measured seconds of
// the row's successful check, the anonymity a judge found, and from the check history the
// proxy's success rate and last success.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QTimer>
#include <optional>
#include <string>

#include "history/proxy_health.h"
#include "proxylist/proxy_list.h"
#include "proxylist/proxy_list_observer.h"

namespace lumvex {

// Lives on the GUI thread. ProxyList tells it of every change on that thread (worker threads'
// changes arrive there through the UiThread), so rowCount() and data() read the rows directly.
//
// Rows appended one at a time at the end are announced to the view in batches, at most
// kAppendBatchMs after they arrived: a worker appending row after row would otherwise make the view
// lay out and paint itself once per row, which limits appends to a few hundred rows a second. Every
// other change first announces the waiting rows, so the view never sees the rows out of order.
class ProxyTableModel : public QAbstractTableModel, private ProxyListObserver {
  Q_OBJECT

 public:
  // "实测(秒)": shown only; the list file, export and copy keep the list's six columns.
  static constexpr int kColMeasured = kProxyColumnCount;
  // "匿名度": 透明, 匿名 or 高匿 after a run with a judge; shown only, like the seconds.
  static constexpr int kColAnonymity = kProxyColumnCount + 1;
  // "成功率" ("87%") and "最近成功" (local "MM-dd hh:mm"): the proxy's check history, shown
  // only; empty without a history or a success.
  static constexpr int kColSuccessRate = kProxyColumnCount + 2;
  static constexpr int kColLastSuccess = kProxyColumnCount + 3;
  static constexpr int kViewColumnCount = kProxyColumnCount + 4;
  static constexpr int kAppendBatchMs = 25;
  // The history columns are repainted at most this often, however many records arrive.
  static constexpr int kHealthRefreshMs = 300;

  // `list` must outlive the model.
  explicit ProxyTableModel(ProxyList& list, QObject* parent = nullptr);
  ~ProxyTableModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // The seconds the row's check took when it passed; nullopt for a row with no passed check in
  // this session (a loaded verdict carries no time).
  static std::optional<double> MeasuredSeconds(const CompactRow& row);
  // The anonymity of the row's passed check; kUnknown when it has none.
  static Anonymity AnonymityOf(const CompactRow& row);
  // Why the row's last check ended so ("timeout waiting", "proxy said 403", "judge busy"), the
  // tooltip of its verdict cell; empty when there is no reason (a pass, a loaded verdict).
  static std::string VerdictReason(const CompactRow& row);

  // The history the two history columns read; null (the default): they stay empty. `source`
  // must outlive the model.
  void SetHealthSource(const HealthSource* source);
  // Records were written: the history columns are repainted (and re-sorted) once within
  // kHealthRefreshMs, however often this is called.
  void HealthChanged();
  // The health of the row's proxy; nullopt without a source or a history.
  std::optional<ProxyHealth> HealthOfRow(const CompactRow& row) const;

  // The text colour of the row's cell in `column`; invalid for the view's own colour.
  static QColor TextColour(const CompactRow& row, int column);

  ProxyList& list() { return list_; }
  // Announces rows appended since the last batch now (rowCount() then equals the list's count).
  void FlushPendingRows();
  int PendingRowCount() const { return pending_rows_; }
  // True between the start and the end of a change of rows (the view's selection model adjusts
  // itself then).
  bool InListChange() const { return in_list_change_; }

 signals:
  // The list's current row or selection was changed by the program, not by the view.
  void MarksChangedByProgram();

 private:
  void BeginInsertRows(int first, int last) override;
  void EndInsertRows() override;
  void BeginRemoveRows(int first, int last) override;
  void EndRemoveRows() override;
  void BeginReset() override;
  void EndReset() override;
  void CellChanged(int row, int column) override;
  void CurrentOrSelectionChanged() override;

  ProxyList& list_;
  bool in_list_change_ = false;
  // Rows the view has been told of, and rows appended after them that it has not.
  int shown_rows_ = 0;
  int pending_rows_ = 0;
  // Set between BeginInsertRows and EndInsertRows of an append that is held back.
  bool holding_append_ = false;
  QTimer flush_timer_;
  const HealthSource* health_ = nullptr;
  QTimer health_timer_;
};

}  // namespace lumvex
