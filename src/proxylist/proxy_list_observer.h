// Change notifications of ProxyList, delivered on the UI thread in the order of a Qt item model.
#pragma once

namespace lumvex {

class ProxyListObserver {
 public:
  virtual ~ProxyListObserver() = default;
  virtual void BeginInsertRows(int first, int last) = 0;
  virtual void EndInsertRows() = 0;
  virtual void BeginRemoveRows(int first, int last) = 0;
  virtual void EndRemoveRows() = 0;
  virtual void BeginReset() = 0;
  virtual void EndReset() = 0;
  virtual void CellChanged(int row, int column) = 0;
  // The current row or the set of selected rows changed (not by the view's own call).
  virtual void CurrentOrSelectionChanged() = 0;
};

}  // namespace lumvex
