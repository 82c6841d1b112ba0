#include "http/curl_global.h"

#include <curl/curl.h>

#include <mutex>

namespace lumvex::http {

void EnsureCurlGlobalInit() {
  // curl_global_init is not thread-safe; everything that creates a handle passes through here.
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace lumvex::http
