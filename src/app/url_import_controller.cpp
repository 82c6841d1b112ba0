#include "app/url_import_controller.h"

#include <utility>

#include "app/main_window_controls.h"
#include "app/settings/ini_file.h"
#include "proxylist/proxy_line_parser.h"
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
  SaveAddress(address);
  state_.SetContextItemEnabled(ContextItem::kImportFromUrl, false);
  commands_.StartThread([this, address] {
    Import(address);
    state_.SetContextItemEnabled(ContextItem::kImportFromUrl, true);
  });
}

UrlImportResult UrlImportController::Import(const std::string& address) {
  UrlImportResult result;
  state_.SetStatus(std::string(kImportingStatus));
  http::FetchOptions options;
  options.timeout_s = timeout_s_;
  options.body_encoding = http::kBodyAsIs;
  options.want_response_headers = true;
  std::string url = address;
  const http::FetchResult page = fetcher_.FetchPage(url, options);
  const int status = page.response_headers ? LastStatusCode(*page.response_headers) : 0;
  if (page.timed_out) {
    result.error = "timed out";
  } else if (page.body.empty()) {
    result.error =
        status != 0 ? "empty answer (HTTP " + text::FormatInt(status) + ")" : "no answer";
  } else if (status != 0 && (status < 200 || status > 299)) {
    // An error page is no list: its words would become rows.
    result.error = "HTTP " + text::FormatInt(status);
  } else {
    result.fetched = true;
    result.added = commands_.AppendLines(DecodeImportBytes(page.body));
  }
  commands_.FinishImport();
  return result;
}

}  // namespace lumvex
