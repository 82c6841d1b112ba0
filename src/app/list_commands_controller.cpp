#include "app/list_commands_controller.h"

#include <ctime>
#include <fstream>
#include <unordered_set>
#include <utility>

#include "app/main_window_controls.h"
#include "app/window_events.h"
#include "platform/file_io.h"
#include "proxylist/address_line_reader.h"
#include "proxylist/proxy_line_parser.h"
#include "text/codec.h"
#include "text/text_util.h"

namespace lumvex {
namespace {

// Rows appended per list step while a text is parsed: large enough to keep the hand-overs to the
// UI thread few, small enough that rows show while a long file is still being read.
constexpr std::size_t kAppendBatch = 256;

// More deletions than this are made by replacing the rows in one reset rather than row by row.
constexpr std::size_t kRowByRowLimit = 64;

// Deletes the rows marked in `remove` (one flag per row of `rows`, the list's own rows) within the
// current UI-thread step; `rows` is read only before the list changes.
void DeleteMarkedRows(ProxyList& list, const std::vector<CompactRow>& rows,
                      const std::vector<bool>& remove) {
  std::size_t count = 0;
  for (bool r : remove) count += r ? 1 : 0;
  if (count == 0) return;
  if (count <= kRowByRowLimit) {
    // Bottom up, so the indexes still to delete do not move; current and selected rows follow.
    for (std::size_t i = remove.size(); i-- > 0;) {
      if (remove[i]) list.DeleteRow(static_cast<int>(i));
    }
    return;
  }
  std::vector<CompactRow> kept;
  kept.reserve(rows.size() - count);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!remove[i]) kept.push_back(rows[i]);
  }
  list.ReplaceAllCompact(std::move(kept));
}

}  // namespace

std::string ListTotalStatus(int count) { return "共有代理IP：" + text::FormatInt(count) + "个"; }

std::string ExportFileName(int year, int month, int day) {
  return "Proxies" + text::FormatInt(year) + "-" + text::FormatInt(month) + "-" +
         text::FormatInt(day);
}

ListCommandsController::ListCommandsController(UiThread& ui, MainWindowState& state,
                                               ProxyList& list, UserPrompts& prompts)
    : ui_(ui), state_(state), list_(list), prompts_(prompts) {}

ListCommandsController::~ListCommandsController() { Shutdown(); }

std::size_t ListCommandsController::AppendFrom(
    const std::function<AddressReadSummary(const RowSink&)>& read_lines,
    AddressReadSummary* summary) {
  std::size_t appended = 0;
  std::vector<ProxyEntry> batch;
  auto flush = [&] {
    if (batch.empty()) return;
    appended += batch.size();
    list_.AddRows(std::move(batch));
    batch.clear();
  };
  const AddressReadSummary read = read_lines([&](std::vector<ProxyEntry>&& rows) {
    for (ProxyEntry& row : rows) batch.push_back(std::move(row));
    if (batch.size() < kAppendBatch) return true;
    flush();
    return !threads_.Stopping();
  });
  flush();
  if (summary != nullptr) *summary = read;
  return appended;
}

std::size_t ListCommandsController::AppendLines(std::istream& in, LineEncoding encoding,
                                                AddressReadSummary* summary) {
  return AppendFrom([&](const RowSink& sink) { return ReadAddressLines(in, encoding, sink); },
                    summary);
}

std::size_t ListCommandsController::AppendLines(std::string_view text) {
  return AppendFrom(
      [&](const RowSink& sink) { return ReadAddressLines(text, LineEncoding::kUtf8, sink); },
      nullptr);
}

std::size_t ListCommandsController::AppendBytes(std::string_view bytes,
                                                AddressReadSummary* summary) {
  // Bytes held whole (a downloaded list) are judged whole: UTF-8 or GBK.
  const LineEncoding encoding =
      text::LooksLikeUtf8(bytes) ? LineEncoding::kUtf8 : LineEncoding::kGbk;
  return AppendFrom([&](const RowSink& sink) { return ReadAddressLines(bytes, encoding, sink); },
                    summary);
}

void ListCommandsController::FinishImport() {
  Announce(state_, WindowEvent::kRowsAdded);
  const int count = list_.ListCount();
  state_.SetText(control::kStatusLine, ListTotalStatus(count));
  state_.SetCount(Counter::kList, count);
}

