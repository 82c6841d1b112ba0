// Why a check ended as it did: the one table of outcome reasons, shown by `lumvexip check`
// ("reason" in JSON, the last column with --reasons) and as the tooltip of a row's verdict.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumvex {

enum class CheckReason : std::uint8_t {
  kNone,               // a passed check, or none finished yet
  kRefused,            // nothing accepted the connection to the proxy
  kTimeoutConnecting,  // no connection to the proxy before the deadline
  kTimeoutWaiting,     // connected, but no whole reply before the deadline
  kNameNotFound,       // the proxy's host name (or the site's, for SOCKS4) did not resolve
  kHandshakeFailed,    // the proxy refused or never answered its handshake (SOCKS, CONNECT, TLS)
  kProxySaid,          // a reply whose status is a refusal: 1xx, 4xx, 5xx ("proxy said NNN")
  kCutReply,           // the reply ended before its announced end, or nothing came
  kRedirect,           // a redirect that cannot be followed through the proxy, or a loop
  kContentMissing,     // a 2xx without a body, an unreadable reply, or the expected text absent
  kJudgeBusy,          // the judge refused the check itself until the deadline: no verdict
  kJudgeUnreadable,    // the reply that came through was not a judge's echo
};

// The most reasons a row can keep (it stores one in four bits).
inline constexpr int kCheckReasonCount = 12;

// The reason's words: "refused", "timeout connecting", ..., "proxy said 503" (with `http_status`,
// "proxy said" followed by it), "judge busy"; empty for kNone.
std::string CheckReasonText(CheckReason reason, int http_status = 0);

// The reason kept in a small number (a row's bits); nullopt for a number out of the table.
std::optional<CheckReason> CheckReasonOf(int number);

}  // namespace lumvex
