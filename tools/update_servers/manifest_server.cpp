#include "update_servers/manifest_server.h"

#include "text/codec.h"

namespace lumvex::tools {
namespace {

const char* const kNoteNames[9] = {"更新说明一", "更新说明二", "更新说明三",
                                   "更新说明四", "更新说明五", "更新说明六",
                                   "更新说明七", "更新说明八", "更新说明九"};

std::string FieldText(const std::string& name, const std::string& value) {
  return "<p>" + name + "：【" + value + "】" + name + "</p>\r\n";
}

}  // namespace

std::string ManifestPageText(const ManifestContent& content) {
  using Mode = ManifestContent::Mode;
  std::string page =
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">"
      "<title>LumvexIP 更新</title></head><body>\r\n";
  if (content.mode == Mode::kNotManifest) {
    return page + "<p>这里没有更新信息。</p></body></html>\r\n";
  }
  const std::string& new_version =
      content.mode == Mode::kSameVersion ? content.running_version : content.new_version;
  page += FieldText("新版本", new_version);
  page += FieldText("旧版本", content.old_version);
  for (int i = 0; i < 9; ++i) {
    if (!content.notes[i].empty()) page += FieldText(kNoteNames[i], content.notes[i]);
  }
  page += FieldText("下载地址", content.download_address);
  if (!content.sha256.empty()) page += FieldText("SHA256校验", content.sha256);
  page += FieldText("托盘网址", content.tray_caption);
  page += FieldText("托盘网址一", content.tray_address);
  page += FieldText("版权网址", content.about_address);
  page += FieldText("友情链接一", content.links[0]);
  page += FieldText("友情链接二", content.links[1]);
  page += FieldText("友情链接三", content.links[2]);
  page += FieldText("主界面的图片可视", content.picture_visible);
  return page + "</body></html>\r\n";
}

ManifestServer::ManifestServer(ManifestContent content, uint16_t port)
    : server_("127.0.0.1", port) {
  SetContent(content);
}

bool ManifestServer::Start() { return server_.Start(); }

void ManifestServer::Stop() { server_.Stop(); }

void ManifestServer::SetContent(const ManifestContent& content) {
  Reply reply;
  if (content.mode == ManifestContent::Mode::kAbsent) {
    reply.status = 404;
    reply.reason = "Not Found";
  } else {
    reply.headers = {{"Content-Type", "text/html; charset=gbk"}};
    reply.body = text::EncodeGbk(ManifestPageText(content));
  }
  server_.SetDefault(reply);
}

std::string ManifestServer::Url() const { return server_.BaseUrl() + "/update.html"; }

}  // namespace lumvex::tools
