#include "update/downloader.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "http/curl_transfer.h"
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

// One try of one task: the transfer on the fetch client's driver, the open temporary file and
// the measurements. The body and progress callbacks run on the driver thread while Perform waits.
class Downloader::Transfer {
 public:
  Transfer(Downloader& owner, const TaskParam& task, FILE* file)
      : owner_(owner), task_(task), file_(file), start_(Clock::now()), window_start_(start_) {}

  CURLcode Perform() {
    auto transfer = std::make_shared<http::CurlTransfer>();
    if (!transfer->valid()) return CURLE_FAILED_INIT;
    transfer_ = transfer.get();
    // Direct (no proxy, from the environment or elsewhere), http and https only.
    transfer->SetUrl(task_.address);
    // A download that began on https never continues on plain http.
    transfer->FollowInCurl(kRedirectHops, text::StartsWith(task_.address, "https://", true));
    CURL* easy = transfer->handle();
    // curl's own ways for what the transfer does not set: the path as curl tidies it and the
    // HTTP version curl picks.
    curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 0L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_NONE));
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, std::max(1024L, task_.buffer_bytes));
    transfer->SetCancelFlag(&owner_.cancel_);
    transfer->SetProgressObserver([this] { Measure(); });
    transfer->SetBodySink([this](std::string_view piece) { return Take(piece); });
    // Stalled after whole seconds without a byte.
    const long idle_ms = std::max(1L, task_.idle_timeout_ms / 1000) * 1000;
    const CURLcode code =
        owner_.client_.PerformWhileMoving(transfer, task_.connect_timeout_ms, idle_ms);
    const int status = transfer->ResponseStatus();
    transfer_ = nullptr;
    if (code != CURLE_OK) return code;
    if (failed_ || status < 200 || status > 299) return CURLE_HTTP_RETURNED_ERROR;
    // A connection that ended before the announced size is not a whole file.
    if (length_ >= 0 && received_ != length_) return CURLE_PARTIAL_FILE;
    return CURLE_OK;
  }

  std::int64_t received() const { return received_; }

 private:
  static constexpr int kRedirectHops = 10;

  // One piece of the body; false refuses it and so ends the transfer.
  bool Take(std::string_view piece) {
    const auto bytes = static_cast<std::int64_t>(piece.size());
    if (!checked_) {
      checked_ = true;
      const int status = transfer_->ResponseStatus();
      // An error page is not the new program.
      if (status < 200 || status > 299) {
        failed_ = true;
        return false;
      }
      curl_off_t length = -1;
      curl_easy_getinfo(transfer_->handle(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
      if (length > task_.max_bytes) {
        failed_ = true;
        return false;
      }
      length_ = length;
      if (length >= 0) owner_.Emit(task_, kEventTotalSize, length);
    }
    if (received_ + bytes > task_.max_bytes) {
      failed_ = true;
      return false;
    }
    if (std::fwrite(piece.data(), 1, piece.size(), file_) != piece.size()) {
      failed_ = true;
      return false;
    }
    received_ += bytes;
    owner_.received_.store(received_);
    return true;
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
  http::CurlTransfer* transfer_ = nullptr;
  bool checked_ = false;
  bool failed_ = false;
  std::int64_t length_ = -1;
  std::int64_t received_ = 0;
  Clock::time_point start_;
  Clock::time_point window_start_;
  std::int64_t window_bytes_ = 0;
};

Downloader::Downloader(UiThread& ui, http::FetchClient& client) : ui_(ui), client_(client) {}

Downloader::~Downloader() { Shutdown(); }

bool Downloader::Start(TaskParam task) {
  if (running_.exchange(true)) return false;
  if (thread_.joinable()) thread_.join();
  cancel_.store(false);
  received_.store(0);
  task_speed_.store(0);
  overall_speed_.store(0);
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

  // Aborted: cancelled, or the fetch client closed at program exit. Either way no event follows.
  const bool cancelled = cancel_.load() || code == CURLE_ABORTED_BY_CALLBACK;
  bool whole = code == CURLE_OK && !cancelled;
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
  if (cancelled) return;
  if (placed) {
    Emit(task, kEventComplete, received);
  } else {
    Emit(task, kEventFailed, failure);
  }
}

}  // namespace lumvex::update
