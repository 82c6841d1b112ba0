// The judge's log never holds up its answers: a log reader that stops reading costs log lines,
// counted and then reported, not answers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>

#include "judge/log_output.h"
#include "judge_rig.h"

namespace lumvex::judge {
namespace {

// Reads `fd` until `text` has come, waiting up to 10 s for each piece; everything read.
std::string ReadUntil(int fd, std::string_view text) {
  std::string all;
  char chunk[4096];
  while (all.find(text) == std::string::npos) {
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, 10000) != 1) break;
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got <= 0) break;
    all.append(chunk, static_cast<std::size_t>(got));
  }
  return all;
}

std::size_t CountOf(const std::string& text, std::string_view piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

TEST(JudgeLogTest, AStalledReaderCostsLogLinesNotAnswers) {
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
  fcntl(fds[1], F_SETPIPE_SZ, 4096);  // the smallest pipe: a few dozen lines fill it
  constexpr int kRequests = 300;      // about 20 KB of log
  {
    LogOutput output(fds[1], 2048);
    JudgeServer server({}, [&output](std::string_view line) { output.Add(line); });
    server.SetLogOutput(&output);
    ASSERT_EQ(server.Listen(*ParseListenAddress("127.0.0.1:0")), "");
    const int port = std::stoi(server.url().substr(server.url().rfind(':') + 1));
    std::thread running([&server] { server.Run(); });

    // Nobody reads the log: every request is answered all the same.
    int answered = 0;
    for (int i = 0; i < kRequests; ++i) {
      answered += Exchange(port, "GET /stalled HTTP/1.1\r\n\r\n").status == 200 ? 1 : 0;
    }
    EXPECT_EQ(answered, kRequests);

    // The reader comes back: the lines kept come, then how many were dropped.
    const std::string note_start = "judge: ";
    const std::string note_end = LogOutput::DroppedNote(0).substr(note_start.size() + 1);
    const std::string read = ReadUntil(fds[0], note_end);
    const std::size_t note = read.rfind(note_start);
    ASSERT_NE(note, std::string::npos) << read;
    const std::size_t dropped = std::stoul(read.substr(note + note_start.size()));
    const std::size_t kept = CountOf(read, " GET /stalled 200 ");
    EXPECT_GT(dropped, 0u);
    EXPECT_EQ(kept + dropped, static_cast<std::size_t>(kRequests));
    EXPECT_EQ(read.substr(note), LogOutput::DroppedNote(dropped));

    // Lines are written again as they come.
    EXPECT_EQ(Exchange(port, "GET /resumed HTTP/1.1\r\n\r\n").status, 200);
    EXPECT_NE(ReadUntil(fds[0], " GET /resumed 200 ").find(" GET /resumed 200 "),
              std::string::npos);
    server.Stop();
    running.join();
  }
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
}  // namespace lumvex::judge
