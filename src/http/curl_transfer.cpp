#include "http/curl_transfer.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "http/curl_global.h"
#include "http/http_limits.h"
#include "text/text_util.h"

namespace lumvex::http {
namespace {

bool IsRedirectStatus(long code) {
  return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
}

bool HasLineNamed(const std::vector<std::string>& lines, std::string_view name) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
    return text::ToLowerAscii(HeaderName(line)) == text::ToLowerAscii(name);
  });
}

}  // namespace

std::string HeaderName(std::string_view line) {
  std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return {};
  return text::Trim(line.substr(0, colon));
}

CurlTransfer::CurlTransfer() : body_limit_(kMaxBodyBytes) {
  EnsureCurlGlobalInit();
  easy_ = curl_easy_init();
  if (!easy_) return;
  curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);
  // Every request opens and closes its own connection.
  curl_easy_setopt(easy_, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(easy_, CURLOPT_FRESH_CONNECT, 1L);
  // A name is looked up afresh each time: a cache shared by thousands of transfers in flight
  // is searched and pruned through on every connection.
  curl_easy_setopt(easy_, CURLOPT_DNS_CACHE_TIMEOUT, 0L);
#if LIBCURL_VERSION_NUM >= 0x075700
  // A transfer torn down at its deadline while its name lookup still runs must not wait for the
  // lookup's thread: that wait would hold up the one thread that drives every transfer.
  curl_easy_setopt(easy_, CURLOPT_QUICK_EXIT, 1L);
#endif
  curl_easy_setopt(easy_, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlTransfer::OnBody);
  curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlTransfer::OnHeader);
  curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &CurlTransfer::OnProgress);
  curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy_, CURLOPT_PRIVATE, this);
  curl_easy_setopt(easy_, CURLOPT_OPENSOCKETFUNCTION, &CurlTransfer::OnOpenSocket);
  curl_easy_setopt(easy_, CURLOPT_OPENSOCKETDATA, this);
  // Never a proxy from the environment: direct until a proxy is given.
  curl_easy_setopt(easy_, CURLOPT_PROXY, "");
  // curl would announce itself to a proxy; the request must carry only its own lines.
  proxy_header_list_ = curl_slist_append(nullptr, "Proxy-Connection:");
  curl_easy_setopt(easy_, CURLOPT_PROXYHEADER, proxy_header_list_);
}

CurlTransfer::~CurlTransfer() {
  if (easy_) curl_easy_cleanup(easy_);
  if (own_share_) curl_share_cleanup(own_share_);
  curl_slist_free_all(header_list_);
  curl_slist_free_all(proxy_header_list_);
}

bool CurlTransfer::SetUrl(const std::string& url) {
  url_ = url;
  const bool url_taken = curl_easy_setopt(easy_, CURLOPT_URL, url_.c_str()) == CURLE_OK;
  const bool proxy_taken = proxy_.Apply(easy_, text::StartsWith(url_, "https://", true));
  return url_taken && proxy_taken;
}

bool CurlTransfer::SetProxy(std::string_view proxy, bool tunnel_https) {
  proxy_.Set(proxy, tunnel_https);
  return proxy_.Apply(easy_, text::StartsWith(url_, "https://", true));
}

void CurlTransfer::SetUserAgent(const std::string& agent) {
  curl_easy_setopt(easy_, CURLOPT_USERAGENT, agent.c_str());
}

void CurlTransfer::SetHeaderLines(std::vector<std::string> lines,
                                  std::vector<std::string> suppress) {
  lines_ = std::move(lines);
  suppress_ = std::move(suppress);
  ApplyHeaderList();
}

void CurlTransfer::ApplyHeaderList() {
  curl_slist* list = nullptr;
  for (const std::string& line : lines_) {
    std::size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) continue;  // not a header line
    // "Name:" alone would tell curl to drop its own header; "Name;" sends it empty.
    if (text::Trim(line.substr(colon + 1)).empty()) {
      list = curl_slist_append(list, (line.substr(0, colon) + ";").c_str());
    } else {
      list = curl_slist_append(list, line.c_str());
    }
  }
  for (const std::string& name : suppress_) {
    if (!HasLineNamed(lines_, name)) list = curl_slist_append(list, (name + ":").c_str());
  }
  curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, list);
  curl_slist_free_all(header_list_);
  header_list_ = list;
}

void CurlTransfer::SetMethod(std::string method, std::string body) {
  method_ = std::move(method);
  request_body_ = std::move(body);
  ApplyMethod();
}

void CurlTransfer::ApplyMethod() {
  curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, nullptr);
  curl_easy_setopt(easy_, CURLOPT_NOBODY, 0L);
  if (method_ == "GET") {
    curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
    return;
  }
  if (method_ == "HEAD") {
    curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
    return;
  }
  if (method_ == "POST" || !request_body_.empty()) {
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request_body_.size()));
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, request_body_.data());
  } else {
    curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
  }
  if (method_ != "POST") curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, method_.c_str());
}

void CurlTransfer::SetHttp10(bool http10) {
  curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION,
                   static_cast<long>(http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1));
}

