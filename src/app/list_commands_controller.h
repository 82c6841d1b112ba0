// The user's commands on the proxy list that neither fetch nor check: import from a text file,
// paste from the clipboard, export to a text file, delete the current row, clear the list, and
// clean out failed and duplicate rows. Handlers run on the UI thread; import, paste and the two
// cleanup tasks continue on threads of their own while the window stays live.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <string_view>

#include "app/main_window_state.h"
#include "config/user_prompts.h"
#include "platform/ui_thread.h"
#include "platform/work_threads.h"
#include "proxylist/address_line_reader.h"
#include "proxylist/proxy_list.h"

namespace lumvex {

// Status texts of the list commands.
inline constexpr std::string_view kImportingStatus = "正在导入代理IP....";
inline constexpr std::string_view kPastingStatus = "正在粘贴代理IP....";
inline constexpr std::string_view kCleaningStatus = "正在清理失败和重复代理IP....";
inline constexpr std::string_view kClearQuestion = "你真的要清空所有代理IP吗？  ";

// "共有代理IP：" + count + "个".
std::string ListTotalStatus(int count);
// "Proxies" + year "-" month "-" day, numbers without leading zeros.
std::string ExportFileName(int year, int month, int day);

class ListCommandsController {
 public:
  // Everything passed in must outlive the controller.
  ListCommandsController(UiThread& ui, MainWindowState& state, ProxyList& list,
                         UserPrompts& prompts);
  // Joins the command threads.
  ~ListCommandsController();
  ListCommandsController(const ListCommandsController&) = delete;
  ListCommandsController& operator=(const ListCommandsController&) = delete;

  // "导入代理IP": asks for a file, then reads it on a new thread.
  void ImportFromFile();
  // "粘贴代理IP": takes the clipboard text, then parses it on a new thread.
  void PasteFromClipboard();
  // "保存代理IP": asks for a name and writes the rows as address:port lines (GBK).
  void ExportToFile();
  // "删除" and "删除选定IP(&D)".
  void DeleteCurrentRow();
  // "清空": asks first.
  void ClearList();
  // "清理失败IP" and "清理失败IP(&Q)": RemoveFailedRows and RemoveDuplicateRows on two threads.
  void CleanFailedAndDuplicates();

  // The work of the threads, callable from any thread; they block until done.
  // Appends the rows of every line of `in` in batches, so they show while the rest is read;
  // returns how many rows were appended, and what the reading met in `summary` (may be null).
  // The rows live only in the list: a long import holds no second copy of them.
  std::size_t AppendLines(std::istream& in, LineEncoding encoding,
                          AddressReadSummary* summary = nullptr);
  // The same for text already decoded (the clipboard).
  std::size_t AppendLines(std::string_view text);
  // The same for bytes that are GBK or UTF-8 as text::LooksLikeUtf8 tells (a downloaded list).
  std::size_t AppendBytes(std::string_view bytes, AddressReadSummary* summary);
  // Import's last steps: "验证代理IP" enabled, the total in the status line and the list counter.
  void FinishImport();
  // Removes every row whose check failed, in one list step, then the failed marks of the rest.
  void RemoveFailedRows();
  // Removes every row whose address (letter case ignored) an earlier row already has, in one
  // list step; the first row of each address stays.
  void RemoveDuplicateRows();

  // Starts `work` on a command thread (the import from a web address uses this too).
  void StartThread(std::function<void()> work) { threads_.Start(std::move(work)); }
  // Blocks until every command thread started so far has ended.
  void WaitIdle() { threads_.WaitIdle(); }
  // Program exit: joins the command threads (after the UiThread has been closed).
  void Shutdown() { threads_.JoinAll(); }

 private:
  // Appends the rows `read_lines` hands to its sink, in batches.
  std::size_t AppendFrom(const std::function<AddressReadSummary(const RowSink&)>& read_lines,
                         AddressReadSummary* summary);
  // Runs the end of one cleanup task; the last of the two to end reports the true total.
  void EndCleanupTask(const std::shared_ptr<std::atomic<int>>& remaining);

  UiThread& ui_;
  MainWindowState& state_;
  ProxyList& list_;
  UserPrompts& prompts_;
  // A refused thread runs its command inline; destruction joins them all.
  WorkThreads threads_{{.run_refused_inline = true, .exit_bound = std::nullopt}};
};

}  // namespace lumvex
