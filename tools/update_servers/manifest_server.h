// A loopback update manifest page for tests and the demo: a GBK page carrying every field, or
// (by switch) no page, a page that is not a manifest, or one announcing the running version.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "fixture/fixture_server.h"

namespace lumvex::tools {

struct ManifestContent {
  enum class Mode { kFull, kAbsent, kNotManifest, kSameVersion };
  Mode mode = Mode::kFull;
  std::string running_version = "LumvexIP代理验证 V1.3";
  std::string new_version = "LumvexIP代理验证 V1.4";
  std::string old_version = "LumvexIP代理验证 V1.3";
  std::array<std::string, 9> notes = {"修复验证时界面卡顿", "新增在线更新", "优化代理列表保存"};
  std::string download_address;  // the download server's address
  std::string sha256;            // the SHA256校验 field; left out when empty
  std::string tray_caption = "www.lumvex.example.com";
  std::string tray_address = "http://www.lumvex.example.com/";
  std::string about_address = "http://www.lumvex.example.com/about";
  std::array<std::string, 3> links = {"Lumvex博客|http://blog.lumvex.example.com/",
                                      "使用说明|http://www.lumvex.example.com/help", "0|0"};
  std::string picture_visible = "yes";
};

// The page text (UTF-8) for `content`: fields in the "name：【value】name" form inside a small
// HTML page; a note that is empty is left out.
std::string ManifestPageText(const ManifestContent& content);

class ManifestServer {
 public:
  // Serves the page (GBK) at every target of a FixtureServer on 127.0.0.1.
  explicit ManifestServer(ManifestContent content, uint16_t port = 0);
  bool Start();
  void Stop();
  // Replaces what later requests get.
  void SetContent(const ManifestContent& content);
  std::string Url() const;  // http://127.0.0.1:<port>/update.html
  FixtureServer& server() { return server_; }

 private:
  FixtureServer server_;
};

}  // namespace lumvex::tools
