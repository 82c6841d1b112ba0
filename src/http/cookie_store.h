// The process-wide cookie jar shared by the page fetch, the raw request and the simple GET.
#pragma once

#include <curl/curl.h>

#include <array>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace lumvex::http {

// One curl share object holding cookies. Create it in main (or a test) and pass it to the
// clients; it must outlive every transfer it is attached to.
class CookieStore {
 public:
  CookieStore();
  ~CookieStore();
  CookieStore(const CookieStore&) = delete;
  CookieStore& operator=(const CookieStore&) = delete;

  // Lets `easy` send the stored cookies and keep those its responses set.
  void Attach(CURL* easy) const;

  // Stores the cookie `name` for `host`. `data` is the value followed by its attributes, as a
  // Set-Cookie line carries them ("1; path=/x; expires=...").
  void Set(std::string_view host, std::string_view name, std::string_view data);

  // The stored cookies, one line each in the Netscape cookie-file layout (tab-separated:
  // domain, subdomains flag, path, secure flag, expiry, name, value).
  std::vector<std::string> List() const;

  void Clear();

 private:
  static void Lock(CURL* handle, curl_lock_data data, curl_lock_access access, void* user);
  static void Unlock(CURL* handle, curl_lock_data data, void* user);

  CURLSH* share_ = nullptr;
  mutable std::array<std::mutex, CURL_LOCK_DATA_LAST> locks_;
};

}  // namespace lumvex::http
