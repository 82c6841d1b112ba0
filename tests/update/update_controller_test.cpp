#include "app/update_controller.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "http/fetch_client.h"
#include "platform/file_io.h"
#include "proxylist/agent_file.h"
#include "support/scripted_prompts.h"
#include "temp_dir.h"
#include "update/file_digest.h"
#include "update/manifest_fetcher.h"
#include "update/update_test_support.h"
#include "update_servers/download_server.h"
#include "update_servers/manifest_server.h"

namespace lumvex {
namespace {

using lumvex::testing::FileNames;
using lumvex::testing::PageSource;
using lumvex::testing::ScriptedPrompts;
using lumvex::testing::TempDir;
using lumvex::testing::WaitOnUi;
using tools::ManifestContent;
using tools::ManifestPageText;
using update::UpdateWindowView;

constexpr std::string_view kTitle = "LumvexIP代理验证 V1.3";

std::string Field(const std::string& name, const std::string& value) {
  return name + "：【" + value + "】" + name;
}

class UpdateControllerTest : public ::testing::Test {
 protected:
  // Nothing may still run on the UI thread while the controller and the fixture go away.
  void TearDown() override {
    if (controller_) controller_->Shutdown();
    if (real_source_) real_source_->Shutdown();
    ui_.Drain();
    ui_.Close();
  }

  // A controller reading pages from `source_` (or, with `real_source`, from the manifest URL).
  UpdateController& Controller(bool real_source = false,
                               const std::string& manifest_url = "http://127.0.0.1:1/m") {
    ShellConfig shell_config;
    shell_config.run_directory = run_dir_.path();
    shell_config.data_dir = DataDir(run_dir_.File("data"));
    shell_ = std::make_unique<ShellController>(state_, session_, list_, prompts_, shell_config);
    UpdateConfig config;
    config.manifest_url = manifest_url;
    config.file_share_url = "http://files.test/share";
    config.download_directory = Updates();
    config.start_process = [this](const std::string& path, const std::vector<std::string>& args) {
      started_.push_back(path);
      started_args_ = args;
      return true;
    };
    config.restart_arguments = [] { return std::vector<std::string>{"--data-dir", "/d"}; };
    double clock = 100;
    config.seconds_now = [clock]() mutable { return clock += 2.5; };
    if (real_source) real_source_ = std::make_unique<update::ManifestFetcher>(ui_, fetcher_);
    update::ManifestSource& source =
        real_source ? static_cast<update::ManifestSource&>(*real_source_) : source_;
    controller_ = std::make_unique<UpdateController>(ui_, state_, *shell_, prompts_, config, source,
                                                     fetcher_);
    return *controller_;
  }

  // Downloads go into a folder of their own in the data directory.
  std::string Updates() const { return run_dir_.File("data") + "/updates"; }

  void OnUi(const std::function<void()>& fn) {
    ASSERT_TRUE(ui_.RunSync(fn));
    ui_.Drain();  // answers posted by the source
  }
  UpdateWindowView View() {
    UpdateWindowView view;
    ui_.RunSync([&] { view = controller_->Window().View(); });
    return view;
  }
  void StartUp() {
    OnUi([&] { controller_->BeginStartupManifest(); });
    OnUi([&] { controller_->StartupVersionNotice(); });
  }
  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const auto& message : prompts_.messages) texts.push_back(message.text);
    return texts;
  }

  TempDir run_dir_;
  HeadlessUiThread ui_;
  MainWindowState state_{ui_};
  WindowSession session_;
  ProxyList list_{ui_};
  ScriptedPrompts prompts_;
  PageSource source_{ui_};
  http::FetchClient fetcher_{nullptr};
  std::unique_ptr<update::ManifestFetcher> real_source_;
  std::unique_ptr<ShellController> shell_;
  std::unique_ptr<UpdateController> controller_;
  std::vector<std::string> started_;
  std::vector<std::string> started_args_;
};

