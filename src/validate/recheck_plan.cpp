#include "validate/recheck_plan.h"

#include <string_view>
#include <unordered_set>
#include <utility>

namespace lumvex {

std::vector<std::string> RecheckPlan::Due(const std::vector<RecheckRow>& rows,
                                          Clock::time_point now, std::size_t room) {
  std::vector<std::string> working;
  std::vector<std::string> others;
  std::unordered_set<std::string_view> seen;
  seen.reserve(rows.size());
  for (const RecheckRow& row : rows) {
    if (!seen.insert(row.address).second) continue;
    const auto mark = marks_.find(row.address);
    const bool ok = row.status == CheckStatus::kOk;
    if (mark != marks_.end()) {
      if (mark->second.under_way) continue;
      const auto every = ok ? timing_.working : timing_.failed;
      if (mark->second.checked && now - mark->second.ended < every) continue;
    }
    (ok ? working : others).push_back(row.address);
  }
  // Rows gone from the list are not kept (a row under way is, until its end is told).
  for (auto it = marks_.begin(); it != marks_.end();) {
    if (!it->second.under_way && !seen.contains(it->first)) {
      it = marks_.erase(it);
    } else {
      ++it;
    }
  }
  std::vector<std::string> due;
  for (std::vector<std::string>* group : {&working, &others}) {
    for (std::string& address : *group) {
      if (due.size() >= room) return due;
      due.push_back(std::move(address));
    }
  }
  return due;
}

void RecheckPlan::Started(const std::string& address) {
  Mark& mark = marks_[address];
  if (mark.under_way) return;
  mark.under_way = true;
  ++under_way_;
}

void RecheckPlan::Finished(const std::string& address, Clock::time_point now) {
  const auto it = marks_.find(address);
  if (it == marks_.end() || !it->second.under_way) return;
  it->second.under_way = false;
  it->second.checked = true;
  it->second.ended = now;
  --under_way_;
}

void RecheckPlan::CheckedElsewhere(const std::string& address, Clock::time_point now) {
  Mark& mark = marks_[address];
  if (mark.under_way) return;
  mark.checked = true;
  mark.ended = now;
}

}  // namespace lumvex
