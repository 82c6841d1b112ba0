#include "validate/validation_task_table.h"

#include <utility>

namespace lumvex {

void ValidationTaskTable::Rebuild(Records records) {
  auto fresh = std::make_shared<const Records>(std::move(records));
  std::shared_ptr<const Records> old;
  {
    std::lock_guard lock(mutex_);
    old = std::exchange(current_, std::move(fresh));
  }
  // A large old table is freed here, outside the lock (or later by its last check).
}

std::shared_ptr<const ValidationTaskTable::Records> ValidationTaskTable::Current() const {
  std::lock_guard lock(mutex_);
  return current_;
}

const std::string* ValidationTaskTable::Record(const Records* table, std::int32_t number) {
  if (table == nullptr || number < 1 || static_cast<std::size_t>(number) > table->size()) {
    return nullptr;
  }
  return &(*table)[static_cast<std::size_t>(number) - 1];
}

}  // namespace lumvex
