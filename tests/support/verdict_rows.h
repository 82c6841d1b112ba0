// Rows that start out with a verdict, written as the list shows it ("成功", "失败", "正在验证...",
// "正在验证"): the text becomes the row's check state, as loading the list file makes it. Any other
// type text stays a source's type.
#pragma once

#include "proxylist/check_state.h"
#include "proxylist/proxy_entry.h"

namespace lumvex {

inline ProxyEntry WithVerdict(ProxyEntry row) {
  for (const CheckStatus status : {CheckStatus::kRunningPool, CheckStatus::kRunningMenu,
                                   CheckStatus::kOk, CheckStatus::kFailed}) {
    if (row.cells[kColType] == CheckStatusText(status)) row.check.status = status;
  }
  return row;
}

}  // namespace lumvex
