#include "proxylist/check_reason.h"

#include <array>
#include <utility>

namespace lumvex {
namespace {

constexpr std::array<std::pair<CheckReason, std::string_view>, kCheckReasonCount> kReasonTexts = {{
    {CheckReason::kNone, ""},
    {CheckReason::kRefused, "refused"},
    {CheckReason::kTimeoutConnecting, "timeout connecting"},
    {CheckReason::kTimeoutWaiting, "timeout waiting"},
    {CheckReason::kNameNotFound, "name not found"},
    {CheckReason::kHandshakeFailed, "handshake failed"},
    {CheckReason::kProxySaid, "proxy said"},
    {CheckReason::kCutReply, "cut reply"},
    {CheckReason::kRedirect, "redirect"},
    {CheckReason::kContentMissing, "content missing"},
    {CheckReason::kJudgeBusy, "judge busy"},
    {CheckReason::kJudgeUnreadable, "judge reply unreadable"},
}};

}  // namespace

std::string CheckReasonText(CheckReason reason, int http_status) {
  for (const auto& [r, text] : kReasonTexts) {
    if (r != reason) continue;
    if (reason == CheckReason::kProxySaid) {
      return std::string(text) + ' ' + std::to_string(http_status);
    }
    return std::string(text);
  }
  return {};
}

std::optional<CheckReason> CheckReasonOf(int number) {
  if (number < 0 || number >= kCheckReasonCount) return std::nullopt;
  return kReasonTexts[static_cast<std::size_t>(number)].first;
}

}  // namespace lumvex
