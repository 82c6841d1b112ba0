#include "http/cookie_store.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "http/curl_global.h"
#include "http/http_limits.h"
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
  explicit ShareHandle(CURLSH* share) : easy_(share ? curl_easy_init() : nullptr) {
    if (!easy_) return;
    curl_easy_setopt(easy_, CURLOPT_SHARE, share);
    curl_easy_setopt(easy_, CURLOPT_COOKIEFILE, "");
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

// The tab-separated fields of a cookie-file line, an empty last one included.
std::vector<std::string_view> TabFields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

// The host a cookie-file domain field belongs to (curl marks HttpOnly cookies in that field).
std::string HostOfDomainField(std::string_view domain) {
  if (domain.starts_with("#HttpOnly_")) domain.remove_prefix(10);
  if (domain.starts_with('.')) domain.remove_prefix(1);
  return text::ToLowerAscii(domain);
}

std::string ArrivalKey(std::string_view host, std::string_view path, std::string_view name) {
  return std::string(host) + "\t" + std::string(path) + "\t" + std::string(name);
}

// One cookie of the jar as the bounds see it.
struct JarCookie {
  std::string line;
  std::string host;
  std::string key;
  std::size_t bytes;
  std::uint64_t arrival;
};

// The cookie's line dated at the start of the epoch: fed back to curl it replaces the cookie,
// which from then on counts as expired and is dropped.
std::string ExpiredLine(const std::vector<std::string_view>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += '\t';
    line += i == 4 ? std::string_view("1") : fields[i];
  }
  return line;
}

// Counts what has been kept of one host or of the whole jar, newest first; once one cookie does
// not fit, every older one goes too, so eviction is strictly oldest first.
class Budget {
 public:
  Budget(std::size_t max_count, std::size_t max_bytes)
      : max_count_(max_count), max_bytes_(max_bytes) {}
  bool Fits(std::size_t bytes) {
    full_ = full_ || count_ + 1 > max_count_ || bytes_ + bytes > max_bytes_;
    return !full_;
  }
  void Take(std::size_t bytes) {
    ++count_;
    bytes_ += bytes;
  }

 private:
  std::size_t max_count_;
  std::size_t max_bytes_;
  std::size_t count_ = 0;
  std::size_t bytes_ = 0;
  bool full_ = false;
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
  EnforceBounds();
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
  {
    ShareHandle handle(share_);
    if (!handle.get()) return;
    curl_easy_setopt(handle.get(), CURLOPT_COOKIELIST, line.c_str());
  }
  bool enforce = false;
  {
    std::lock_guard lock(bounds_mutex_);
    arrival_.try_emplace(ArrivalKey(domain, path, name), next_arrival_++);
    // A response's Set-Cookie lines come here one by one; checking the whole jar after each
    // would cost a listing per cookie.
    enforce = ++sets_since_bounds_ >= kMaxCookiesPerHost;
  }
  if (enforce) EnforceBounds();
}

std::vector<std::string> CookieStore::List() const {
  EnforceBounds();
  return LiveLines();
}

std::vector<std::string> CookieStore::LiveLines() const {
  std::vector<std::string> lines;
  ShareHandle handle(share_);
  if (!handle.get()) return lines;
  curl_slist* list = nullptr;
  if (curl_easy_getinfo(handle.get(), CURLINFO_COOKIELIST, &list) != CURLE_OK) return lines;
  long long now = static_cast<long long>(std::time(nullptr));
  for (curl_slist* it = list; it; it = it->next) {
    // curl keeps an expired entry until it next looks for cookies to send; it is gone already.
    std::vector<std::string_view> fields = TabFields(it->data);
    if (fields.size() >= 5) {
      long long expires = std::atoll(std::string(fields[4]).c_str());
      if (expires != 0 && expires < now) continue;
    }
    lines.emplace_back(it->data);
  }
  curl_slist_free_all(list);
  return lines;
}

void CookieStore::EnforceBounds() const {
  std::lock_guard lock(bounds_mutex_);
  sets_since_bounds_ = 0;
  std::vector<JarCookie> jar;
  std::map<std::string, std::uint64_t> present;
  for (std::string& line : LiveLines()) {
    std::vector<std::string_view> fields = TabFields(line);
    if (fields.size() < 7) continue;
    JarCookie cookie;
    cookie.host = HostOfDomainField(fields[0]);
    cookie.key = ArrivalKey(cookie.host, fields[2], fields[5]);
    cookie.bytes = fields[5].size() + fields[6].size();
    auto known = arrival_.find(cookie.key);
    cookie.arrival = known != arrival_.end() ? known->second : next_arrival_++;
    present.emplace(cookie.key, cookie.arrival);
    cookie.line = std::move(line);
    jar.push_back(std::move(cookie));
  }
  // Forget cookies that expired or were replaced meanwhile, so the bookkeeping stays bounded too.
  arrival_ = std::move(present);
  std::sort(jar.begin(), jar.end(),
            [](const JarCookie& a, const JarCookie& b) { return a.arrival > b.arrival; });
  std::map<std::string, Budget> hosts;
  Budget all(kMaxCookies, kMaxCookieBytesInAll);
  ShareHandle handle(share_);
  for (const JarCookie& cookie : jar) {
    Budget& host =
        hosts.try_emplace(cookie.host, kMaxCookiesPerHost, kMaxCookieBytesPerHost).first->second;
    // An over-long cookie goes whatever its age and counts against no budget; one its host has
    // no room for does not count against the whole jar.
    bool fits =
        cookie.bytes <= kMaxCookieBytes && host.Fits(cookie.bytes) && all.Fits(cookie.bytes);
    if (fits) {
      host.Take(cookie.bytes);
      all.Take(cookie.bytes);
      continue;
    }
    arrival_.erase(cookie.key);
    if (handle.get()) {
      std::string expired = ExpiredLine(TabFields(cookie.line));
      curl_easy_setopt(handle.get(), CURLOPT_COOKIELIST, expired.c_str());
    }
  }
}

void CookieStore::Clear() {
  ShareHandle handle(share_);
  if (handle.get()) curl_easy_setopt(handle.get(), CURLOPT_COOKIELIST, "ALL");
}

}  // namespace lumvex::http
