// The pure text helpers of the HTTP clients: URL parts as the page fetch and the raw request
// read them, and the marker searches the scrapers share. Positions are 1-based byte positions.
#pragma once

#include <string>
#include <string_view>

namespace lumvex::http {

// Host of a URL: every "https://" and "http://" removed (exact case), cut at the first "/" and
// then at the first ":", lower-cased.
std::string UrlHost(std::string_view url);

// Path with query: from the first "/" at or after the host (found ignoring case, after a leading
// scheme) to the end;
// "/" when there is none.
std::string UrlPath(std::string_view url);

// Port: after "http://" (any case) the text up to the next "/", otherwise the text before the
// first "/"; the number after its first ":" as atoi reads it, 80 without a ":".
int UrlPort(std::string_view url);

// The text between `left` and the next `right` after it, searching from `start`; empty unless
// both are found. "#引号" in either marker stands for a double quote.
std::string TextBetween(std::string_view text, std::string_view left, std::string_view right,
                        int start = 1, bool case_sensitive = false);

// The text from the beginning up to the first `marker` at or after `start` (below 1 counts as
// 1); empty when the marker is absent.
std::string TextBefore(std::string_view text, std::string_view marker, int start = 1,
                       bool ignore_case = false);

// Host, port and path as RawRequest splits a URL (scheme optional, "http://" in any case).
struct RawUrlParts {
  std::string host;  // lower-cased
  int port = 80;
  std::string path;  // "/" when the URL has none
};
RawUrlParts SplitRawRequestUrl(std::string_view url);

// The URL curl connects to, from parts already taken apart by the caller's URL rules. Port 0
// means the scheme's default. Empty when the host or port cannot be used.
std::string ComposeUrl(bool https, std::string_view host, int port, std::string_view path);

}  // namespace lumvex::http
