// The URL readers on arbitrary text, and the URL the transfers compose read back by them.
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "http/curl_transfer.h"
#include "http/fetch_request.h"
#include "http/url_text.h"
#include "text/text_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumvex;
  const std::vector<std::string_view> fields = fuzz::Fields(data, size, 3);
  const std::string_view left = fields[0];
  const std::string_view right = fields[1];
  const std::string_view url = fields[2];

  const std::string host = http::UrlHost(url);
  FUZZ_CHECK(host.find_first_of("/:") == std::string::npos);
  FUZZ_CHECK(http::UrlPath(url).starts_with("/"));
  http::UrlPort(url);
  const http::RawUrlParts parts = http::SplitRawRequestUrl(url);
  FUZZ_CHECK(parts.path.starts_with("/"));
  FUZZ_CHECK(parts.host.find_first_of("/:") == std::string::npos);

  const int start = left.empty() ? 1 : static_cast<unsigned char>(left[0]) - 8;
  const std::string between = http::TextBetween(url, left, right, start);
  FUZZ_CHECK(url.find(between) != std::string_view::npos);
  FUZZ_CHECK(url.starts_with(http::TextBefore(url, right, start, true)));

  if (const auto normalised = http::NormaliseFetchUrl(url)) {
    FUZZ_CHECK(normalised->ends_with(url));
  }

  // A URL composed from a usable host reads back as that host, port and path.
  const int port = right.empty() ? 0 : static_cast<int>(text::AtoI(right));
  const std::string composed = http::ComposeUrl(false, left, port, url);
  if (!composed.empty()) {
    const http::RawUrlParts back = http::SplitRawRequestUrl(composed);
    FUZZ_CHECK(back.host == text::ToLowerAscii(left));
    FUZZ_CHECK(back.port == (port == 0 ? 80 : port));
    FUZZ_CHECK(http::UrlHost(composed) == back.host);
    FUZZ_CHECK(composed.ends_with(back.path));
  }
  return 0;
}
