// The check state a row carries, and the one table of the texts it shows in the type column.
// Services write and read the state; the texts are derived where the row is shown or saved, and
// only the list file's reader turns a text back into a state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "proxylist/check_reason.h"

namespace lumvex {

enum class CheckStatus {
  kNone,         // never checked: the type column shows the source's type text
  kRunningPool,  // a validation run checks it
  kRunningMenu,  // the list's context-menu check runs on it (its text differs from the pool's)
  kOk,
  kFailed,
};

// What a working proxy reveals of its user, found by fetching a judge (a page that echoes the
// request it received) through it.
enum class Anonymity {
  kUnknown,      // not classified (no judge, or the check failed)
  kTransparent,  // the user's own address reached the judge
  kAnonymous,    // it did not, but the request shows it came through a proxy
  kElite,        // neither
};

struct CheckState {
  CheckStatus status = CheckStatus::kNone;
  // Of a finished check (zero otherwise, and after a load: the list file keeps only the verdict).
  double seconds = 0;
  int http_status = 0;    // of the reply that came through the proxy; 0 when none arrived
  std::size_t bytes = 0;  // body bytes received
  Anonymity anonymity = Anonymity::kUnknown;  // of a check through a judge that passed
  // Why the check ended so (kNone for a pass). A check the judge kept refusing until the deadline
  // leaves the row with no verdict (kNone) and the reason kJudgeBusy.
  CheckReason reason = CheckReason::kNone;
  // Why a judge's reply could not be read (a failed check through a judge); empty otherwise.
  // Not kept by the list's rows.
  std::string detail{};

  bool Ok() const { return status == CheckStatus::kOk; }
  bool Failed() const { return status == CheckStatus::kFailed; }
  bool Decided() const { return Ok() || Failed(); }
  // A check ended without a verdict on the proxy: the judge was busy.
  bool Unclassified() const {
    return status == CheckStatus::kNone && reason == CheckReason::kJudgeBusy;
  }
  friend bool operator==(const CheckState&, const CheckState&) = default;
};

// "透明", "匿名", "高匿" (the view column "匿名度"); empty for kUnknown.
std::string_view AnonymityText(Anonymity anonymity);
// "transparent", "anonymous", "elite" (`lumvexip check --judge`); "-" for kUnknown.
std::string_view AnonymityName(Anonymity anonymity);

// How the view sets a row's verdict apart from its text. A failed check marks the row, a pass
// (or a check the busy judge left without a verdict) unmarks it, and a check under way keeps the
// mark of the verdict before it; the list file does not keep it, so a loaded "失败" is unmarked.
enum class CheckMark : std::uint8_t {
  kNone,
  kFailed,  // the view draws the verdict in red
};

// The type column's text for `status`; empty for kNone (the source's text is shown instead).
std::string_view CheckStatusText(CheckStatus status);

}  // namespace lumvex
