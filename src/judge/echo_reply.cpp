#include "judge/echo_reply.h"

#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "judge/json_text.h"
#include "text/text_util.h"

namespace lumvex::judge {
namespace {

// Where a media type stands in the Accept fields: its q and its position.
struct Preference {
  double q = 0;
  std::size_t position = 0;
};

std::optional<Preference> PreferenceOf(std::string_view accept, std::string_view media) {
  std::size_t position = 0;
  for (const std::string& item : text::Split(accept, ",")) {
    ++position;
    const std::vector<std::string> parts = text::Split(item, ";");
    if (parts.empty() || text::ToLowerAscii(text::TrimBlanks(parts[0])) != media) continue;
    double q = 1;
    for (std::size_t i = 1; i < parts.size(); ++i) {
      const std::string parameter = text::ToLowerAscii(text::TrimBlanks(parts[i]));
      if (parameter.starts_with("q=")) q = text::AtoF(std::string_view(parameter).substr(2));
    }
    return Preference{q, position};
  }
  return std::nullopt;
}

}  // namespace

EchoFormat ChosenFormat(const RequestHead& head) {
  const std::string accept = JoinedValues(head, "Accept");
  const std::optional<Preference> text = PreferenceOf(accept, "text/plain");
  if (!text || text->q <= 0) return EchoFormat::kJson;
  const std::optional<Preference> json = PreferenceOf(accept, "application/json");
  if (!json || json->q < text->q || (json->q == text->q && json->position > text->position)) {
    return EchoFormat::kText;
  }
  return EchoFormat::kJson;
}

std::string EchoJson(const RequestHead& head, std::string_view origin) {
  // Names by their lower-case form, so that "host" joins "Host" under the first spelling; a map
  // keeps a head of thousands of fields from costing a comparison of every pair.
  std::vector<std::pair<std::string_view, std::string>> merged;
  std::unordered_map<std::string, std::size_t> index;
  for (const HeaderField& field : head.fields) {
    auto [it, added] = index.emplace(text::ToLowerAscii(field.name), merged.size());
    if (added) {
      merged.emplace_back(field.name, field.value);
    } else {
      merged[it->second].second += ", ";
      merged[it->second].second += field.value;
    }
  }
  std::string out = "{\"origin\": ";
  AppendJsonString(out, origin);
  out += ", \"headers\": {";
  for (std::size_t i = 0; i < merged.size(); ++i) {
    if (i > 0) out += ", ";
    AppendJsonString(out, merged[i].first);
    out += ": ";
    AppendJsonString(out, merged[i].second);
  }
  out += "}}\n";
  return out;
}

std::string EchoText(const RequestHead& head, std::string_view origin) {
  std::string out = "REMOTE_ADDR = " + std::string(origin) + "\n";
  for (const HeaderField& field : head.fields) {
    out += field.name;
    out += " = ";
    const std::string_view value = field.value;
    for (std::size_t i = 0; i < value.size();) {
      const auto byte = static_cast<unsigned char>(value[i]);
      if (byte < 0x80) {
        out += byte < 0x20 || byte == 0x7F ? ' ' : value[i];
        ++i;
      } else if (const std::size_t length = Utf8SequenceLength(value, i); length > 0) {
        out.append(value.substr(i, length));
        i += length;
      } else {
        // The answer says it is UTF-8: a byte that is not becomes text naming it.
        constexpr char kHex[] = "0123456789ABCDEF";
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
        ++i;
      }
    }
    out += '\n';
  }
  return out;
}

std::string AnswerBytes(int status, std::string_view content_type, std::string_view body,
                        bool head_only, std::string_view extra_fields) {
  std::string out = "HTTP/1.1 " + std::to_string(status) + " " + std::string(ReasonPhrase(status));
  out += "\r\nContent-Type: ";
  out += content_type;
  out += "\r\nContent-Length: " + std::to_string(body.size());
  out += "\r\nCache-Control: no-store\r\nConnection: close\r\n";
  out += extra_fields;
  out += "\r\n";
  if (!head_only) out += body;
  return out;
}

std::string RefusalFields(int retry_after_s) {
  return "X-Judge-Refusal: busy\r\nRetry-After: " + std::to_string(retry_after_s) + "\r\n";
}

std::string_view ReasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 429:
      return "Too Many Requests";
    case 431:
      return "Request Header Fields Too Large";
    case 503:
      return "Service Unavailable";
    default:
      return "Error";
  }
}

}  // namespace lumvex::judge