void CurlTransfer::SetLimits(long connect_ms, long idle_ms, long total_ms) {
  curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, connect_ms);
  if (idle_ms > 0) {
    // Less than one byte a second for the whole span counts as no byte moving.
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, std::max(1L, (idle_ms + 999) / 1000));
  }
  curl_easy_setopt(easy_, CURLOPT_TIMEOUT_MS, total_ms);
}

void CurlTransfer::FollowInCurl(int hops, bool https_only) {
  policy_.follow = false;
  curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, static_cast<long>(hops));
  curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, https_only ? "https" : "http,https");
  // A 301/302/303 after a GET stays a GET; checks send nothing else.
  curl_easy_setopt(easy_, CURLOPT_POSTREDIR, 0L);
}

void CurlTransfer::SetBodyLimit(std::size_t bytes) {
  body_limit_ = std::min(bytes, kMaxBodyBytes);
  // curl reads into a buffer of its own per transfer (16 KiB unless told): more than the body
  // wanted is memory held for nothing, thousands of times over. 1024 is curl's smallest.
  if (body_limit_ < kDefaultReceiveBufferBytes) {
    curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE,
                     static_cast<long>(std::max<std::size_t>(body_limit_, 1024)));
  }
}

std::string CurlTransfer::ContentType() const {
  char* type = nullptr;
  if (easy_ && curl_easy_getinfo(easy_, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type) {
    return type;
  }
  return {};
}

int CurlTransfer::ResponseStatus() const {
  long status = 0;
  if (easy_) curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
  return static_cast<int>(status);
}

void CurlTransfer::UseOwnCaches() {
  if (own_share_ || !easy_) return;
  own_share_ = curl_share_init();
  if (!own_share_) return;
  curl_share_setopt(own_share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
  curl_share_setopt(own_share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
  curl_easy_setopt(easy_, CURLOPT_SHARE, own_share_);
}

bool CurlTransfer::PrepareRedirect() {
  if (hop_observer_) hop_observer_(*this);
  if (!policy_.follow || redirects_ >= kMaxRedirects) return false;
  long status = 0;
  curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
  if (!IsRedirectStatus(status)) return false;
  char* location = nullptr;
  if (curl_easy_getinfo(easy_, CURLINFO_REDIRECT_URL, &location) != CURLE_OK || !location) {
    return false;
  }
  std::string next = location;
  bool https = text::StartsWith(next, "https://", true);
  bool http = text::StartsWith(next, "http://", true);
  if (!(https && policy_.to_https) && !(http && policy_.to_http)) return false;
  ++redirects_;
  // As browsers do: 303 always, and 301/302 after a POST, continue with a GET without the body
  // and without the lines that described it.
  if ((status == 303 && method_ != "HEAD") ||
      ((status == 301 || status == 302) && method_ == "POST")) {
    method_ = "GET";
    request_body_.clear();
    std::erase_if(lines_, [](const std::string& line) {
      std::string name = text::ToLowerAscii(HeaderName(line));
      return name == "content-length" || name == "content-type";
    });
    ApplyHeaderList();
    ApplyMethod();
  }
  // A hop that cannot go where it should (or not through a required proxy) is not made: the
  // redirect itself is the answer.
  if (!SetUrl(next) || (require_proxy_ && !proxy_.InEffect())) return false;
  body_.clear();
  headers_.clear();
  return true;
}

size_t CurlTransfer::OnBody(char* data, size_t size, size_t count, void* user) {
  auto* self = static_cast<CurlTransfer*>(user);
  size_t bytes = size * count;
  if (self->body_sink_) return self->body_sink_(std::string_view(data, bytes)) ? bytes : 0;
  size_t room = self->body_limit_ - std::min(self->body_limit_, self->body_.size());
  if (bytes > room) {
    self->body_.append(data, room);
    return 0;  // the cap ends the transfer; what arrived so far is the body
  }
  self->body_.append(data, bytes);
  return bytes;
}

size_t CurlTransfer::OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* self = static_cast<CurlTransfer*>(user);
  size_t bytes = size * count;
  std::string_view line(data, bytes);
  // Interim answers (100 Continue), a proxy's CONNECT answer and redirects curl follows come
  // first; only the last block, and the body after it, count.
  if (text::StartsWith(line, "HTTP/")) {
    self->headers_.clear();
    self->body_.clear();
  }
  // Some servers end their lines with a bare LF; callers read the block line by line at CR LF.
  if (line.ends_with('\n')) line.remove_suffix(1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  if (self->headers_.size() + line.size() + 2 > kMaxHeaderBytes) return 0;
  self->headers_.append(line).append("\r\n");
  return bytes;
}

curl_socket_t CurlTransfer::OnOpenSocket(void* user, curlsocktype /*purpose*/,
                                         curl_sockaddr* address) {
  auto* self = static_cast<CurlTransfer*>(user);
  const int fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
  if (fd < 0 && (errno == EMFILE || errno == ENFILE)) self->out_of_descriptors_ = true;
  return fd < 0 ? CURL_SOCKET_BAD : fd;
}

int CurlTransfer::OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* self = static_cast<CurlTransfer*>(user);
  if (self->cancel_ && self->cancel_->load(std::memory_order_relaxed)) return 1;
  if (self->progress_observer_) self->progress_observer_();
  return 0;
}

}  // namespace lumvex::http