TEST_F(UpdateControllerTest, StartupAppliesTheRemoteSettingsThenAnnouncesTheNewVersion) {
  ManifestContent content;
  content.links = {"博客|http://blog.test/", "说明|http://help.test/", "0|0"};
  source_.SetPage(ManifestPageText(content));
  state_.Apply({ControlChange::Text(Link::kThird, "第三"),
                ControlChange::Target(Link::kThird, "http://third.test/")});
  Controller();
  prompts_.QueueAnswer(MessageAnswer::kCancel);
  StartUp();
  EXPECT_EQ(state_.Text(TrayItem::kWebSite), "www.lumvex.example.com");
  EXPECT_EQ(session_.Get().tray_web_address, "http://www.lumvex.example.com/");
  EXPECT_EQ(session_.Get().about_web_address, "http://www.lumvex.example.com/about");
  EXPECT_EQ(state_.Get(Link::kBlog).text, "博客");
  EXPECT_EQ(state_.Get(Link::kBlog).target, "http://blog.test/");
  EXPECT_EQ(state_.Get(Link::kSecond).text, "说明");
  // "0|0" leaves the third label as it was; "yes" shows the picture and hides the labels 2 and
  // 3 that have a caption.
  EXPECT_EQ(state_.Get(Link::kThird).text, "第三");
  EXPECT_TRUE(state_.Visible(control::kProxyPicture));
  EXPECT_FALSE(state_.Get(Link::kSecond).visible);
  EXPECT_FALSE(state_.Get(Link::kThird).visible);
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text,
            "发现新版本，请及时更新！\r\n\r\n当前版本：LumvexIP代理验证 V1.3   \r\n\r\n新  版  本："
            "LumvexIP代理验证 V1.4    ");
  EXPECT_EQ(prompts_.messages[0].buttons, MessageButtons::kOkCancel);
  EXPECT_EQ(prompts_.messages[0].icon, MessageIcon::kInformation);
  // Cancel: no update window.
  EXPECT_FALSE(View().open);
  EXPECT_EQ(source_.urls, std::vector<std::string>{"http://127.0.0.1:1/m"});
}

TEST_F(UpdateControllerTest, LinkValuesAndPictureVisibilityRules) {
  state_.Apply({ControlChange::Text(Link::kBlog, "原一"),
                ControlChange::Target(Link::kBlog, "http://one.test/")});
  state_.Apply({ControlChange::Text(Link::kSecond, "原二"),
                ControlChange::Target(Link::kSecond, "http://two.test/")});
  state_.Apply({ControlChange::Text(Link::kThird, ""), ControlChange::Target(Link::kThird, "")});
  source_.SetPage(Field("新版本", std::string(kTitle)) + Field("友情链接一", "无竖线") +
                  Field("友情链接二", "甲|http://a.test/|多余") + Field("友情链接三", " 0 | 0 ") +
                  Field("主界面的图片可视", "no"));
  state_.SetVisible(control::kProxyPicture, true);
  state_.SetVisible(Link::kSecond, false);
  state_.SetVisible(Link::kThird, false);
  Controller();
  StartUp();
  EXPECT_EQ(state_.Get(Link::kBlog).text, "原一");  // no "|": untouched
  EXPECT_EQ(state_.Get(Link::kSecond).text, "甲");  // three pieces: the first two
  EXPECT_EQ(state_.Get(Link::kSecond).target, "http://a.test/");
  EXPECT_EQ(state_.Get(Link::kThird).text, "");  // "0|0" once spaces are gone
  // "no": picture hidden, label 2 (with a caption) shown, label 3 (blank caption) untouched.
  EXPECT_FALSE(state_.Visible(control::kProxyPicture));
  EXPECT_TRUE(state_.Get(Link::kSecond).visible);
  EXPECT_FALSE(state_.Get(Link::kThird).visible);
  // The running version: no notice.
  EXPECT_TRUE(prompts_.messages.empty());
  // Upper-case YES changes nothing; blank settings leave the defaults.
  source_.SetPage(Field("新版本", std::string(kTitle)) + Field("主界面的图片可视", "YES") +
                  Field("托盘网址", " 　"));
  Controller();
  StartUp();
  EXPECT_FALSE(state_.Visible(control::kProxyPicture));
  EXPECT_EQ(state_.Text(TrayItem::kWebSite), std::string(kDefaultWebSiteCaption));
}

