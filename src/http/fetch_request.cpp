#include "http/fetch_request.h"

#include <cmath>

#include "http/cookie_store.h"
#include "http/http_limits.h"
#include "http/url_text.h"
#include "text/codec.h"
#include "text/text_util.h"

namespace lumvex::http {
namespace {

// A deadline of more than a day is as good as none, and keeps the clock arithmetic finite.
constexpr double kLongestDeadlineMs = 24.0 * 3600.0 * 1000.0;

std::string CutAtZero(std::string body) {
  std::size_t zero = body.find('\0');
  if (zero != std::string::npos) body.resize(zero);
  return body;
}

}  // namespace

std::optional<std::string> NormaliseFetchUrl(std::string_view url) {
  if (text::Trim(url).empty()) return std::nullopt;
  if (text::StartsWith(url, "http://") || text::StartsWith(url, "https://")) {
    return std::string(url);
  }
  return "http://" + std::string(url);
}

double FetchDeadlineMs(std::optional<double> timeout_s) {
  if (!timeout_s || std::isnan(*timeout_s)) return kDefaultFetchTimeoutS * 1000.0;
  double ms = std::round(*timeout_s * 1000.0);
  return std::min(ms, kLongestDeadlineMs);
}

bool IsFetchTimedOut(double elapsed_ms, double deadline_ms) {
  return elapsed_ms - deadline_ms >= -0.0000001;
}

std::string FetchUserAgent(std::string_view block) {
  if (!text::Contains(block, "User-Agent:", true)) return std::string(kFetchUserAgent);
  return text::Trim(TextBetween(block, "User-Agent:", "\r\n", 1, false));
}

std::string CompleteFetchHeaderBlock(std::string block, std::string_view url, bool post,
                                     std::string_view cookies, std::size_t body_size) {
  if (!text::Contains(block, "Accept", true)) block += kFetchAcceptLine;
  if (text::Contains(block, "RefererNo", true)) {
    std::size_t marker = block.find("RefererNo");
    if (marker != std::string::npos) block.erase(marker, 9);
  } else if (!text::Contains(block, "Referer", true)) {
    block += "Referer: " + std::string(url) + "\r\n";
  }
  if (!text::Contains(block, "Accept-Language", true)) block += kAcceptLanguageLine;
  if (post && body_size > 0) {
    if (!text::Contains(block, "Content-Type", true)) block += kFormContentTypeLine;
    if (!text::Contains(block, "Content-Length", true)) {
      block += "Content-Length: " + text::FormatInt(static_cast<std::int64_t>(body_size)) + "\r\n";
    }
  }
  if (!cookies.empty()) block += "Cookie: " + std::string(cookies) + "\r\n\r\n";
  return block;
}

std::vector<std::string> SplitHeaderBlock(std::string_view block) {
  std::vector<std::string> lines;
  for (std::string& line : text::Split(block, "\r\n")) {
    if (!line.empty()) lines.push_back(std::move(line));
  }
  return lines;
}

std::string FitHeaderBuffer(std::string_view raw, std::size_t buffer_bytes) {
  if (raw.size() >= buffer_bytes) return std::string(buffer_bytes, ' ');
  return std::string(raw);
}

std::string CollectFetchCookies(std::string_view header_text, std::string_view host,
                                CookieStore* store) {
  std::string cookies;
  if (!text::Contains(header_text, "Set-Cookie: ", true)) return cookies;
  for (const std::string& line : text::Split(header_text, "\r\n")) {
    if (!text::Contains(line, "Set-Cookie: ", true)) continue;
    std::string cookie = line.size() > 12 ? line.substr(12) : std::string();
    cookies += TextBefore(cookie, ";", 1, false) + ";";
    std::size_t eq = cookie.find('=');
    if (store && eq != std::string::npos) {
      store->Set(host, cookie.substr(0, eq), std::string_view(cookie).substr(eq + 1));
    }
  }
  return cookies;
}

std::string DecodeFetchBody(std::string body, int encoding) {
  if (encoding == kBodyUtf8) return text::DecodeUtf8(CutAtZero(std::move(body)));
  if (encoding == kBodyBig5) return text::DecodeBig5Simplified(CutAtZero(std::move(body)));
  return body;
}

}  // namespace lumvex::http
