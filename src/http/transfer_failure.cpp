#include "http/transfer_failure.h"

namespace lumvex::http {
namespace {

int ResponseStatusOf(CURL* easy) {
  long status = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  return static_cast<int>(status);
}

}  // namespace

FetchFailureInfo ClassifyFailure(CURL* easy, CURLcode code, bool timed_out) {
  FetchFailureInfo info;
  if (!easy) return info;
  curl_off_t connected_us = 0;
  curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connected_us);
  char* peer = nullptr;
  curl_easy_getinfo(easy, CURLINFO_PRIMARY_IP, &peer);
  // curl names the peer once the socket is connected, and counts the connect time only once the
  // proxy's handshake is done too: between the two the proxy owes its handshake.
  const bool socket_up = peer != nullptr && *peer != '\0';
  const bool handshaken = connected_us > 0 || ResponseStatusOf(easy) > 0;
  long connect_status = 0;
  curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &connect_status);
  if (connect_status >= 300) info.proxy_status = static_cast<int>(connect_status);
  auto stalled = [&] {
    if (handshaken) return FetchFailure::kWaitTimeout;
    return socket_up ? FetchFailure::kHandshake : FetchFailure::kConnectTimeout;
  };
  if (timed_out) {
    info.failure = stalled();
    return info;
  }
  switch (code) {
    case CURLE_OK:
    case CURLE_WRITE_ERROR:  // the body limit ended it: what the caller wanted has come
      info.failure = FetchFailure::kNone;
      break;
    case CURLE_COULDNT_CONNECT:
      info.failure = socket_up ? FetchFailure::kHandshake : FetchFailure::kRefused;
      break;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
      info.failure = FetchFailure::kNameNotFound;
      break;
    case CURLE_OPERATION_TIMEDOUT:
      info.failure = stalled();
      break;
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      // A refused tunnel ends the same way, before any reply of the site's.
      info.failure = info.proxy_status > 0 || (!handshaken && socket_up) ? FetchFailure::kHandshake
                                                                         : FetchFailure::kCutReply;
      break;
    case CURLE_TOO_MANY_REDIRECTS:
      info.failure = FetchFailure::kRedirect;
      break;
    case CURLE_UNSUPPORTED_PROTOCOL: {
      // After a redirect: it led to a scheme that is not followed. Otherwise the reply was no
      // HTTP (curl takes no HTTP/0.9).
      long hops = 0;
      curl_easy_getinfo(easy, CURLINFO_REDIRECT_COUNT, &hops);
      const int status = ResponseStatusOf(easy);
      info.failure = hops > 0 || (status >= 300 && status <= 399) ? FetchFailure::kRedirect
                                                                  : FetchFailure::kOther;
      break;
    }
    case CURLE_PROXY:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
      info.failure = FetchFailure::kHandshake;
      break;
    default:
      info.failure = FetchFailure::kOther;
      break;
  }
  return info;
}

}  // namespace lumvex::http
