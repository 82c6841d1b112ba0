// A judge's reply: a page that echoes the request it received, read in either of the two shapes
// public judges use. JSON: {"origin": "1.2.3.4", "headers": {"Name": "value", ...}} (origin may
// list several addresses, comma-separated; other members are ignored). Plain text: one
// "NAME = value" line each, REMOTE_ADDR giving the origin and the headers either as received
// ("X-Forwarded-For = ...") or CGI-style ("HTTP_X_FORWARDED_FOR = ..."); lines without " = " are
// ignored. A reply comes from a proxy nobody vouches for: reading it never throws, and anything
// else is "unreadable" with a short reason.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumvex {

// A longer reply is not a judge's echo of one request (a judge that reads 16 KiB of request head
// answers with less than that, plus its quoting).
inline constexpr std::size_t kJudgeReplyMaxBytes = 64u * 1024u;
// More header lines than a request could carry to a judge.
inline constexpr std::size_t kJudgeReplyMaxHeaders = 512;

// What the judge saw.
struct JudgeView {
  // The addresses the request came from, as the judge wrote them (spaces trimmed).
  std::vector<std::string> origins;
  // Header names as written (a CGI-style name without its "HTTP_"), with their values.
  std::vector<std::pair<std::string, std::string>> headers;
};

struct JudgeReading {
  std::optional<JudgeView> view;  // nullopt: the reply could not be read
  std::string reason;             // why not (ASCII, short); empty when read
};

// Reads `body`: JSON when its first character past white space is '{', else text lines.
JudgeReading ReadJudgeReply(std::string_view body);

}  // namespace lumvex
