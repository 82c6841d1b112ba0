// The judge: a small HTTP server that answers every GET with the request as it arrived (the
// client's address and every header), for finding out what a proxy passes on. One thread,
// non-blocking sockets on epoll; every resource a client can make it hold is bounded
// (JudgeLimits), and it never touches the file system once it listens.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "judge/client_table.h"
#include "judge/connection.h"
#include "judge/judge_limits.h"
#include "judge/listener.h"
#include "judge/log_output.h"
#include "judge/socket_address.h"

namespace lumvex::judge {

class JudgeServer {
 public:
  // Receives each log line (one per answered or refused request, ending in a line feed).
  using LogSink = std::function<void(std::string_view line)>;

  JudgeServer(const JudgeLimits& limits, LogSink log);
  ~JudgeServer();
  JudgeServer(const JudgeServer&) = delete;
  JudgeServer& operator=(const JudgeServer&) = delete;

  // Binds `address` and listens. Empty on success, else why not ("address in use").
  std::string Listen(const SocketAddress& address);
  // The address listened on, with the port port 0 got: "http://127.0.0.1:43567/".
  const std::string& url() const { return listener_.url(); }

  // Lets Run write `output` (which the log sink fills) whenever the stream has room, without
  // ever waiting for it. Call before Run; `output` must outlive it.
  void SetLogOutput(LogOutput* output) { log_output_ = output; }

  // Serves until Stop; closes every connection before it returns.
  void Run();
  // Makes Run return. Safe from a signal handler and from any thread.
  void Stop();

 private:
  using Clock = std::chrono::steady_clock;
  using Phase = Connection::Phase;

  void AcceptSome();
  // Past a connection cap: answers 503 (SayBusy), closes and logs. A client can tell the judge's
  // refusal from a proxy's failure and come back, instead of finding the door shut.
  void Refuse(int fd, const std::string& client);
  // Waits for room in the log's stream (EPOLLOUT) exactly while lines wait for it.
  void WatchLogOutput();
  // At the connection cap: closes the oldest connection that is still sending its head or was
  // answered already, so that half-heads (slowloris) or answered connections held open cannot
  // lock everyone else out. False when every connection is taking its answer.
  bool PushOutSlowest();
  void Service(Connection& connection, unsigned events);
  void ReadHead(Connection& connection);
  void Complete(Connection& connection, std::size_t head_end);
  // Answers with `status` unless the client is over its rate, which gets 429 instead.
  void Respond(Connection& connection, int status, std::string_view content_type,
               std::string_view body, std::string_view extra_fields = {});
  void WriteSome(Connection& connection);
  void Drain(Connection& connection);
  void ExpireDeadlines(Clock::time_point now);
  void SetDeadline(Connection& connection, Clock::time_point deadline);
  void Watch(const Connection& connection, unsigned events);
  void Log(const Connection& connection);
  void Close(Connection& connection);

  const JudgeLimits limits_;
  const LogSink log_;
  ClientTable clients_;
  Listener listener_;
  int epoll_fd_ = -1;
  int wake_read_ = -1;
  int wake_write_ = -1;
  LogOutput* log_output_ = nullptr;
  bool log_watched_ = false;
  bool log_polled_ = false;  // the stream cannot be watched (a full disk): retried on a timer
  std::unordered_map<int, Connection> connections_;
  Clock::time_point next_deadline_ = Clock::time_point::max();
};

}  // namespace lumvex::judge
