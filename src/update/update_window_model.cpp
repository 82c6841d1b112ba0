#include "update/update_window_model.h"

namespace lumvex::update {

void UpdateWindowModel::Change(const std::function<void(UpdateWindowView&)>& change) {
  UpdateWindowView next = view_;
  change(next);
  if (next == view_) return;
  view_ = std::move(next);
  // A copy: an observer may add or remove one while it runs.
  const auto observers = observers_;
  for (const auto& [id, observer] : observers) observer();
}

int UpdateWindowModel::AddObserver(std::function<void()> observer) {
  observers_.emplace_back(next_id_, std::move(observer));
  return next_id_++;
}

void UpdateWindowModel::RemoveObserver(int id) {
  std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

void UpdateWindowModel::Reset(bool open) {
  Change([open](UpdateWindowView& view) {
    view = UpdateWindowView{};
    view.open = open;
  });
}

}  // namespace lumvex::update
