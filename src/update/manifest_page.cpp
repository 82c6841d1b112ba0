#include "update/manifest_page.h"

#include <utility>

#include "text/codec.h"
#include "text/text_util.h"

namespace lumvex::update {
namespace {

bool IsLeadByte(unsigned char byte) { return byte >= 0x80; }

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether `needle` stands at `at`; double-byte characters compare exactly (their second byte may
// look like an ASCII letter), single bytes without regard to case.
bool MatchesAt(std::string_view text, std::size_t at, std::string_view needle) {
  if (text.size() - at < needle.size()) return false;
  std::size_t j = 0;
  while (j < needle.size()) {
    if (IsLeadByte(static_cast<unsigned char>(needle[j])) && j + 1 < needle.size()) {
      if (text[at + j] != needle[j] || text[at + j + 1] != needle[j + 1]) return false;
      j += 2;
    } else {
      if (FoldAscii(text[at + j]) != FoldAscii(needle[j])) return false;
      ++j;
    }
  }
  return true;
}

}  // namespace

std::size_t FindGbkIgnoringCase(std::string_view gbk_text, std::string_view gbk_needle,
                                std::size_t from) {
  if (gbk_needle.empty()) return std::string_view::npos;
  std::size_t at = from;
  while (at < gbk_text.size() && gbk_text.size() - at >= gbk_needle.size()) {
    if (MatchesAt(gbk_text, at, gbk_needle)) return at;
    at +=
        (IsLeadByte(static_cast<unsigned char>(gbk_text[at])) && at + 1 < gbk_text.size()) ? 2 : 1;
  }
  return std::string_view::npos;
}

std::string ManifestField(std::string_view gbk_page, std::string_view open_marker,
                          std::string_view close_marker) {
  const std::string open = text::EncodeGbk(open_marker);
  const std::string close = text::EncodeGbk(close_marker);
  const std::size_t open_at = FindGbkIgnoringCase(gbk_page, open);
  if (open_at == std::string_view::npos) return {};
  const std::size_t value_start = open_at + open.size();
  const std::size_t close_at = FindGbkIgnoringCase(gbk_page, close, value_start);
  if (close_at == std::string_view::npos) return {};
  return text::DecodeGbk(gbk_page.substr(value_start, close_at - value_start));
}

std::string WithoutSpaces(std::string_view utf8) {
  return text::ReplaceAll(text::ReplaceAll(utf8, " ", ""), "\xE3\x80\x80", "");
}

bool IsBlank(std::string_view utf8) { return WithoutSpaces(utf8).empty(); }

const std::array<std::string, 9>& NoteFieldNames() {
  static const std::array<std::string, 9> kNames = {"更新说明一", "更新说明二", "更新说明三",
                                                    "更新说明四", "更新说明五", "更新说明六",
                                                    "更新说明七", "更新说明八", "更新说明九"};
  return kNames;
}

ManifestPage::ManifestPage(std::string gbk_bytes) : bytes_(std::move(gbk_bytes)) {
  const std::size_t zero = bytes_.find('\0');
  if (zero != std::string::npos) bytes_.resize(zero);
}

bool ManifestPage::IsManifest() const {
  return FindGbkIgnoringCase(bytes_, text::EncodeGbk("【")) != std::string::npos;
}

std::string ManifestPage::Field(std::string_view name) const {
  const std::string field(name);
  return ManifestField(bytes_, field + "：【", "】" + field);
}

UpdateFields ReadUpdateFields(const ManifestPage& page) {
  UpdateFields fields;
  fields.old_version = page.Field("旧版本");
  fields.new_version = page.Field("新版本");
  for (std::size_t i = 0; i < fields.notes.size(); ++i) {
    fields.notes[i] = page.Field(NoteFieldNames()[i]);
  }
  fields.download_address = page.Field("下载地址");
  fields.sha256 = page.Field(kSha256FieldName);
  return fields;
}

RemoteSettings ReadRemoteSettings(const ManifestPage& page) {
  RemoteSettings settings;
  settings.tray_caption = page.Field("托盘网址");
  settings.tray_address = page.Field("托盘网址一");
  settings.about_address = page.Field("版权网址");
  settings.links = {page.Field("友情链接一"), page.Field("友情链接二"), page.Field("友情链接三")};
  settings.picture_visible = page.Field("主界面的图片可视");
  return settings;
}

}  // namespace lumvex::update
