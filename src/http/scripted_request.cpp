#include "http/scripted_request.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "http/curl_transfer.h"
#include "http/http_limits.h"
#include "http/url_text.h"
#include "text/codec.h"
#include "text/text_util.h"

namespace lumvex::http {
namespace {

constexpr std::string_view kDefaultAccept =
    "Accept: image/jpeg, application/x-ms-application, image/gif, application/xaml+xml, "
    "image/pjpeg, application/x-ms-xbap, application/x-shockwave-flash, application/vnd.ms-excel, "
    "application/vnd.ms-powerpoint, application/msword, */*";

// The header lines of a raw block without its status line, as the request object lists them.
std::string HeaderLinesOnly(std::string_view raw) {
  if (!text::StartsWith(raw, "HTTP/")) return std::string(raw);
  std::size_t end = raw.find("\r\n");
  return end == std::string_view::npos ? std::string() : std::string(raw.substr(end + 2));
}

}  // namespace

RedirectPolicy ScriptedRedirectPolicy(std::string_view current_url, bool disable_redirects) {
  RedirectPolicy policy;
  policy.follow = !disable_redirects;
  policy.to_https = true;
  policy.to_http = !text::StartsWith(current_url, "https://", true);
  return policy;
}

ScriptedTimeouts ScriptedRequestTimeouts(int timeout_seconds) {
  if (timeout_seconds == 1) return {kScriptedOwnConnectMs, kScriptedOwnIdleMs};
  if (timeout_seconds <= 0) return {kScriptedDefaultMs, kScriptedDefaultMs};
  long ms = static_cast<long>(
      std::min<long long>(static_cast<long long>(timeout_seconds) * 1000, 0x7FFFFFFFLL));
  return {ms, ms};
}

std::string DefaultScriptedHeaders(std::string_view url) {
  return "Referer: " + std::string(url) +
         "\r\nAccept-Language: zh-cn\r\nUser-Agent: " + std::string(kScriptedUserAgent) + "\r\n" +
         std::string(kDefaultAccept) + "\r\nContent-Type: application/x-www-form-urlencoded";
}

std::vector<std::string> ScriptedHeaderLines(std::string_view headers) {
  std::vector<std::string> lines;
  if (!text::Contains(headers, "\r\n")) {
    if (text::Contains(headers, ":")) lines.emplace_back(headers);
    return lines;
  }
  for (std::string& line : text::Split(headers, "\r\n")) {
    if (text::Contains(line, ":")) lines.push_back(std::move(line));
  }
  return lines;
}

void ScanScriptedResponseHeaders(std::string_view response_headers, std::string* location,
                                 std::string* returned_cookies) {
  returned_cookies->clear();
  for (const std::string& line : text::Split(response_headers, "\r\n")) {
    if (text::Contains(line, "Location:")) {
      std::size_t at = line.find("Location:");
      *location = text::Trim(line.substr(0, at) + line.substr(at + 9));
    }
    if (text::Contains(line, "Set-Cookie")) {
      *returned_cookies += text::Trim(TextBetween(line, "Set-Cookie:", ";", 1, false)) + "; ";
    }
  }
}

std::string MergeCookies(std::string_view cookies_in, std::string_view returned_in) {
  std::string cookies = text::Trim(cookies_in);
  std::string returned = text::Trim(returned_in);
  if (!cookies.empty() && cookies.back() != ';') cookies += ';';
  if (!returned.empty() && returned.back() != ';') returned += ';';
  for (const std::string& piece : text::Split(returned, ";")) {
    std::size_t eq = piece.find('=');
    if (eq == std::string::npos) continue;
    std::string key = piece.substr(0, eq);
    std::size_t at = text::Find(cookies, key, 0, true);
    if (at == std::string::npos) {
      cookies += piece + ";";
      continue;
    }
    std::size_t end = cookies.find(';', at);
    cookies.replace(at, end == std::string::npos ? std::string::npos : end - at, piece);
  }
  std::string rebuilt;
  for (const std::string& piece : text::Split(cookies, ";")) {
    std::string trimmed = text::Trim(piece);
    if (!trimmed.empty() && trimmed.back() == '=') continue;
    rebuilt += trimmed + "; ";
  }
  return text::Trim(rebuilt);
}

namespace {

// The transfer for `url` as `args` ask (method and header block completed in `args`) and its time
// limits; null when no transfer could be made.
std::shared_ptr<CurlTransfer> PrepareScripted(std::string_view url, ScriptedRequestArgs& args,
                                              SyncLimits* limits) {
  auto transfer = std::make_shared<CurlTransfer>();
  if (!transfer->valid()) return nullptr;
  args.method = text::ToUpperAscii(args.method);
  if (args.method.empty()) args.method = "GET";
  ScriptedTimeouts timeouts = ScriptedRequestTimeouts(args.timeout_seconds);
  *limits = {timeouts.connect_ms, timeouts.idle_ms, args.total_ms};
  transfer->SetUrl(text::EncodeGbk(url));
  if (args.headers.empty()) args.headers = DefaultScriptedHeaders(url);
  std::vector<std::string> lines;
  if (!args.cookies.empty()) lines.push_back("Cookie: " + text::EncodeGbk(args.cookies));
  for (const std::string& line : ScriptedHeaderLines(args.headers)) {
    lines.push_back(text::EncodeGbk(line));
  }
  transfer->SetUserAgent(std::string(kScriptedObjectAgent));
  transfer->SetHeaderLines(std::move(lines), {"Expect", "Content-Type"});
  transfer->SetMethod(args.method,
                      args.body_bytes.empty() ? text::EncodeGbk(args.body) : args.body_bytes);
  transfer->SetCancelFlag(args.cancel);
  // Each hop decides the next by where the previous one went.
  transfer->SetHopObserver([disable = args.disable_redirects](CurlTransfer& hop) {
    const char* current = nullptr;
    curl_easy_getinfo(hop.handle(), CURLINFO_EFFECTIVE_URL, &current);
    hop.SetRedirectPolicy(ScriptedRedirectPolicy(current ? current : "", disable));
  });
  return transfer;
}

// The response of an ended transfer; the cookies it set are merged into `args.cookies`.
ScriptedResponse ReadScripted(CurlTransfer& transfer, ScriptedRequestArgs& args) {
  ScriptedResponse response;
  response.body = transfer.TakeBody();
  response.response_headers = text::DecodeGbk(HeaderLinesOnly(transfer.headers()));
  ScanScriptedResponseHeaders(response.response_headers, &response.location,
                              &response.returned_cookies);
  args.cookies = MergeCookies(args.cookies, response.returned_cookies);
  if (response.location.empty()) response.location = response.response_headers;
  return response;
}

}  // namespace

ScriptedResponse ScriptedRequest(FetchClient& client, std::string_view url,
                                 ScriptedRequestArgs& args) {
  SyncLimits limits{};
  std::shared_ptr<CurlTransfer> transfer = PrepareScripted(url, args, &limits);
  if (!transfer) return {};
  client.Perform(transfer, limits);
  return ReadScripted(*transfer, args);
}

void ScriptedRequestAsync(FetchClient& client, std::string_view url, ScriptedRequestArgs args,
                          std::function<void(ScriptedResponse)> done) {
  SyncLimits limits{};
  std::shared_ptr<CurlTransfer> transfer = PrepareScripted(url, args, &limits);
  if (!transfer) {
    done({});
    return;
  }
  auto kept = std::make_shared<ScriptedRequestArgs>(std::move(args));
  client.PerformAsync(transfer, limits, [transfer, kept, done = std::move(done)](CURLcode) {
    done(ReadScripted(*transfer, *kept));
  });
}

std::string ScriptedRequestText(FetchClient& client, std::string_view url,
                                ScriptedRequestArgs& args, ScriptedResponse* response) {
  ScriptedResponse result = ScriptedRequest(client, url, args);
  std::string text = text::DecodeGbk(result.body.substr(0, result.body.find('\0')));
  if (response) *response = std::move(result);
  return text;
}

}  // namespace lumvex::http
