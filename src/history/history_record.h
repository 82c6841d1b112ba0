// One recorded result of a proxy: a check's verdict or a use of it by the gateway.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumvex {

enum class HistoryKind : int {
  kCheck = 0,    // a check's verdict (the window's validation, `lumvexip check`)
  kGateway = 1,  // the gateway sent a connection through the proxy
};

struct HistoryRecord {
  std::int64_t time_ms = 0;  // Unix time in milliseconds
  HistoryKind kind = HistoryKind::kCheck;
  bool ok = false;
  int reason = 0;       // the number of the check's CheckReason; 0 for none
  int http_status = 0;  // of the reply that came through the proxy; 0 when none
  double seconds = 0;   // what the check or the use took

  friend bool operator==(const HistoryRecord&, const HistoryRecord&) = default;
};

// "check" or "gateway".
std::string_view HistoryKindName(HistoryKind kind);

// The current Unix time in milliseconds.
std::int64_t HistoryNowMs();

}  // namespace lumvex
