#include "sysproxy/mode_restoring_system_proxy.h"

#include <string_view>
#include <utility>

#include "platform/file_io.h"

namespace lumvex {

ModeRestoringSystemProxy::ModeRestoringSystemProxy(std::shared_ptr<SystemProxy> store,
                                                   DataDir data_dir)
    : ForwardingSystemProxy(std::move(store)),
      data_dir_(std::move(data_dir)),
      record_path_(data_dir_.PathOf(DataFile::kProxyMode)) {}

AutomaticModes ModeRestoringSystemProxy::Recorded() const {
  AutomaticModes modes;
  const std::string text = ReadWholeFile(record_path_).value_or("");
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // The stores check the values: a line they do not know puts nothing back.
    const std::size_t equals = line.find('=');
    if (equals != std::string_view::npos && equals > 0) {
      modes[std::string(line.substr(0, equals))] = std::string(line.substr(equals + 1));
    }
  }
  return modes;
}

bool ModeRestoringSystemProxy::RecordModes() {
  // Without a store there is nothing to replace, and a record left for a store must stay.
  if (!store_->Available()) return false;
  // Written before the switch, so a crash right after it still leaves the way back.
  const AutomaticModes modes = store_->ModesToRestore(Recorded());
  if (modes.empty()) {
    RemoveFile(record_path_);
  } else {
    std::string text;
    for (const auto& [store, mode] : modes) text += store + "=" + mode + "\r\n";
    data_dir_.EnsureDataDir();
    WriteWholeFile(record_path_, text);
  }
  return true;
}

bool ModeRestoringSystemProxy::Enable(const std::string& host, int port, ProxyKind kind,
                                      const text::ProxyLogin& login) {
  return RecordModes() && store_->Enable(host, port, kind, login);
}

bool ModeRestoringSystemProxy::EnableGateway(const std::string& host, int http_port,
                                             int socks_port) {
  return RecordModes() && store_->EnableGateway(host, http_port, socks_port);
}

bool ModeRestoringSystemProxy::DisableRestoring(const AutomaticModes& before) {
  AutomaticModes modes = before;
  modes.merge(Recorded());  // `before` wins where both name a store
  const bool off = store_->DisableRestoring(modes);
  // Kept while a store may still be on the manual proxy, so the next switch-off can still use it.
  if (off) RemoveFile(record_path_);
  return off;
}

}  // namespace lumvex
