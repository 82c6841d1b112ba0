// A validation path with the salt in the middle of its query, as a web service's address has it:
// only a host that serves this path answers 2xx there, and the parts around the salt must arrive
// in order.
#pragma once

#include <string>
#include <string_view>

#include "validate/proxy_check.h"

namespace lumvex::testing {

// `account` (nine digits) and `token` (four digits) are the service's, put in as given.
inline ValidationPath EmotionListPath(std::string_view account = "100000001",
                                      std::string_view token = "5381") {
  ValidationPath path;
  path.before = "/fcg-bin/cgi_emotion_list.fcg?uin=" + std::string(account) + "&loginUin=0&s=";
  path.after = "&num=3&noflower=1&g_tk=" + std::string(token);
  return path;
}

}  // namespace lumvex::testing
