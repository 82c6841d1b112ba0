#include "update/downloader.h"

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <vector>

#include "platform/file_io.h"
#include "temp_dir.h"
#include "update/file_digest.h"
#include "update/update_test_support.h"
#include "update_servers/download_server.h"

namespace lumvex::update {
namespace {

using lumvex::testing::FileNames;
using lumvex::testing::TempDir;
using lumvex::testing::WaitOnUi;
using tools::DownloadContent;
using tools::DownloadServer;
using tools::KnownBody;

struct Event {
  int code;
  std::int64_t value;
};

class DownloaderTest : public ::testing::Test {
 protected:
  // Events still queued must not reach the fixture while it goes away.
  void TearDown() override {
    downloader_.Shutdown();
    ui_.Drain();
    ui_.Close();
  }

  // Starts a download of `url` into "new" of the scratch directory; events are recorded.
  void Start(const std::string& url, long attempts = 1, const std::string& sha256 = "") {
    TaskParam task;
    task.address = url;
    task.target_path = Target();
    task.expected_sha256 = sha256;
    task.attempts = attempts;
    task.retry_pause_ms = 10;
    task.max_bytes = max_bytes_;
    task.on_event = [this](int code, std::int64_t value) {
      events_.push_back({code, value});
      return 0;
    };
    ASSERT_TRUE(downloader_.Start(task));
  }
  std::string Target() const { return dir_.File("new"); }
  bool WaitForFinalEvent() {
    return WaitOnUi(ui_, [this] {
      return !events_.empty() &&
             (events_.back().code == kEventComplete || events_.back().code == kEventFailed);
    });
  }

