#include "settings/window_layout.h"

#include <array>
#include <charconv>
#include <utility>

#include "text/text_util.h"

namespace lumvex {
namespace {

// The comma-separated integers of `text`, each within [least, most]; nullopt for anything else
// (an empty piece, a sign on its own, a fraction, a number out of range).
std::optional<std::vector<int>> ParseIntegers(std::string_view text, int least, int most) {
  std::vector<int> numbers;
  if (text::TrimBlanks(text).empty()) return std::nullopt;
  std::size_t from = 0;
  while (true) {
    const std::size_t comma = text.find(',', from);
    const std::string_view piece = text::TrimBlanks(
        text.substr(from, comma == std::string_view::npos ? text.npos : comma - from));
    int value = 0;
    const char* end = piece.data() + piece.size();
    const auto [stop, error] = std::from_chars(piece.data(), end, value);
    if (piece.empty() || error != std::errc() || stop != end || value < least || value > most) {
      return std::nullopt;
    }
    numbers.push_back(value);
    if (comma == std::string_view::npos) return numbers;
    from = comma + 1;
  }
}

std::string JoinIntegers(const std::vector<int>& numbers) {
  std::string text;
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) text += ',';
    text += text::FormatInt(numbers[i]);
  }
  return text;
}

}  // namespace

std::optional<WindowGeometry> ParseWindowGeometry(std::string_view text) {
  const std::optional<std::vector<int>> numbers =
      ParseIntegers(text, -kMostWindowCoordinate, kMostWindowCoordinate);
  if (!numbers || numbers->size() != 4) return std::nullopt;
  const WindowGeometry geometry{(*numbers)[0], (*numbers)[1], (*numbers)[2], (*numbers)[3]};
  for (const int side : {geometry.width, geometry.height}) {
    if (side < kLeastWindowSide || side > kMostWindowSide) return std::nullopt;
  }
  return geometry;
}

std::string FormatWindowGeometry(const WindowGeometry& geometry) {
  return JoinIntegers({geometry.left, geometry.top, geometry.width, geometry.height});
}

std::vector<int> ParseColumnWidths(std::string_view text) {
  std::optional<std::vector<int>> widths = ParseIntegers(text, 1, kMostColumnWidth);
  if (!widths || widths->size() > kMostColumns) return {};
  return std::move(*widths);
}

std::string FormatColumnWidths(const std::vector<int>& widths) { return JoinIntegers(widths); }

WindowLayout ReadWindowLayout(const Settings& settings) {
  WindowLayout layout;
  layout.geometry = ParseWindowGeometry(settings.Read(SettingKey::kWindowGeometry));
  layout.column_widths = ParseColumnWidths(settings.Read(SettingKey::kColumnWidths));
  return layout;
}

bool WriteWindowLayout(const Settings& settings, const WindowLayout& layout) {
  const std::string geometry = layout.geometry ? FormatWindowGeometry(*layout.geometry) : "";
  const std::string widths = FormatColumnWidths(layout.column_widths);
  const std::array<std::pair<SettingKey, std::string_view>, 2> values = {{
      {SettingKey::kWindowGeometry, geometry},
      {SettingKey::kColumnWidths, widths},
  }};
  return settings.Write(values);
}

}  // namespace lumvex
