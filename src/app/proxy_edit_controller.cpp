#include "app/proxy_edit_controller.h"

#include "app/list_commands_controller.h"
#include "app/main_window_controls.h"
#include "app/window_events.h"
#include "text/text_util.h"

namespace lumvex {

std::string_view ProxyEditTitle(EditMode mode) {
  return mode == EditMode::kAdd ? "添加代理IP" : "修改代理IP";
}

ProxyEditController::ProxyEditController(MainWindowState& state, ProxyList& list,
                                         UserPrompts& prompts)
    : state_(state), list_(list), prompts_(prompts) {}

ProxyEditFields ProxyEditController::FieldsOfCurrentRow() const {
  const int row = list_.CurrentRow();
  if (row < 0) return {};
  const ProxyEntry entry = list_.GetRow(row);
  return {entry.cells[kColAddress], entry.cells[kColPort], entry.cells[kColLocation]};
}

bool ProxyEditController::ConfirmAdd(const ProxyEditFields& fields) {
  if (fields.address.empty()) {
    prompts_.ShowMessage(kProgramName, kAddAddressMissing, MessageButtons::kOk,
                         MessageIcon::kInformation);
    return false;
  }
  const std::string bare_port = text::ReplaceAll(text::ReplaceAll(fields.port, " ", ""), "　", "");
  if (bare_port.empty()) {
    prompts_.ShowMessage(kProgramName, kAddPortMissing, MessageButtons::kOk,
                         MessageIcon::kInformation);
    return false;
  }
  const int row = list_.InsertRow(list_.CurrentRow() + 1, fields.address);
  list_.SetCell(row, kColPort, fields.port);
  list_.SetCell(row, kColLocation, fields.note);
  state_.SetCount(Counter::kList,
                  static_cast<std::int64_t>(text::AtoI(state_.Text(Counter::kList))) + 1);
  state_.SetText(control::kStatusLine, ListTotalStatus(list_.ListCount()));
  Announce(state_, WindowEvent::kRowsAdded);
  return true;
}

void ProxyEditController::ConfirmModify(const ProxyEditFields& fields) {
  const int row = list_.CurrentRow();
  if (row >= 0) {
    list_.SetCell(row, kColAddress, fields.address);
    list_.SetCell(row, kColPort, fields.port);
  }
  for (int selected : list_.SelectedRows()) list_.SetCell(selected, kColLocation, fields.note);
}

}  // namespace lumvex
