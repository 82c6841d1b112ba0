// The process-wide cookie jar shared by the page fetch, the raw request and the simple GET.
#pragma once

#include <curl/curl.h>

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace lumvex::http {

// One curl share object holding cookies. Create it in main (or a test) and pass it to the
// clients; it must outlive every transfer it is attached to.
//
// The jar is bounded (http_limits.h): a cookie longer than kMaxCookieBytes is dropped, and past a
// host's or the whole jar's count or bytes the oldest cookies go first. The bounds are enforced
// before every transfer is attached, on every listing and after every few Set calls, so the jar
// exceeds them at most by what the transfers in flight set.
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
  // The jar's lines without those that expired already.
  std::vector<std::string> LiveLines() const;
  // Expires what the bounds do not allow, oldest first. Const because the jar lives behind
  // share_; the arrival order is bookkeeping.
  void EnforceBounds() const;

  CURLSH* share_ = nullptr;
  mutable std::array<std::mutex, CURL_LOCK_DATA_LAST> locks_;
  // Arrival order per cookie (domain, path, name), which curl does not report: Set records it at
  // once, cookies set by responses get it when EnforceBounds first sees them.
  mutable std::mutex bounds_mutex_;
  mutable std::map<std::string, std::uint64_t> arrival_;
  mutable std::uint64_t next_arrival_ = 0;
  mutable std::size_t sets_since_bounds_ = 0;
};

}  // namespace lumvex::http
