#include "app/url_import_controller.h"

#include <utility>

#include "app/list_body.h"
#include "app/main_window_controls.h"
#include "app/settings/ini_file.h"
#include "app/window_events.h"
#include "http/http_limits.h"
#include "text/text_util.h"

namespace lumvex {

int LastStatusCode(std::string_view header_block) {
  int code = 0;
  for (const std::string& line : text::Split(header_block, "\n")) {
    if (!text::StartsWith(line, "HTTP/")) continue;
    const std::size_t space = line.find(' ');
    if (space == std::string::npos) continue;
    code = text::AtoI(std::string_view(line).substr(space + 1));
  }
  return code;
}

UrlImportController::UrlImportController(MainWindowState& state, ListCommandsController& commands,
                                         UserPrompts& prompts, http::FetchClient& fetcher,
                                         DataDir data_dir)
    : state_(state),
      commands_(commands),
      prompts_(prompts),
      fetcher_(fetcher),
      data_dir_(std::move(data_dir)) {}

std::string UrlImportController::LastAddress() const {
  std::string kept =
      ReadSetting(data_dir_.FilePath(std::string(kListUrlName)), kListUrlName, kListUrlName);
  return kept.empty() ? std::string(kDefaultProxyListUrl) : kept;
}

void UrlImportController::SaveAddress(std::string_view address) const {
  data_dir_.EnsureDataDir();
  WriteSetting(data_dir_.FilePath(std::string(kListUrlName)), kListUrlName, kListUrlName, address);
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
  http::FetchOptions options;
  options.timeout_s = timeout_s_;
  options.body_encoding = http::kBodyAsIs;
  options.want_response_headers = true;
  // Compressed lists are decoded here, whether the server was asked or not.
  options.headers = "Accept-Encoding: gzip, deflate\r\n";
  std::string url = address;
  http::FetchResult page = fetcher_.FetchPage(url, options);
  const int status = page.response_headers ? LastStatusCode(*page.response_headers) : 0;
  const auto fail = [&result](std::string error, std::string status_error) {
    result.error = std::move(error);
    result.status_error = std::move(status_error);
  };
  if (page.timed_out) {
    fail("no answer (timed out)", "超时，没有应答");
  } else if (status == 0 && page.body.empty()) {
    fail("no answer", "没有应答");
  } else if (status != 0 && (status < 200 || status > 299)) {
    // An error page is no list: its words would become rows.
    fail("HTTP " + text::FormatInt(status), "HTTP " + text::FormatInt(status));
  } else if (page.body.empty()) {
    fail("empty answer", "内容为空");
  } else {
    result.fetched = true;
    const bool arrived_cut = page.body.size() >= http::kMaxBodyBytes;
    ListBody body = PrepareListBody(std::move(page.body), arrived_cut, http::kMaxBodyBytes);
    result.cut = body.cut;
    result.added = commands_.AppendBytes(body.bytes, nullptr);
    if (result.added.empty()) fail("no address:port line", "没有“IP:端口”行");
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