void ListCommandsController::ImportFromFile() {
  const std::string path = prompts_.ChooseOpenFile(kTextFileFilter);
  if (path.empty()) return;
  state_.SetText(control::kStatusLine, std::string(kImportingStatus));
  threads_.Start([this, path] {
    // An unreadable file adds nothing; the status still ends with the count. The file is read
    // as a stream, twice when it can be: once to tell UTF-8 from GBK over all of it, once for
    // the rows.
    std::ifstream file(path, std::ios::binary);
    if (file && !DirectoryExists(path)) {
      const std::optional<bool> utf8 = SniffUtf8(file);
      AppendLines(file, !utf8 ? LineEncoding::kEachLine
                              : (*utf8 ? LineEncoding::kUtf8 : LineEncoding::kGbk));
    }
    FinishImport();
  });
}

void ListCommandsController::PasteFromClipboard() {
  std::string clip = prompts_.ClipboardText();
  if (clip.empty()) return;
  state_.SetText(control::kStatusLine, std::string(kPastingStatus));
  threads_.Start([this, clip = std::move(clip)] {
    AppendLines(clip);
    const int count = list_.ListCount();
    state_.SetText(control::kStatusLine, ListTotalStatus(count));
    state_.SetCount(Counter::kList, count);
    if (count > 0) Announce(state_, WindowEvent::kRowsPasted);
    ui_.RunSync([this] { prompts_.ClearClipboard(); });
  });
}

void ListCommandsController::ExportToFile() {
  std::string text;
  list_.ReadRows([&text](const std::vector<CompactRow>& rows) { text = ExportText(rows); });
  if (text.empty()) return;
  const std::string bytes = text::EncodeGbk(text);
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string suggested =
      ExportFileName(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  const std::string chosen = prompts_.ChooseSaveFile(kTextFileFilter, suggested);
  if (chosen.empty()) return;
  // ".txt" is added whatever the name already ends in; a failed write is not reported.
  WriteWholeFile(chosen + ".txt", bytes);
}

void ListCommandsController::DeleteCurrentRow() {
  const int row = list_.CurrentRow();
  if (row >= 0) {
    list_.DeleteRow(row);
    const int count = list_.ListCount();
    state_.SetCount(Counter::kList, count);
    state_.SetText(control::kStatusLine, ListTotalStatus(count));
  }
  if (list_.ListCount() == 0) {
    Announce(state_, WindowEvent::kListEmptied);
  }
}

void ListCommandsController::ClearList() {
  if (list_.ListCount() == 0) return;
  const MessageAnswer answer = prompts_.ShowMessage(
      kProgramName, kClearQuestion, MessageButtons::kOkCancel, MessageIcon::kInformation);
  if (answer != MessageAnswer::kOk) return;
  list_.DeleteAllRows();
  state_.SetText(control::kStatusLine, std::string());
  Announce(state_, WindowEvent::kListCleared);
  for (Counter counter : {Counter::kList, Counter::kSuccess, Counter::kFailure}) {
    state_.SetText(counter, "0");
  }
}

void ListCommandsController::RemoveFailedRows() {
  ui_.RunSync([this] {
    const std::vector<CompactRow>& rows = list_.RowsOnUiThread();
    std::vector<bool> remove(rows.size(), false);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      remove[i] = rows[i].Status() == CheckStatus::kFailed;
    }
    DeleteMarkedRows(list_, rows, remove);
  });
  // The rows that stay lose their red too (a row whose new check is under way keeps its mark
  // until the verdict otherwise): the cleaning leaves no failure shown.
  list_.ClearCheckMarks();
}

void ListCommandsController::RemoveDuplicateRows() {
  ui_.RunSync([this] {
    const std::vector<CompactRow>& rows = list_.RowsOnUiThread();
    std::vector<bool> remove(rows.size(), false);
    std::unordered_set<std::string> seen;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      remove[i] = !seen.insert(text::ToLowerAscii(rows[i].Cell(kColAddress))).second;
    }
    DeleteMarkedRows(list_, rows, remove);
  });
}

void ListCommandsController::EndCleanupTask(const std::shared_ptr<std::atomic<int>>& remaining) {
  if (remaining->fetch_sub(1) != 1) return;
  ui_.RunSync([this] {
    const int count = list_.ListCount();
    state_.SetText(control::kStatusLine, "可用代理IP：" + text::FormatInt(count) + "个");
    state_.SetCount(Counter::kList, count);
  });
}

void ListCommandsController::CleanFailedAndDuplicates() {
  auto remaining = std::make_shared<std::atomic<int>>(2);
  threads_.Start([this, remaining] {
    state_.SetText(control::kStatusLine, std::string(kCleaningStatus));
    if (list_.ListCount() > 0) RemoveFailedRows();
    EndCleanupTask(remaining);
  });
  threads_.Start([this, remaining] {
    RemoveDuplicateRows();
    EndCleanupTask(remaining);
  });
}

}  // namespace lumvex
