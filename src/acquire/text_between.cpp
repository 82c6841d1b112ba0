#include "acquire/text_between.h"

#include "acquire/regex_helper.h"

namespace lumvex {

std::string EscapeMarker(std::string_view marker) {
  std::string out;
  out.reserve(marker.size() + 8);
  for (const char c : marker) {
    switch (c) {
      case '?':
      case '*':
      case '+':
      case '[':
      case ']':
      case '(':
      case ')':
      case '{':
      case '}':
        out.push_back('\\');
        break;
      default:
        break;
    }
    out.push_back(c);
  }
  return out;
}

std::vector<std::string> AllTextsBetween(std::string_view subject, std::string_view left,
                                         std::string_view right, std::string_view prefix,
                                         std::string_view suffix) {
  std::string pattern = EscapeMarker(left);
  pattern += "(.*?)";
  pattern += EscapeMarker(right);
  RegexHelper helper;
  helper.Create(pattern, subject);
  std::vector<std::string> texts;
  const int count = helper.MatchCount();
  texts.reserve(static_cast<std::size_t>(count));
  for (int i = 1; i <= count; ++i) {
    std::string text(prefix);
    text += helper.SubMatchText(i, 1);
    text += suffix;
    texts.push_back(std::move(text));
  }
  return texts;
}

}  // namespace lumvex