TEST_F(UpdateControllerTest, NoticeOutcomes) {
  // Not a manifest: nothing at all.
  source_.SetPage("<html>新版本：没有括号</html>");
  Controller();
  StartUp();
  EXPECT_TRUE(prompts_.messages.empty());
  // A manifest without 新版本 announces an empty version; OK opens the update window.
  source_.SetPage("【" + Field("旧版本", "V1.3"));
  Controller();
  prompts_.QueueAnswer(MessageAnswer::kOk);
  StartUp();
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text,
            "发现新版本，请及时更新！\r\n\r\n当前版本：LumvexIP代理验证 V1.3   \r\n\r\n新  版  本："
            "    ");
  EXPECT_TRUE(View().open);
  // The window fetched its own copy.
  EXPECT_EQ(source_.urls.size(), 3u);
}

TEST_F(UpdateControllerTest, ManualCheckMessagesAndWindow) {
  Controller();
  source_.SetRawPage("");
  OnUi([&] { controller_->CheckForUpdate(); });
  source_.SetPage(Field("新版本", std::string(kTitle)));
  OnUi([&] { controller_->CheckForUpdate(); });
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"无法检测更新，请查看网络是否已连接！  ",
                                                      "检测完毕，暂无新的版本！  "}));
  EXPECT_FALSE(View().open);
  // A different title opens the window at once, without a message.
  source_.SetPage(Field("新版本", "LumvexIP代理验证 V1.2"));
  OnUi([&] { controller_->CheckForUpdate(); });
  EXPECT_EQ(prompts_.messages.size(), 2u);
  EXPECT_TRUE(View().open);
  EXPECT_EQ(View().new_version, "新版本：LumvexIP代理验证 V1.2");
}

TEST_F(UpdateControllerTest, WindowShowsNotesOneThreeAndFiveInOrder) {
  source_.SetPage(Field("新版本", "V2") + Field("更新说明一", "一") + Field("更新说明二", " ") +
                  Field("更新说明三", "三") + Field("更新说明五", "五") +
                  Field("下载地址", "http://127.0.0.1:1/a"));
  Controller();
  OnUi([&] { controller_->OpenUpdateWindow(); });
  UpdateWindowView view = View();
  EXPECT_EQ(view.notes, (std::vector<std::string>{"一", "三", "五"}));
  EXPECT_EQ(view.current_version, "当前版本：LumvexIP代理验证 V1.3");
  EXPECT_EQ(view.new_version, "新版本：V2");
  EXPECT_TRUE(view.update_enabled);
  EXPECT_EQ(view.progress_text, "等待下载...");
  // A blank 下载地址 on the next opening keeps the earlier address.
  OnUi([&] { controller_->CloseUpdateWindow(); });
  source_.SetPage(Field("新版本", "V3") + Field("旧版本", "V1") + Field("下载地址", "　"));
  OnUi([&] { controller_->OpenUpdateWindow(); });
  EXPECT_EQ(controller_->DownloadAddress(), "http://127.0.0.1:1/a");
  EXPECT_EQ(View().current_version, "当前版本：V1");
  EXPECT_TRUE(View().notes.empty());
  // No page at all: the running title and "无".
  OnUi([&] { controller_->CloseUpdateWindow(); });
  source_.SetRawPage("");
  OnUi([&] { controller_->OpenUpdateWindow(); });
  EXPECT_EQ(View().current_version, "当前版本：LumvexIP代理验证 V1.3");
  EXPECT_EQ(View().new_version, "新版本：无");
  EXPECT_EQ(controller_->DownloadAddress(), "http://127.0.0.1:1/a");
  OnUi([&] { controller_->OpenFileSharePage(); });
  EXPECT_EQ(prompts_.opened_addresses, std::vector<std::string>{"http://files.test/share"});
}

