// The fixed parts of a proxy check: verdict texts, the validation address, the success rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "http/fetch_request.h"

namespace lumvex {

// Texts of the verdict column while a check runs and after it.
inline constexpr std::string_view kVerdictPoolChecking = "正在验证...";
inline constexpr std::string_view kVerdictMenuChecking = "正在验证";
inline constexpr std::string_view kVerdictSuccess = "成功";
inline constexpr std::string_view kVerdictFailure = "失败";

// A failed pool check is drawn in pure red (0x00BBGGRR) on the list's own background.
inline constexpr std::uint32_t kFailureTextColour = 255;

// A check reads at most this much of a reply: it needs only to see that one came.
inline constexpr std::size_t kCheckBodyBytes = 4096;

// The "s" value of the validation address is drawn from this range for every check.
inline constexpr int kSaltMin = 100;
inline constexpr int kSaltMax = 9999999;

// Where checks are sent and how long each may take.
struct CheckTarget {
  std::string validation_host;     // host[:port]
  std::string validation_account;  // nine digits
  std::string validation_token;    // four digits
  std::string connectivity_host;   // host[:port], fetched by the menu check
  double timeout_s = 60;           // the check deadline
};

// "http://" + host + "/fcg-bin/cgi_emotion_list.fcg?uin=" + account + "&loginUin=0&s=" + salt +
// "&num=3&noflower=1&g_tk=" + token.
std::string ValidationUrl(const CheckTarget& target, int salt);

// A fresh value in [kSaltMin, kSaltMax]; safe to call from any thread.
int DrawSalt();

// The proxy relayed the request: the reply, up to its first zero byte, is not empty and arrived
// before the deadline.
bool ProxyRelayed(const http::FetchResult& result);

}  // namespace lumvex
