// An observer that checks the notification protocol as a Qt item model needs it and keeps a
// mirror of the row count built only from the notifications.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "platform/ui_thread.h"
#include "proxylist/proxy_list.h"
#include "proxylist/proxy_list_observer.h"

namespace lumvex {

class RecordingObserver : public ProxyListObserver {
 public:
  RecordingObserver(const ProxyList& list, const UiThread& ui, bool keep_log = true)
      : list_(list), ui_(ui), keep_log_(keep_log) {}

  void BeginInsertRows(int first, int last) override {
    Begin("insert " + std::to_string(first) + ".." + std::to_string(last));
    // Inserts name positions within the list as it stands before the change.
    if (first < 0 || first > mirror_rows_ || last < first) Fault();
    if (static_cast<int>(list_.RowsOnUiThread().size()) != mirror_rows_) Fault();
    pending_ = last - first + 1;
  }
  void EndInsertRows() override {
    End("end insert");
    mirror_rows_ += pending_;
    Check();
  }
  void BeginRemoveRows(int first, int last) override {
    Begin("remove " + std::to_string(first) + ".." + std::to_string(last));
    if (first < 0 || last >= mirror_rows_ || last < first) Fault();
    if (static_cast<int>(list_.RowsOnUiThread().size()) != mirror_rows_) Fault();
    pending_ = -(last - first + 1);
  }
  void EndRemoveRows() override {
    End("end remove");
    mirror_rows_ += pending_;
    Check();
  }
  void BeginReset() override { Begin("reset"); }
  void EndReset() override {
    End("end reset");
    mirror_rows_ = static_cast<int>(list_.RowsOnUiThread().size());
  }
  void CellChanged(int row, int column) override {
    Note("cell " + std::to_string(row) + "," + std::to_string(column));
    if (in_change_ || row < 0 || row >= mirror_rows_ || column < 0 || column >= 6) Fault();
  }
  void CurrentOrSelectionChanged() override {
    Note("marks");
    if (in_change_) Fault();
  }

  int faults() const { return faults_.load(); }
  int mirror_rows() const { return mirror_rows_; }
  int changes() const { return changes_; }
  // Only read once the UI thread is idle (after a RunSync).
  const std::vector<std::string>& log() const { return log_; }
  void ClearLog() { log_.clear(); }

 private:
  void Begin(const std::string& what) {
    Note(what);
    if (in_change_) Fault();
    in_change_ = true;
  }
  void End(const std::string& what) {
    Note(what);
    if (!in_change_) Fault();
    in_change_ = false;
    ++changes_;
  }
  void Note(const std::string& what) {
    if (!ui_.IsUiThread()) Fault();
    if (keep_log_) log_.push_back(what);
  }
  void Check() {
    if (static_cast<int>(list_.RowsOnUiThread().size()) != mirror_rows_) Fault();
  }
  void Fault() { faults_.fetch_add(1); }

  const ProxyList& list_;
  const UiThread& ui_;
  bool keep_log_;
  bool in_change_ = false;
  int pending_ = 0;
  int mirror_rows_ = 0;
  int changes_ = 0;
  std::atomic<int> faults_{0};
  std::vector<std::string> log_;
};

}  // namespace lumvex
