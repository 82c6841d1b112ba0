#include "app/url_import_controller.h"

#include <utility>

#include "app/main_window_controls.h"
#include "app/window_events.h"
#include "config/url_list_fetch.h"
#include "settings/settings.h"
#include "text/text_util.h"

namespace lumvex {

UrlImportController::UrlImportController(MainWindowState& state, ListCommandsController& commands,
                                         UserPrompts& prompts, http::FetchClient& fetcher,
                                         DataDir data_dir)
    : state_(state),
      commands_(commands),
      prompts_(prompts),
      fetcher_(fetcher),
      data_dir_(std::move(data_dir)) {}

std::string UrlImportController::LastAddress() const {
  // The table's default is the maintained public list (kDefaultProxyListUrl).
  return Settings(data_dir_).Read(SettingKey::kListUrl);
}

void UrlImportController::SaveAddress(std::string_view address) const {
  Settings(data_dir_).Write(SettingKey::kListUrl, address);
}

void UrlImportController::ImportFromWebAddress() {
  const std::optional<std::string> answer =
      prompts_.AskText(kUrlImportCaption, kUrlImportLabel, LastAddress());
  if (!answer) return;
  const std::string address = text::Trim(*answer);
  if (address.empty()) return;
  Announce(state_, WindowEvent::kUrlImportStarted);
  commands_.StartThread([this, address] {
    if (Import(address).Worked()) SaveAddress(address);
    Announce(state_, WindowEvent::kUrlImportEnded);
  });
}

UrlImportResult UrlImportController::Import(const std::string& address) {
  UrlImportResult result;
  state_.SetText(control::kStatusLine, std::string(kImportingStatus));
  UrlListFetch list = FetchUrlList(fetcher_, address, timeout_s_);
  result.fetched = list.fetched;
  result.cut = list.cut;
  result.error = std::move(list.error);
  result.status_error = std::move(list.status_error);
  if (result.fetched) {
    result.added = commands_.AppendBytes(list.bytes, nullptr);
    if (result.added == 0) {
      result.error = "no address:port line";
      result.status_error = "没有“IP:端口”行";
    }
  }
  commands_.FinishImport();
  if (!result.Worked()) {
    state_.SetText(control::kStatusLine, "从网址导入代理IP失败：" + result.status_error);
  } else if (result.cut) {
    state_.SetText(control::kStatusLine,
                   state_.Text(control::kStatusLine) + "（列表超过32 MiB，只导入了前面部分）");
  }
  return result;
}

}  // namespace lumvex
