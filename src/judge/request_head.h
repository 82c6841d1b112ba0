// The parts of an HTTP/1.0 or HTTP/1.1 request head, read strictly: what the judge cannot read
// exactly as a proxy would pass it on is refused rather than guessed at.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumvex::judge {

struct HeaderField {
  std::string name;   // as received
  std::string value;  // without the blanks around it
};

struct RequestHead {
  std::string method;
  std::string target;
  std::string version;              // "HTTP/1.0" or "HTTP/1.1"
  std::vector<HeaderField> fields;  // in the order received
};

struct RequestLine {
  std::string method;
  std::string target;
  std::string version;
};

// The request line without its line end (one CR before the LF may be left in): METHOD SP TARGET
// SP HTTP/1.0|HTTP/1.1, single spaces, a token method and a target of visible bytes. nullopt
// when it is none.
std::optional<RequestLine> ParseRequestLine(std::string_view line);

// The head from its request line through its empty line, or nullopt with `why` set when a line
// is malformed: a bad request line, a header line without a token name and a colon right after
// it, a folded line, a NUL byte or a CR that does not end a line.
std::optional<RequestHead> ParseRequestHead(std::string_view head, std::string* why);

// The values of every field called `name` (any letter case), joined with ", " in the order
// received; empty when there is none.
std::string JoinedValues(const RequestHead& head, std::string_view name);

}  // namespace lumvex::judge
