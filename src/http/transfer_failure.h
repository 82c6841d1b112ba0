// Why a libcurl transfer brought no whole reply, told from curl's result and what the handle
// learnt on the way (whether the socket came up, whether the proxy's handshake was done).
#pragma once

#include <curl/curl.h>

#include "http/fetch_request.h"

namespace lumvex::http {

struct FetchFailureInfo {
  FetchFailure failure = FetchFailure::kNone;
  int proxy_status = 0;  // the status of a CONNECT the proxy refused
};

// The transfer on `easy` ended with `code`; `timed_out`: it was torn down at its deadline instead.
FetchFailureInfo ClassifyFailure(CURL* easy, CURLcode code, bool timed_out);

}  // namespace lumvex::http
