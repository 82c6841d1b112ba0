// The fetch of a plain-text proxy list from a web address, without the window: the answer
// judged (no answer, an error status, an empty body), decompressed and capped. The window's
// import from a web address and `lumvexip harvest --url` both use it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "http/fetch_client.h"
#include "proxylist/address_line_reader.h"
#include "proxylist/proxy_entry.h"

namespace lumvex {

// Deadline of the fetch in seconds.
inline constexpr double kUrlListTimeoutS = 60;

struct UrlListFetch {
  bool fetched = false;      // a 2xx answer with a body arrived
  bool cut = false;          // the list was longer than the size cap; its tail is missing
  std::string error;         // why no list came, in plain words; empty when it came
  std::string status_error;  // the same for the status line
  std::string bytes;         // the list, when it came
};

// Fetches `address` directly within `timeout_s` seconds.
UrlListFetch FetchUrlList(http::FetchClient& fetcher, const std::string& address, double timeout_s);

// The rows of a fetched list, judged whole as UTF-8 or GBK, one per address line.
std::vector<ProxyEntry> UrlListRows(std::string_view bytes);

// The same handed to `on_rows` line by line as they are read, so that nothing but the bytes is
// held; lines that give no row go to `on_skip`. Reading ends at a NUL byte.
AddressReadSummary ReadUrlListRows(std::string_view bytes, const RowSink& on_rows,
                                   const SkipSink& on_skip = {});

// The status code of the last response in a raw header block ("HTTP/1.1 200 OK" ...), or 0 when
// there is none.
int LastStatusCode(std::string_view header_block);

}  // namespace lumvex
