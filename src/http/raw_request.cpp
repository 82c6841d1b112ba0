#include "http/raw_request.h"

#include "http/cookie_store.h"
#include "http/curl_transfer.h"
#include "http/fetch_request.h"
#include "http/url_text.h"
#include "text/codec.h"
#include "text/text_util.h"

namespace lumvex::http {
namespace {

std::string CutAtZero(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

}  // namespace

std::string CompleteRawHeaderBlock(std::string block, std::string_view url) {
  if (!text::Contains(block, "Accept: ", true)) block += kRawAcceptLine;
  if (!text::Contains(block, "Referer: ", true)) block += "Referer: " + std::string(url) + "\r\n";
  if (!text::Contains(block, "Accept-Language: ", true)) block += kAcceptLanguageLine;
  return block;
}

RawRequestResult RawRequest(FetchClient& client, std::string_view url, RawRequestArgs& args,
                            CookieStore* cookies, SyncLimits limits) {
  std::string wire_url = text::EncodeGbk(url);
  RawUrlParts parts = SplitRawRequestUrl(wire_url);
  std::string target = ComposeUrl(false, parts.host, parts.port, parts.path);
  auto owned = std::make_shared<CurlTransfer>();
  CurlTransfer& transfer = *owned;
  // Nothing to connect to: the caller's variables stay as they were.
  if (target.empty() || !transfer.valid()) return {};

  args.method = text::ToUpperAscii(args.method) == "POST" ? "POST" : "GET";
  args.headers = CompleteRawHeaderBlock(std::move(args.headers), url);
  std::string body;
  if (args.method == "POST") {
    body = text::EncodeGbk(args.body);
    if (!body.empty()) {
      args.headers += kFormContentTypeLine;
      args.headers +=
          "Content-Length: " + text::FormatInt(static_cast<std::int64_t>(body.size())) + "\r\n";
    }
  }

  transfer.SetUrl(target);
  if (args.proxy) transfer.SetProxy(*args.proxy);
  transfer.SetUserAgent(std::string(kRawUserAgent));
  transfer.SetHeaderLines(SplitHeaderBlock(text::EncodeGbk(args.headers)),
                          {"Accept", "Expect", "Content-Type"});
  transfer.SetMethod(args.method, std::move(body));
  RedirectPolicy policy;
  policy.to_https = false;
  transfer.SetRedirectPolicy(policy);
  if (cookies) cookies->Attach(transfer.handle());
  transfer.SetCancelFlag(args.cancel);
  client.Perform(owned, limits);

  RawRequestResult result;
  result.body = text::DecodeGbk(CutAtZero(transfer.body()));
  if (args.want_response_headers) {
    result.response_headers =
        text::DecodeGbk(FitHeaderBuffer(transfer.headers(), kRawHeaderBufferBytes));
  }
  return result;
}

std::string SimpleGet(FetchClient& client, std::string_view url, CookieStore* cookies,
                      SyncLimits limits, const std::atomic<bool>* cancel) {
  if (url.empty()) return {};
  auto owned = std::make_shared<CurlTransfer>();
  CurlTransfer& transfer = *owned;
  if (!transfer.valid()) return {};
  transfer.SetUrl(text::EncodeGbk(url));
  transfer.SetHttp10(true);
  transfer.SetUserAgent(std::string(kRawUserAgent));
  transfer.SetHeaderLines({"Accept: */*"}, {"Expect", "Content-Type"});
  transfer.SetMethod("GET", {});
  RedirectPolicy policy;
  policy.to_https = true;
  transfer.SetRedirectPolicy(policy);
  if (cookies) cookies->Attach(transfer.handle());
  transfer.SetCancelFlag(cancel);
  client.Perform(owned, limits);
  return transfer.TakeBody();
}

}  // namespace lumvex::http
