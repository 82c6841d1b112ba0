// The judge on a thread of the test (support/running_judge.h) and a raw client for it: the tests
// send exact bytes (a client library would tidy them) from any 127.0.0.0/8 source address.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "judge/judge_server.h"
#include "support/running_judge.h"
#include "text/text_util.h"

namespace lumvex::judge {

// A connection to the judge from `source`; reads give up after 10 s, so that a broken case
// fails instead of hanging (no test measures time with it).
inline int ConnectFrom(int port, const std::string& source = "127.0.0.1") {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  inet_pton(AF_INET, source.c_str(), &local.sin_addr);
  bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
  sockaddr_in judge{};
  judge.sin_family = AF_INET;
  judge.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &judge.sin_addr);
  timeval patience{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
  if (connect(fd, reinterpret_cast<sockaddr*>(&judge), sizeof judge) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

inline void SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
}

// Everything until the judge closes (or the 10 s safety).
inline std::string ReadAll(int fd) {
  std::string all;
  char chunk[4096];
  for (ssize_t got; (got = recv(fd, chunk, sizeof chunk, 0)) > 0;) {
    all.append(chunk, static_cast<std::size_t>(got));
  }
  return all;
}

struct Reply {
  int status = 0;                             // 0: closed without an answer
  std::map<std::string, std::string> fields;  // names in lower case
  std::string body;
};

inline Reply ParseReply(const std::string& bytes) {
  Reply reply;
  const std::size_t end = bytes.find("\r\n\r\n");
  if (!bytes.starts_with("HTTP/1.1 ") || end == std::string::npos) return reply;
  reply.status = text::AtoI(bytes.substr(9, 3));
  const std::vector<std::string> lines = text::Split(bytes.substr(0, end), "\r\n");
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::size_t colon = lines[i].find(": ");
    reply.fields[text::ToLowerAscii(lines[i].substr(0, colon))] = lines[i].substr(colon + 2);
  }
  reply.body = bytes.substr(end + 4);
  return reply;
}

// Sends `request`, ends the sending side (unless `keep_open`) and reads the answer.
inline Reply Exchange(int port, std::string_view request, const std::string& source = "127.0.0.1",
                      bool keep_open = false) {
  const int fd = ConnectFrom(port, source);
  if (fd < 0) return {};
  SendAll(fd, request);
  if (!keep_open) shutdown(fd, SHUT_WR);
  Reply reply = ParseReply(ReadAll(fd));
  close(fd);
  return reply;
}

}  // namespace lumvex::judge
