// The table of a validation run: one proxy address ("address:port") per row of the list as it
// stood when the run started, numbered from 1 as the check queue's task numbers are.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace lumvex {

class ValidationTaskTable {
 public:
  using Records = std::vector<std::string>;

  ValidationTaskTable() = default;
  ValidationTaskTable(const ValidationTaskTable&) = delete;
  ValidationTaskTable& operator=(const ValidationTaskTable&) = delete;

  // Replaces the table. A check of an earlier run that holds the old table (Current) keeps it
  // alive until that check ends.
  void Rebuild(Records records);
  // The table as it is now (null before the first run); hold it for the whole check.
  std::shared_ptr<const Records> Current() const;
  // Address of record `number` (1-based) of `table`; null when the table has no such record.
  static const std::string* Record(const Records* table, std::int32_t number);

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const Records> current_;
};

}  // namespace lumvex
