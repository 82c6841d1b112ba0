#include "validate/proxy_check.h"

#include <random>

namespace lumvex {

std::string ValidationUrl(const CheckTarget& target, int salt) {
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

bool ProxyRelayed(const http::FetchResult& result) {
  if (result.timed_out) return false;
  return !result.body.empty() && result.body.front() != '\0';
}

}  // namespace lumvex
