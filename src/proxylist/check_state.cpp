#include "proxylist/check_state.h"

#include <array>
#include <utility>

namespace lumvex {
namespace {

// The one table of the verdict texts. The pool's running text has three dots, the menu's none.
constexpr std::array<std::pair<CheckStatus, std::string_view>, 4> kStatusTexts = {{
    {CheckStatus::kRunningPool, "正在验证..."},
    {CheckStatus::kRunningMenu, "正在验证"},
    {CheckStatus::kOk, "成功"},
    {CheckStatus::kFailed, "失败"},
}};

struct AnonymityWords {
  Anonymity anonymity;
  std::string_view text;  // the view column's
  std::string_view name;  // the command line's
};

// The one table of the anonymity words.
constexpr std::array<AnonymityWords, 4> kAnonymityWords = {{
    {Anonymity::kUnknown, "", "-"},
    {Anonymity::kTransparent, "透明", "transparent"},
    {Anonymity::kAnonymous, "匿名", "anonymous"},
    {Anonymity::kElite, "高匿", "elite"},
}};

const AnonymityWords& WordsOf(Anonymity anonymity) {
  for (const AnonymityWords& words : kAnonymityWords) {
    if (words.anonymity == anonymity) return words;
  }
  return kAnonymityWords[0];
}

}  // namespace

std::string_view AnonymityText(Anonymity anonymity) { return WordsOf(anonymity).text; }

std::string_view AnonymityName(Anonymity anonymity) { return WordsOf(anonymity).name; }

std::string_view CheckStatusText(CheckStatus status) {
  for (const auto& [s, text] : kStatusTexts) {
    if (s == status) return text;
  }
  return {};
}

}  // namespace lumvex
