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

std::string BetweenPattern(std::string_view left, std::string_view right) {
  std::string pattern = EscapeMarker(left);
  pattern += "(.*?)";
  pattern += EscapeMarker(right);
  return pattern;
}

std::string FramedText(const RegexHelper& helper, int i, std::string_view prefix,
                       std::string_view suffix) {
  std::string text(prefix);
  text += helper.SubMatchText(i, 1);
  text += suffix;
  return text;
}

std::vector<std::string> AllTextsBetween(std::string_view subject, std::string_view left,
                                         std::string_view right, std::string_view prefix,
                                         std::string_view suffix) {
  RegexHelper helper;
  helper.Create(BetweenPattern(left, right), subject);
  std::vector<std::string> texts;
  const int count = helper.MatchCount();
  texts.reserve(static_cast<std::size_t>(count));
  for (int i = 1; i <= count; ++i) texts.push_back(FramedText(helper, i, prefix, suffix));
  return texts;
}

}  // namespace lumvex
