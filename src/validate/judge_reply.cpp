#include "validate/judge_reply.h"

#include <nlohmann/json.hpp>

#include "text/text_util.h"

namespace lumvex {
namespace {

JudgeReading Unreadable(std::string reason) { return {std::nullopt, std::move(reason)}; }

// "1.2.3.4, 5.6.7.8" as its addresses; empty pieces are dropped.
void AddOrigins(std::string_view list, std::vector<std::string>& origins) {
  for (const std::string& piece : text::Split(list, ",")) {
    std::string address = text::Trim(piece);
    if (!address.empty()) origins.push_back(std::move(address));
  }
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         text::ToLowerAscii(text.substr(0, prefix.size())) == text::ToLowerAscii(prefix);
}

JudgeReading ReadJson(std::string_view body) {
  // No exceptions: a malformed document comes back discarded.
  const nlohmann::json document = nlohmann::json::parse(body, nullptr, false);
  if (document.is_discarded()) return Unreadable("malformed JSON");
  if (!document.is_object()) return Unreadable("JSON reply is not an object");
  JudgeView view;
  if (const auto origin = document.find("origin"); origin != document.end()) {
    if (!origin->is_string()) return Unreadable("JSON origin is not a string");
    AddOrigins(origin->get_ref<const std::string&>(), view.origins);
  }
  if (const auto headers = document.find("headers"); headers != document.end()) {
    if (!headers->is_object()) return Unreadable("JSON headers is not an object");
    if (headers->size() > kJudgeReplyMaxHeaders) return Unreadable("too many headers");
    for (const auto& [name, value] : headers->items()) {
      if (!value.is_string()) return Unreadable("JSON header value is not a string");
      if (name.empty()) continue;  // no request carries a header without a name
      view.headers.emplace_back(name, value.get_ref<const std::string&>());
    }
  }
  if (view.origins.empty() && view.headers.empty()) return Unreadable("no origin and no headers");
  return {std::move(view), {}};
}

JudgeReading ReadLines(std::string_view body) {
  constexpr std::string_view kCgiPrefix = "HTTP_";
  std::vector<std::pair<std::string, std::string>> lines;
  for (std::string_view rest = body; !rest.empty();) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    const std::size_t separator = line.find(" = ");
    if (separator == std::string_view::npos) continue;
    std::string name = text::Trim(line.substr(0, separator));
    if (name.empty()) continue;
    if (lines.size() == kJudgeReplyMaxHeaders) return Unreadable("too many lines");
    lines.emplace_back(std::move(name), text::Trim(line.substr(separator + 3)));
  }
  // A CGI-style judge lists its own variables too (SERVER_ADDR, REMOTE_PORT...): then only the
  // HTTP_ lines are the request's headers.
  bool cgi = false;
  for (const auto& [name, value] : lines) cgi = cgi || StartsWithNoCase(name, kCgiPrefix);
  JudgeView view;
  for (auto& [name, value] : lines) {
    if (text::ToLowerAscii(name) == "remote_addr") {
      AddOrigins(value, view.origins);
    } else if (!cgi) {
      view.headers.emplace_back(std::move(name), std::move(value));
    } else if (StartsWithNoCase(name, kCgiPrefix) && name.size() > kCgiPrefix.size()) {
      view.headers.emplace_back(name.substr(kCgiPrefix.size()), std::move(value));
    }
  }
  if (view.origins.empty() && view.headers.empty()) {
    return Unreadable("not a judge reply: no JSON object and no NAME = value lines");
  }
  return {std::move(view), {}};
}

}  // namespace

JudgeReading ReadJudgeReply(std::string_view body) {
  if (body.size() > kJudgeReplyMaxBytes) return Unreadable("reply larger than 64 KiB");
  if (body.empty()) return Unreadable("empty reply");
  const std::size_t first = body.find_first_not_of(" \t\r\n");
  if (first != std::string_view::npos && body[first] == '{') return ReadJson(body);
  return ReadLines(body);
}

}  // namespace lumvex
