// What the judge answers: the request as it arrived, as JSON (the shape of a widely used public
// request-echo service, so either can serve as a judge) or as `NAME = value` lines; and the
// status answers for requests it does not echo.
#pragma once

#include <string>
#include <string_view>

#include "judge/request_head.h"

namespace lumvex::judge {

enum class EchoFormat { kJson, kText };

// The type of every answer that is not JSON.
inline constexpr std::string_view kTextType = "text/plain; charset=utf-8";

// kText when the Accept fields ask for text/plain and do not prefer application/json (a higher
// q, or the same q listed first); kJson otherwise. A media range with q=0 is not asked for.
EchoFormat ChosenFormat(const RequestHead& head);

// {"origin": "ORIGIN", "headers": {"Name": "value", ...}} and a line end: each name as first
// received, the values of a name received more than once (in any letter case) joined with ", ",
// in the order the names first came. Valid UTF-8 whatever the head held.
std::string EchoJson(const RequestHead& head, std::string_view origin);

// "REMOTE_ADDR = ORIGIN" then one "Name = value" line per field as received; control bytes in a
// value become spaces, so every field stays on its line, and bytes outside well-formed UTF-8
// become "\xHH" (upper-case hex), so the answer is the UTF-8 it says it is.
std::string EchoText(const RequestHead& head, std::string_view origin);

// A whole answer: status line, Content-Type, Content-Length, Cache-Control: no-store (a cache on
// the way must not answer for the judge), Connection: close, `extra_fields` (each line ending in
// CRLF), and the body unless `head_only`.
std::string AnswerBytes(int status, std::string_view content_type, std::string_view body,
                        bool head_only, std::string_view extra_fields = {});

// The header fields that mark a refusal as the judge's own (a 429 past the rate, a 503 past a
// connection cap), so that a checker does not blame the proxy it came through, and say when to
// come back: "X-Judge-Refusal: busy\r\nRetry-After: SECONDS\r\n".
std::string RefusalFields(int retry_after_s);

// "OK", "Bad Request", ... for the statuses the judge sends.
std::string_view ReasonPhrase(int status);

}  // namespace lumvex::judge
