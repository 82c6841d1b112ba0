// The check state a row carries, and the one table of the texts it shows in the type column.
// Services write and read the state; the texts are derived where the row is shown or saved, and
// read back when a list file is loaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace lumvex {

enum class CheckStatus {
  kNone,         // never checked: the type column shows the source's type text
  kRunningPool,  // a validation run checks it
  kRunningMenu,  // the list's context-menu check runs on it (its text differs from the pool's)
  kOk,
  kFailed,
};

struct CheckState {
  CheckStatus status = CheckStatus::kNone;
  // Of a finished check (zero otherwise, and after a load: the list file keeps only the verdict).
  double seconds = 0;
  int http_status = 0;    // of the reply that came through the proxy; 0 when none arrived
  std::size_t bytes = 0;  // body bytes received

  bool Ok() const { return status == CheckStatus::kOk; }
  bool Failed() const { return status == CheckStatus::kFailed; }
  bool Decided() const { return Ok() || Failed(); }
  friend bool operator==(const CheckState&, const CheckState&) = default;
};

// A failed check is drawn in pure red (0x00BBGGRR) on the list's own background.
inline constexpr std::uint32_t kFailureTextColour = 255;

// The type column's text for `status`; empty for kNone (the source's text is shown instead).
std::string_view CheckStatusText(CheckStatus status);

// The status whose text `text` is as a whole; nullopt for any other text (a source's type).
std::optional<CheckStatus> ParseCheckStatusText(std::string_view text);

// `text` contains the text of `status` somewhere (the menus take a type text like "验证成功了",
// from a source or typed by the user, for a working proxy).
bool ContainsCheckStatusText(std::string_view text, CheckStatus status);

}  // namespace lumvex