  TempDir dir_;
  HeadlessUiThread ui_;
  http::FetchClient fetcher_{nullptr};
  Downloader downloader_{ui_, fetcher_};
  std::int64_t max_bytes_ = TaskParam{}.max_bytes;
  std::vector<Event> events_;  // UI thread only
};

TEST_F(DownloaderTest, ACompleteDownloadReportsItsSizeThenCompletion) {
  const std::string body = KnownBody(300000);
  DownloadServer server({body, 2000000});
  ASSERT_TRUE(server.Start());
  Start(server.Url());
  ASSERT_TRUE(WaitForFinalEvent());
  ui_.RunSync([&] {
    ASSERT_EQ(events_.size(), 2u);
    EXPECT_EQ(events_[0].code, kEventTotalSize);
    EXPECT_EQ(events_[0].value, 300000);
    EXPECT_EQ(events_[1].code, kEventComplete);
    EXPECT_EQ(events_[1].value, 300000);
  });
  EXPECT_EQ(ReadWholeFile(Target()), body);
  struct stat info {};
  ASSERT_EQ(stat(Target().c_str(), &info), 0);
  EXPECT_NE(info.st_mode & S_IXUSR, 0u);
  // The temporary file was renamed, nothing else is left.
  EXPECT_EQ(FileNames(dir_.path()), std::vector<std::string>{"new"});
  EXPECT_EQ(downloader_.BytesReceived(), 300000);
  EXPECT_FALSE(downloader_.Running());
}

// With a digest to match, only the published file is put in place and made executable; any
// other is deleted and reported as such.
TEST_F(DownloaderTest, ADigestThatDiffersDeletesTheFile) {
  const std::string body = KnownBody(100000);
  struct Case {
    std::string sha256;
    bool placed;
  };
  std::string wrong = Sha256Hex(body);
  wrong[0] = wrong[0] == '0' ? '1' : '0';
  const Case cases[] = {{Sha256Hex(body), true}, {wrong, false}, {Sha256Hex(""), false}};
  DownloadServer server({body});
  ASSERT_TRUE(server.Start());
  for (const Case& c : cases) {
    ui_.RunSync([&] { events_.clear(); });
    RemoveFile(Target());
    Start(server.Url(), 1, c.sha256);
    ASSERT_TRUE(WaitForFinalEvent());
    ui_.RunSync([&] {
      EXPECT_EQ(events_.back().code, c.placed ? kEventComplete : kEventFailed) << c.sha256;
      if (!c.placed) {
        EXPECT_EQ(events_.back().value, kFailedDigest);
      }
    });
    EXPECT_EQ(FileNames(dir_.path()),
              c.placed ? std::vector<std::string>{"new"} : std::vector<std::string>{});
  }
}

// A file that has the target's name (one that took it while the download ran) is left as it
// was.
TEST_F(DownloaderTest, AnExistingFileIsNeverReplaced) {
  DownloadServer server({KnownBody(20000)});
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(WriteWholeFile(Target(), "notes"));
  Start(server.Url());
  ASSERT_TRUE(WaitForFinalEvent());
  ui_.RunSync([&] {
    EXPECT_EQ(events_.back().code, kEventFailed);
    EXPECT_EQ(events_.back().value, kFailedNameTaken);
  });
  EXPECT_EQ(ReadWholeFile(Target()), "notes");
  struct stat info {};
  ASSERT_EQ(stat(Target().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & S_IXUSR, 0u);
  EXPECT_EQ(FileNames(dir_.path()), std::vector<std::string>{"new"});
}

TEST_F(DownloaderTest, AConnectionCutMidBodyFailsAndLeavesNoFile) {
  DownloadContent content{KnownBody(200000)};
  content.fail_after = 50000;
  DownloadServer server(content);
  ASSERT_TRUE(server.Start());
  Start(server.Url());
  ASSERT_TRUE(WaitForFinalEvent());
  ui_.RunSync([&] {
    ASSERT_EQ(events_.size(), 2u);
    EXPECT_EQ(events_[0].code, kEventTotalSize);
    EXPECT_EQ(events_[1].code, kEventFailed);
  });
  EXPECT_TRUE(FileNames(dir_.path()).empty());
}

TEST_F(DownloaderTest, AnErrorPageIsNotTakenForTheProgram) {
  DownloadContent content{KnownBody(1000)};
  content.status = 404;
  DownloadServer server(content);
  ASSERT_TRUE(server.Start());
  Start(server.Url());
  ASSERT_TRUE(WaitForFinalEvent());
  ui_.RunSync([&] {
    ASSERT_EQ(events_.size(), 1u);
    EXPECT_EQ(events_[0].code, kEventFailed);
  });
  EXPECT_TRUE(FileNames(dir_.path()).empty());
}

// A body longer than the task allows ends the transfer and leaves no file, whether its announced
// length gives it away before any byte is written or it only runs past the limit midway.
TEST_F(DownloaderTest, ABodyOverTheLimitFailsAndLeavesNoFile) {
  max_bytes_ = 50000;
  for (const bool send_length : {true, false}) {
    DownloadContent content{KnownBody(200000)};
    content.send_length = send_length;
    DownloadServer server(content);
    ASSERT_TRUE(server.Start());
    ui_.RunSync([&] { events_.clear(); });
    Start(server.Url());
    ASSERT_TRUE(WaitForFinalEvent());
    ui_.RunSync([&] {
      ASSERT_EQ(events_.size(), 1u) << send_length;
      EXPECT_EQ(events_[0].code, kEventFailed);
      EXPECT_EQ(events_[0].value, CURLE_WRITE_ERROR);
    });
    EXPECT_LE(downloader_.BytesReceived(), max_bytes_);
    EXPECT_TRUE(FileNames(dir_.path()).empty());
  }
}

TEST_F(DownloaderTest, ARefusedConnectionIsTriedAgainThenFails) {
  uint16_t port = 0;
  {
    DownloadServer gone({""});
    ASSERT_TRUE(gone.Start());
    port = gone.port();
  }
  Start("http://127.0.0.1:" + std::to_string(port) + "/x", 3);
  ASSERT_TRUE(WaitForFinalEvent());
  ui_.RunSync([&] {
    ASSERT_EQ(events_.size(), 1u);
    EXPECT_EQ(events_[0].code, kEventFailed);
  });
  EXPECT_TRUE(FileNames(dir_.path()).empty());
}

TEST_F(DownloaderTest, WithoutALengthTheEndOfTheConnectionCompletesIt) {
  DownloadContent content{KnownBody(5000)};
  content.send_length = false;
  DownloadServer server(content);
  ASSERT_TRUE(server.Start());
  Start(server.Url());
  ASSERT_TRUE(WaitForFinalEvent());
  ui_.RunSync([&] {
    ASSERT_EQ(events_.size(), 1u);
    EXPECT_EQ(events_[0].code, kEventComplete);
  });
  EXPECT_EQ(ReadWholeFile(Target()), content.body);
}

TEST_F(DownloaderTest, ShutdownCancelsASlowTransferQuietly) {
  DownloadServer server({KnownBody(1 << 20), 20000});
  ASSERT_TRUE(server.Start());
  Start(server.Url());
  ASSERT_TRUE(WaitOnUi(ui_, [this] { return downloader_.BytesReceived() > 0; }));
  EXPECT_TRUE(downloader_.Running());
  EXPECT_FALSE(downloader_.Start(TaskParam{}));  // one transfer at a time
  downloader_.Shutdown();
  ui_.Drain();
  ui_.RunSync([&] {
    for (const Event& event : events_) EXPECT_NE(event.code, kEventComplete);
    for (const Event& event : events_) EXPECT_NE(event.code, kEventFailed);
  });
  EXPECT_TRUE(FileNames(dir_.path()).empty());
}

TEST_F(DownloaderTest, SpeedFiguresFollowTheTransfer) {
  DownloadServer server({KnownBody(400000), 200000});
  ASSERT_TRUE(server.Start());
  Start(server.Url());
  ASSERT_TRUE(WaitOnUi(ui_, [this] { return downloader_.TaskSpeed() > 0; }));
  EXPECT_GT(downloader_.OverallSpeed(), 0);
  ASSERT_TRUE(WaitForFinalEvent());
}

}  // namespace
}  // namespace lumvex::update
