#include "update/downloader.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "http/curl_global.h"
#include "text/text_util.h"
#include "update/file_digest.h"

namespace lumvex::update {
namespace {

using Clock = std::chrono::steady_clock;

long Milliseconds(Clock::duration span) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(span).count());
}

// Failures worth another try: nothing was received because no connection came about.
bool IsConnectFailure(CURLcode code) {
  return code == CURLE_COULDNT_CONNECT || code == CURLE_COULDNT_RESOLVE_HOST ||
         code == CURLE_OPERATION_TIMEDOUT || code == CURLE_RECV_ERROR || code == CURLE_SEND_ERROR ||
         code == CURLE_GOT_NOTHING;
}

// A temporary file beside `target`: "<dir>/.<name>.download-XXXXXX".
std::string TemporaryPattern(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : target.substr(0, slash);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  return directory + "/." + name + ".download-XXXXXX";
}

// Gives `temporary` the name `target` unless a file of that name exists (errno EEXIST then):
// an update must never replace a file it did not create.
bool PlaceWithoutReplacing(const std::string& temporary, const std::string& target) {
  if (renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without that rename: a hard link fails on an existing name just the same.
  if (link(temporary.c_str(), target.c_str()) != 0) return false;
  unlink(temporary.c_str());
  return true;
}

}  // namespace

// One try of one task: the libcurl handle, the open temporary file and the measurements.
class Downloader::Transfer {
 public:
  Transfer(Downloader& owner, const TaskParam& task, FILE* file)
      : owner_(owner), task_(task), file_(file), start_(Clock::now()), window_start_(start_) {}

  CURLcode Perform() {
    CURL* easy = curl_easy_init();
    if (!easy) return CURLE_FAILED_INIT;
    curl_easy_setopt(easy, CURLOPT_URL, task_.address.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    // A download that began on https never continues on plain http.
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR,
                     text::StartsWith(task_.address, "https://", true) ? "https" : "http,https");
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, task_.connect_timeout_ms);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, std::max(1L, task_.idle_timeout_ms / 1000));
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, std::max(1024L, task_.buffer_bytes));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    easy_ = easy;
    CURLcode code = curl_easy_perform(easy);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(easy);
    easy_ = nullptr;
    if (code != CURLE_OK) return code;
    if (failed_ || status < 200 || status > 299) return CURLE_HTTP_RETURNED_ERROR;
    // A connection that ended before the announced size is not a whole file.
    if (length_ >= 0 && received_ != length_) return CURLE_PARTIAL_FILE;
    return CURLE_OK;
  }

  std::int64_t received() const { return received_; }

 private:
  static size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* self = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (!self->checked_) {
      self->checked_ = true;
      long status = 0;
      curl_easy_getinfo(self->easy_, CURLINFO_RESPONSE_CODE, &status);
      // An error page is not the new program.
      if (status < 200 || status > 299) {
        self->failed_ = true;
        return 0;
      }
      curl_off_t length = -1;
      curl_easy_getinfo(self->easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
      if (length > self->task_.max_bytes) {
        self->failed_ = true;
        return 0;
      }
      self->length_ = length;
      if (length >= 0) self->owner_.Emit(self->task_, kEventTotalSize, length);
    }
    if (self->received_ + static_cast<std::int64_t>(bytes) > self->task_.max_bytes) {
      self->failed_ = true;
      return 0;
    }
    if (std::fwrite(data, 1, bytes, self->file_) != bytes) {
      self->failed_ = true;
      return 0;
    }
    self->received_ += static_cast<std::int64_t>(bytes);
    self->owner_.received_.store(self->received_);
    return bytes;
  }

  static int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* self = static_cast<Transfer*>(user);
    if (self->owner_.cancel_.load()) return 1;
    self->Measure();
    return 0;
  }

  void Measure() {
    const Clock::time_point now = Clock::now();
    const long window = Milliseconds(now - window_start_);
    if (window >= std::max(1L, task_.speed_window_ms)) {
      owner_.task_speed_.store((received_ - window_bytes_) * 1000 / window);
      window_start_ = now;
      window_bytes_ = received_;
    }
    const long elapsed = Milliseconds(now - start_);
    if (elapsed > 0) owner_.overall_speed_.store(received_ * 1000 / elapsed);
  }

  Downloader& owner_;
  const TaskParam& task_;
  FILE* file_;
  CURL* easy_ = nullptr;
  bool checked_ = false;
  bool failed_ = false;
  std::int64_t length_ = -1;
  std::int64_t received_ = 0;
  Clock::time_point start_;
  Clock::time_point window_start_;
  std::int64_t window_bytes_ = 0;
};

