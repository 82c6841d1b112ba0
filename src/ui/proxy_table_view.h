// The main list's view: six fixed-width columns, uniform rows, multi-selection, and the current
// row and selection kept equal to ProxyList's.
#pragma once

#include <QTableView>

namespace lumvex {

class ProxyTableModel;

class ProxyTableView : public QTableView {
  Q_OBJECT

 public:
  explicit ProxyTableView(QWidget* parent = nullptr);

  // Binds the view to the model and to the model's ProxyList (current row and selection).
  void SetProxyModel(ProxyTableModel* model);

 private:
  // The user moved the cursor or changed the selection: tell the list.
  void SendMarksToList();
  // The program changed the list's current row or selection: show it.
  void TakeMarksFromList();

  ProxyTableModel* model_ = nullptr;
  bool applying_list_marks_ = false;
};

}  // namespace lumvex
