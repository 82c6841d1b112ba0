#include "http/cookie_store.h"

#include <cstdlib>
#include <ctime>

#include "http/curl_global.h"
#include "text/text_util.h"

namespace lumvex::http {
namespace {

bool HasLineBreakOrTab(std::string_view text) {
  return text.find_first_of("\t\r\n") != std::string_view::npos;
}

// True when a cookie for `domain` may be set by `host`: the host itself or one of its parents.
bool DomainCovers(std::string_view domain, std::string_view host) {
  if (text::ToLowerAscii(domain) == host) return true;
  if (host.size() <= domain.size()) return false;
  return text::ToLowerAscii(host.substr(host.size() - domain.size())) ==
             text::ToLowerAscii(domain) &&
         host[host.size() - domain.size() - 1] == '.';
}

// A short-lived easy handle on the share, for the jar's own operations.
class ShareHandle {
 public:
  explicit ShareHandle(const CookieStore& store) : easy_(curl_easy_init()) {
    if (easy_) store.Attach(easy_);
  }
  ~ShareHandle() {
    if (easy_) curl_easy_cleanup(easy_);
  }
  ShareHandle(const ShareHandle&) = delete;
  ShareHandle& operator=(const ShareHandle&) = delete;
  CURL* get() const { return easy_; }

 private:
  CURL* easy_;
};

}  // namespace

CookieStore::CookieStore() {
  EnsureCurlGlobalInit();
  share_ = curl_share_init();
  if (!share_) return;
  curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &CookieStore::Lock);
  curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CookieStore::Unlock);
  curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
  curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
}

CookieStore::~CookieStore() {
  if (share_) curl_share_cleanup(share_);
}

void CookieStore::Lock(CURL*, curl_lock_data data, curl_lock_access, void* user) {
  auto* self = static_cast<CookieStore*>(user);
  self->locks_[static_cast<std::size_t>(data) % self->locks_.size()].lock();
}

void CookieStore::Unlock(CURL*, curl_lock_data data, void* user) {
  auto* self = static_cast<CookieStore*>(user);
  self->locks_[static_cast<std::size_t>(data) % self->locks_.size()].unlock();
}

void CookieStore::Attach(CURL* easy) const {
  if (!share_ || !easy) return;
  curl_easy_setopt(easy, CURLOPT_SHARE, share_);
  // An empty file name switches the cookie engine on without reading any file.
  curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
}

void CookieStore::Set(std::string_view host, std::string_view name, std::string_view data) {
  std::string lower_host = text::ToLowerAscii(host);
  if (lower_host.empty() || name.empty() || HasLineBreakOrTab(name) || HasLineBreakOrTab(data) ||
      HasLineBreakOrTab(lower_host)) {
    return;
  }
  std::vector<std::string> parts = text::Split(data, ";");
  std::string value = parts.empty() ? std::string() : parts[0];
  std::string domain = lower_host;
  bool subdomains = false;
  bool secure = false;
  std::string path = "/";
  long long expires = 0;  // a session cookie
  for (std::size_t i = 1; i < parts.size(); ++i) {
    std::string attribute = text::Trim(parts[i]);
    std::size_t eq = attribute.find('=');
    std::string key = text::ToLowerAscii(text::Trim(attribute.substr(0, eq)));
    std::string arg =
        eq == std::string::npos ? std::string() : text::Trim(attribute.substr(eq + 1));
    if (key == "path" && !arg.empty()) {
      path = arg;
    } else if (key == "domain" && !arg.empty()) {
      if (arg[0] == '.') arg.erase(0, 1);
      // A cookie for somebody else's domain is refused, as browsers do.
      if (!DomainCovers(arg, lower_host)) return;
      domain = text::ToLowerAscii(arg);
      subdomains = true;
    } else if (key == "secure") {
      secure = true;
    } else if (key == "expires" && expires == 0) {
      time_t when = curl_getdate(arg.c_str(), nullptr);
      // -1 is curl's "unreadable" (a session cookie then). A date at or before the epoch is the
      // usual way to delete a cookie; 0 in the cookie file would mean "session" instead.
      if (when > 0) {
        expires = when;
      } else if (when != -1) {
        expires = 1;
      }
    } else if (key == "max-age") {
      int seconds = text::AtoI(arg);
      // A zero or negative age deletes the cookie: curl drops entries that expired already.
      expires = seconds > 0 ? static_cast<long long>(std::time(nullptr)) + seconds : 1;
    }
  }
  std::string line = (subdomains ? "." : "") + domain + "\t" + (subdomains ? "TRUE" : "FALSE") +
                     "\t" + path + "\t" + (secure ? "TRUE" : "FALSE") + "\t" +
                     std::to_string(expires) + "\t" + std::string(name) + "\t" + value;
  ShareHandle handle(*this);
  if (handle.get()) curl_easy_setopt(handle.get(), CURLOPT_COOKIELIST, line.c_str());
}

std::vector<std::string> CookieStore::List() const {
  std::vector<std::string> lines;
  ShareHandle handle(*this);
  if (!handle.get()) return lines;
  curl_slist* list = nullptr;
  if (curl_easy_getinfo(handle.get(), CURLINFO_COOKIELIST, &list) != CURLE_OK) return lines;
  long long now = static_cast<long long>(std::time(nullptr));
  for (curl_slist* it = list; it; it = it->next) {
    // curl keeps an expired entry until it next looks for cookies to send; it is gone already.
    std::vector<std::string> fields = text::Split(it->data, "\t");
    if (fields.size() >= 5) {
      long long expires = std::atoll(fields[4].c_str());
      if (expires != 0 && expires < now) continue;
    }
    lines.emplace_back(it->data);
  }
  curl_slist_free_all(list);
  return lines;
}

void CookieStore::Clear() {
  ShareHandle handle(*this);
  if (handle.get()) curl_easy_setopt(handle.get(), CURLOPT_COOKIELIST, "ALL");
}

}  // namespace lumvex::http