TEST_F(UpdateControllerTest, UnusableNameOrAddressRefusesTheDownload) {
  source_.SetPage(Field("新版本", "") + Field("下载地址", "http://127.0.0.1:1/a"));
  Controller();
  OnUi([&] { controller_->OpenUpdateWindow(); });
  OnUi([&] { controller_->StartUpdateDownload(); });
  source_.SetPage(Field("新版本", "V2") + Field("下载地址", "file:///etc/passwd"));
  OnUi([&] { controller_->CloseUpdateWindow(); });
  OnUi([&] { controller_->OpenUpdateWindow(); });
  OnUi([&] { controller_->StartUpdateDownload(); });
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{std::string(kUnusableNameMessage),
                                                      std::string(kUnusableAddressMessage)}));
  // Nothing started: both buttons usable, the main window where it was.
  EXPECT_TRUE(View().exit_enabled);
  EXPECT_TRUE(View().update_enabled);
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kNormal);
  EXPECT_FALSE(controller_->Download().Running());
}

// The whole path against the loopback manifest page and download server.
class UpdatePathTest : public UpdateControllerTest {
 protected:
  void Serve(const std::string& new_version, tools::DownloadContent download) {
    download_ = std::make_unique<tools::DownloadServer>(std::move(download));
    ASSERT_TRUE(download_->Start());
    ManifestContent content;
    content.new_version = new_version;
    content.download_address = download_->Url();
    manifest_ = std::make_unique<tools::ManifestServer>(content);
    ASSERT_TRUE(manifest_->Start());
    Controller(true, manifest_->Url());
  }
  void OpenAndDownload() {
    OnUi([&] { controller_->CheckForUpdate(); });
    ASSERT_TRUE(WaitOnUi(ui_, [&] {
      const UpdateWindowView& view = controller_->Window().View();
      return view.open && view.update_enabled;
    }));
    OnUi([&] { controller_->StartUpdateDownload(); });
  }
  bool WaitForEnd() {
    return WaitOnUi(ui_, [&] {
      const UpdateWindowView& view = controller_->Window().View();
      return !view.open || view.progress_text == "下载失败";
    });
  }

  std::unique_ptr<tools::DownloadServer> download_;
  std::unique_ptr<tools::ManifestServer> manifest_;
};

