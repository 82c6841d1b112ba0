#include "validate/proxy_check.h"

#include <random>

namespace lumvex {

std::string ValidationUrl(const CheckTarget& target, int salt) {
  if (target.validation_path == ValidationPath::kRootPage) {
    return "http://" + target.validation_host + "/?s=" + std::to_string(salt);
  }
  return "http://" + target.validation_host +
         "/fcg-bin/cgi_emotion_list.fcg?uin=" + target.validation_account +
         "&loginUin=0&s=" + std::to_string(salt) +
         "&num=3&noflower=1&g_tk=" + target.validation_token;
}

int DrawSalt() {
  // One engine per thread: thousands of workers draw at once without sharing a lock.
  thread_local std::mt19937 engine{std::random_device{}()};
  std::uniform_int_distribution<int> range(kSaltMin, kSaltMax);
  return range(engine);
}

http::FetchOptions CheckFetchOptions(const std::string& proxy, double timeout_s,
                                     std::size_t max_body_bytes,
                                     std::optional<CheckProtocol> protocol) {
  http::FetchOptions options;
  options.method = 0;
  options.proxy = proxy;
  options.proxy_only = true;
  options.timeout_s = timeout_s;
  options.body_encoding = http::kBodyAsIs;
  options.max_body_bytes = max_body_bytes;
  if (protocol) ApplyCheckProtocol(options, proxy, *protocol);
  return options;
}

bool ProxyRelayed(const http::FetchResult& result) {
  if (result.timed_out) return false;
  if (result.status >= 300 && result.status <= 399) return true;
  return result.status >= 200 && result.status <= 299 && !result.body.empty();
}

}  // namespace lumvex