Downloader::Downloader(UiThread& ui) : ui_(ui) {}

Downloader::~Downloader() { Shutdown(); }

bool Downloader::Start(TaskParam task) {
  if (running_.exchange(true)) return false;
  if (thread_.joinable()) thread_.join();
  cancel_.store(false);
  received_.store(0);
  task_speed_.store(0);
  overall_speed_.store(0);
  http::EnsureCurlGlobalInit();
  thread_ = std::thread([this, task = std::move(task)]() mutable { Run(std::move(task)); });
  return true;
}

void Downloader::Shutdown() {
  {
    std::lock_guard<std::mutex> lock(pause_mutex_);
    cancel_.store(true);
  }
  pause_wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void Downloader::Emit(const TaskParam& task, int code, std::int64_t value) {
  if (cancel_.load() || !task.on_event) return;
  auto handler = task.on_event;
  ui_.Post([handler, code, value] { handler(code, value); });
}

bool Downloader::Pause(long ms) {
  std::unique_lock<std::mutex> lock(pause_mutex_);
  return !pause_wake_.wait_for(lock, std::chrono::milliseconds(ms),
                               [this] { return cancel_.load(); });
}

void Downloader::Run(TaskParam task) {
  std::string temporary = TemporaryPattern(task.target_path);
  const int fd = mkstemp(temporary.data());
  FILE* file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
  if (!file) {
    if (fd >= 0) {
      close(fd);
      unlink(temporary.c_str());
    }
    running_.store(false);
    Emit(task, kEventFailed, kFailedLocally);
    return;
  }
  std::setvbuf(file, nullptr, _IOFBF, static_cast<size_t>(std::max(512L, task.write_buffer_bytes)));

  CURLcode code = CURLE_FAILED_INIT;
  std::int64_t received = 0;
  for (long attempt = 1; attempt <= std::max(1L, task.attempts); ++attempt) {
    if (attempt > 1 && !Pause(task.retry_pause_ms)) break;
    if (std::fseek(file, 0, SEEK_SET) != 0 || ftruncate(fileno(file), 0) != 0) break;
    Transfer transfer(*this, task, file);
    code = transfer.Perform();
    received = transfer.received();
    if (code == CURLE_OK || received > 0 || !IsConnectFailure(code) || cancel_.load()) break;
  }

  bool whole = code == CURLE_OK && !cancel_.load();
  if (std::fflush(file) != 0 || fsync(fileno(file)) != 0) whole = false;
  if (std::fclose(file) != 0) whole = false;
  int failure = code == CURLE_OK ? kFailedLocally : static_cast<int>(code);
  // Checked before the run bit is set and before the file gets its name: a file that is not the
  // one published is never left where it could be started.
  if (whole && !task.expected_sha256.empty() &&
      FileSha256(temporary) != std::optional<std::string>(task.expected_sha256)) {
    whole = false;
    failure = kFailedDigest;
  }
  bool placed = false;
  if (whole && chmod(temporary.c_str(), 0755) == 0) {
    placed = PlaceWithoutReplacing(temporary, task.target_path);
    if (!placed && errno == EEXIST) failure = kFailedNameTaken;
  }
  if (!placed) unlink(temporary.c_str());
  // Not running any more before the event arrives, so its handler may start the next task.
  running_.store(false);
  if (placed) {
    Emit(task, kEventComplete, received);
  } else {
    Emit(task, kEventFailed, failure);
  }
}

}  // namespace lumvex::update