TEST_F(UpdatePathTest, YesStartsTheNewProgramAndTheOldOneSavesItsListAndEnds) {
  Serve("LumvexIP代理验证 V1.4", {tools::KnownBody(200000), 400000});
  ASSERT_TRUE(list_.AddRow(ProxyEntry{{"1.2.3.4", "80", "成功", "0.5", "北京", "1天"}}) >= 0);
  prompts_.QueueAnswer(MessageAnswer::kYes);
  OpenAndDownload();
  // Downloading: both buttons off, the main window in the tray, the timer running.
  EXPECT_FALSE(View().exit_enabled);
  EXPECT_FALSE(View().update_enabled);
  EXPECT_TRUE(View().timer_running);
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kMinimisedToTray);
  OnUi([&] { controller_->ShowDownloadProgress(); });
  ASSERT_TRUE(WaitForEnd());
  const std::string target = Updates() + "/LumvexIP代理验证 V1.4";
  EXPECT_EQ(ReadWholeFile(target), tools::KnownBody(200000));
  EXPECT_EQ(controller_->DownloadTotalBytes(), 200000);
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text,
            "程序更新完毕，是否现在重新运行？  \r\n\r\n新版本已保存到：" + target);
  EXPECT_EQ(prompts_.messages[0].buttons, MessageButtons::kYesNo);
  EXPECT_EQ(prompts_.messages[0].icon, MessageIcon::kQuestion);
  // The completed state, then the new program started with this one's arguments.
  const UpdateWindowView view = View();
  EXPECT_EQ(view.progress, 100);
  EXPECT_EQ(view.progress_text, "已完成:100%");
  EXPECT_EQ(view.size_text, "文件大小:0.19M");
  EXPECT_EQ(view.time_text, "总耗时:2.5秒");
  EXPECT_EQ(view.percent_text, "正在自动运行请稍等....");
  EXPECT_FALSE(view.open);
  EXPECT_EQ(started_, std::vector<std::string>{target});
  EXPECT_EQ(started_args_, (std::vector<std::string>{"--data-dir", "/d"}));
  EXPECT_EQ(shell_->ExitCount(), 1);
  EXPECT_FALSE(shell_->MainWindowExists());
  const auto rows = ReadAgentFile(lumvex::DataDir(run_dir_.File("data")));
  ASSERT_TRUE(rows.has_value());
  ASSERT_EQ(rows->rows.size(), 1u);
  EXPECT_EQ(rows->rows[0].Cell(0), "1.2.3.4");
}

TEST_F(UpdatePathTest, NoBringsTheMainWindowBackAndKeepsTheFile) {
  Serve("V9", {tools::KnownBody(5000)});
  prompts_.QueueAnswer(MessageAnswer::kNo);
  OpenAndDownload();
  ASSERT_TRUE(WaitForEnd());
  EXPECT_TRUE(started_.empty());
  EXPECT_EQ(shell_->ExitCount(), 0);
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kNormal);
  EXPECT_FALSE(View().open);
  EXPECT_TRUE(FileExists(Updates() + "/V9"));
}

TEST_F(UpdatePathTest, AFailedDownloadSaysSoAndLetsTheUserLeave) {
  tools::DownloadContent content{tools::KnownBody(100000)};
  content.fail_after = 1000;
  Serve("V9", content);
  OpenAndDownload();
  ASSERT_TRUE(WaitForEnd());
  const UpdateWindowView view = View();
  EXPECT_TRUE(view.open);
  EXPECT_EQ(view.progress_text, "下载失败");
  EXPECT_TRUE(view.exit_enabled);
  EXPECT_FALSE(view.update_enabled);
  EXPECT_FALSE(view.timer_running);
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kMinimisedToTray);
  EXPECT_EQ(FileNames(Updates()), std::vector<std::string>{});
  // "退出更新" brings back the main window the download hid, once.
  OnUi([&] { controller_->CloseUpdateWindow(); });
  EXPECT_FALSE(View().open);
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kNormal);
  OnUi([&] {
    shell_->MinimiseToTray();
    controller_->CloseUpdateWindow();
  });
  EXPECT_EQ(static_cast<WindowMode>(state_.Value(control::kWindow)), WindowMode::kMinimisedToTray);
}

TEST_F(UpdatePathTest, ASecondDownloadWhileTheFirstRunsSaysItFailed) {
  Serve("V9", {tools::KnownBody(1 << 20), 20000});
  OpenAndDownload();
  // The window is closed by its close box while the download goes on, then opened again.
  OnUi([&] { controller_->CloseUpdateWindow(); });
  OpenAndDownload();
  const UpdateWindowView view = View();
  EXPECT_EQ(view.progress_text, "下载失败");
  EXPECT_TRUE(view.exit_enabled);
  EXPECT_FALSE(view.timer_running);
  EXPECT_TRUE(controller_->Download().Running());
}

