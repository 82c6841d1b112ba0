// The update manifest page: the maker's web page whose GBK text carries marked fields
// (name + "：【" + value + "】" + name). Fields are cut from the page's bytes as received and only
// the cut value is decoded, so the markers match a GBK page.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace lumvex::update {

// The value between the first `open_marker` and the first `close_marker` after it, both found
// without regard to ASCII letter case, at character boundaries of the GBK page; empty when
// either is missing. Markers and result are UTF-8; `gbk_page` is the page's raw bytes.
std::string ManifestField(std::string_view gbk_page, std::string_view open_marker,
                          std::string_view close_marker);

// Byte offset of `gbk_needle` in `gbk_text` at or after `from` (a character boundary), matching
// only at character boundaries (a byte with the high bit set takes the next byte with it) and
// folding ASCII letters; npos when absent.
std::size_t FindGbkIgnoringCase(std::string_view gbk_text, std::string_view gbk_needle,
                                std::size_t from = 0);

// True when nothing is left after removing every ASCII space and every full-width space.
bool IsBlank(std::string_view utf8);
// The text without ASCII and full-width spaces.
std::string WithoutSpaces(std::string_view utf8);

// Name of the optional field with the SHA-256 of the download.
inline constexpr std::string_view kSha256FieldName = "SHA256校验";

// Names of the nine release-note fields: 更新说明一 ... 更新说明九.
const std::array<std::string, 9>& NoteFieldNames();

class ManifestPage {
 public:
  ManifestPage() = default;
  // The page bytes as received; they are cut at their first zero byte, as a text is.
  explicit ManifestPage(std::string gbk_bytes);

  // A page counts as a manifest only when it holds "【" anywhere.
  bool IsManifest() const;
  // The field named `name` (UTF-8, for example "新版本"): the value between name + "：【" and
  // "】" + name.
  std::string Field(std::string_view name) const;
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// The update window's twelve texts and the download's digest, each empty when absent from the
// page.
struct UpdateFields {
  std::string old_version;           // 旧版本
  std::string new_version;           // 新版本
  std::array<std::string, 9> notes;  // 更新说明一 ... 更新说明九
  std::string download_address;      // 下载地址
  // SHA256校验: the SHA-256 of the file at 下载地址, 64 hex digits; optional.
  std::string sha256;

  friend bool operator==(const UpdateFields&, const UpdateFields&) = default;
};
UpdateFields ReadUpdateFields(const ManifestPage& page);

// The seven fields the start-up applies to the main window.
struct RemoteSettings {
  std::string tray_caption;          // 托盘网址
  std::string tray_address;          // 托盘网址一
  std::string about_address;         // 版权网址
  std::array<std::string, 3> links;  // 友情链接一, 二, 三
  std::string picture_visible;       // 主界面的图片可视
};
RemoteSettings ReadRemoteSettings(const ManifestPage& page);

}  // namespace lumvex::update