TEST_F(UpdatePathTest, HostileVersionTitlesNeverWriteOutsideTheRunDirectory) {
  Serve("../../x", {tools::KnownBody(1000)});
  prompts_.QueueAnswer(MessageAnswer::kNo);
  OpenAndDownload();
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(controller_->TargetPath(), Updates() + "/x");
  EXPECT_EQ(FileNames(Updates()), std::vector<std::string>{"x"});

  ManifestContent content;
  content.new_version = "/etc/passwd";
  content.download_address = download_->Url();
  manifest_->SetContent(content);
  prompts_.QueueAnswer(MessageAnswer::kNo);
  OpenAndDownload();
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(controller_->TargetPath(), Updates() + "/etcpasswd");
  EXPECT_EQ(FileNames(Updates()), (std::vector<std::string>{"etcpasswd", "x"}));
}

// A title naming a file that is already there (an earlier download, or anything else put in the
// folder) gets a numbered name; the file keeps its bytes and its mode, and the question says
// where the new one is.
TEST_F(UpdatePathTest, AnExistingFileIsNeverReplaced) {
  Serve("notes.txt", {tools::KnownBody(3000)});
  ASSERT_TRUE(EnsureDirectory(run_dir_.File("data")));
  ASSERT_TRUE(EnsureDirectory(Updates()));
  ASSERT_TRUE(WriteWholeFile(Updates() + "/notes.txt", "my notes"));
  for (const std::string name : {"notes.txt (2)", "notes.txt (3)"}) {
    prompts_.QueueAnswer(MessageAnswer::kNo);
    OpenAndDownload();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(controller_->TargetPath(), Updates() + "/" + name);
    EXPECT_EQ(ReadWholeFile(Updates() + "/" + name), tools::KnownBody(3000));
    EXPECT_EQ(prompts_.messages.back().text, RunNowQuestion(Updates() + "/" + name));
  }
  EXPECT_EQ(ReadWholeFile(Updates() + "/notes.txt"), "my notes");
  struct stat info {};
  ASSERT_EQ(stat((Updates() + "/notes.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & S_IXUSR, 0u);
  EXPECT_EQ(FileNames(Updates()),
            (std::vector<std::string>{"notes.txt", "notes.txt (2)", "notes.txt (3)"}));
}

// The manifest's SHA256校验: a download that differs is deleted, reported and never started; one
// that matches runs as before; a value that is no SHA-256 stops the download before it begins.
TEST_F(UpdatePathTest, TheManifestsDigestDecidesWhetherTheFileIsKept) {
  const std::string body = tools::KnownBody(50000);
  std::string wrong = update::Sha256Hex(body);
  wrong[5] = wrong[5] == 'a' ? 'b' : 'a';
  struct Case {
    std::string sha256;
    std::vector<std::string> messages;
    std::vector<std::string> files;
  };
  const Case cases[] = {
      {wrong, {std::string(kDigestMismatchMessage)}, {}},
      {"not a digest", {std::string(kUnusableDigestMessage)}, {}},
      {update::Sha256Hex(body), {RunNowQuestion(Updates() + "/V9")}, {"V9"}},
  };
  Serve("V9", {body});
  for (const Case& c : cases) {
    ManifestContent content;
    content.new_version = "V9";
    content.download_address = download_->Url();
    content.sha256 = c.sha256;
    manifest_->SetContent(content);
    prompts_.messages.clear();
    prompts_.QueueAnswer(MessageAnswer::kNo);
    OpenAndDownload();
    if (c.messages[0] != kUnusableDigestMessage) {
      ASSERT_TRUE(WaitForEnd());
    }
    EXPECT_EQ(MessageTexts(), c.messages) << c.sha256;
    EXPECT_EQ(DirectoryExists(Updates()) ? FileNames(Updates()) : std::vector<std::string>{},
              c.files)
        << c.sha256;
    OnUi([&] { controller_->CloseUpdateWindow(); });
  }
  EXPECT_TRUE(started_.empty());
}

}  // namespace
}  // namespace lumvex
