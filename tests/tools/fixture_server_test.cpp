#include "fixture/fixture_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "raw_client.h"
#include "support/wait_until.h"

namespace lumvex::tools {
namespace {

using testing::Exchange;
using testing::RawClient;
using End = RawClient::End;
using namespace std::string_literals;
using lumvex::testing::WaitUntil;

size_t CountOf(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + 1)) {
    ++count;
  }
  return count;
}

Reply WithMode(Reply::Mode mode) {
  Reply reply;
  reply.mode = mode;
  return reply;
}

class FixtureServerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start()); }

  std::string Get(const std::string& target) {
    return Exchange("127.0.0.1", server_.port(), "GET " + target + " HTTP/1.1\r\nHost: t\r\n\r\n");
  }

  FixtureServer server_;
};

TEST_F(FixtureServerTest, RecordsARequestArrivingInPiecesByteForByte) {
  const std::string head =
      "POST /form?x=1 HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent:  odd  spacing \r\n"
      "Cookie: a=1; b=2\r\nContent-Length: 8\r\n\r\n";
  RawClient client;
  ASSERT_TRUE(client.Connect("127.0.0.1", server_.port()));
  // Pauses between the pieces make the server see partial reads.
  for (const std::string& piece : {head.substr(0, 7), head.substr(7, 30), head.substr(37),
                                   std::string("a=b&"), std::string("c=d")}) {
    ASSERT_TRUE(client.Send(piece));
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
  }
  EXPECT_FALSE(server_.WaitForRequests(1, 30)) << "one body byte is still missing";
  ASSERT_TRUE(client.Send("!"));
  EXPECT_EQ(client.Read(5000), "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(client.last_end(), End::kEof);

  auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].head, head);
  EXPECT_EQ(requests[0].body, "a=b&c=d!");
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, "/form?x=1");
  EXPECT_EQ(requests[0].version, "HTTP/1.1");
  EXPECT_EQ(requests[0].peer, client.LocalName());
  EXPECT_EQ(server_.BaseUrl(), "http://127.0.0.1:" + std::to_string(server_.port()));
}

TEST_F(FixtureServerTest, TellsAnUploaderWaitingForContinueToGoOn) {
  RawClient client;
  ASSERT_TRUE(client.Connect("127.0.0.1", server_.port()));
  ASSERT_TRUE(
      client.Send("POST /up HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 5\r\n\r\n"));
  const std::string interim = "HTTP/1.1 100 Continue\r\n\r\n";
  EXPECT_EQ(client.Read(5000, interim.size()), interim);
  ASSERT_TRUE(client.Send("12345"));
  EXPECT_EQ(client.Read(5000).substr(0, 17), "HTTP/1.1 200 OK\r\n");
  ASSERT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(server_.Requests()[0].body, "12345");
}

TEST_F(FixtureServerTest, AnswersHeadersInTheGivenOrder) {
  Reply login;
  login.status = 302;
  login.reason = "Found";
  login.headers = {
      {"Set-Cookie", "sid=1; Path=/"}, {"Set-Cookie", "lang=zh"}, {"Location", "/home"}};
  login.body = "moved";
  server_.Route("/login", login);
  EXPECT_EQ(Get("/login"),
            "HTTP/1.1 302 Found\r\nSet-Cookie: sid=1; Path=/\r\nSet-Cookie: lang=zh\r\n"
            "Location: /home\r\nContent-Length: 5\r\nConnection: close\r\n\r\nmoved");

  // A length or connection header of the route's own replaces the added one, whatever its case.
  Reply own;
  own.headers = {{"content-length", "3"}, {"CONNECTION", "keep-alive"}};
  own.body = "abc";
  server_.Route("/own", own);
  EXPECT_EQ(Get("/own"),
            "HTTP/1.1 200 OK\r\ncontent-length: 3\r\nCONNECTION: keep-alive\r\n\r\nabc");

  std::string head_only = Exchange("127.0.0.1", server_.port(), "HEAD /login HTTP/1.1\r\n\r\n");
  EXPECT_EQ(head_only.substr(head_only.size() - 4), "\r\n\r\n") << "no body after a HEAD";
  EXPECT_NE(head_only.find("Content-Length: 5\r\n"), std::string::npos);
}

TEST_F(FixtureServerTest, ExactRoutesWinOverPrefixesAndTheLongestPrefixWins) {
  auto body = [](std::string text) {
    Reply r;
    r.body = std::move(text);
    return r;
  };
  server_.Route("/a", body("exact"));
  server_.RoutePrefix("/a", body("short"));
  server_.RoutePrefix("/a/b", body("long"));
  server_.Route("http://example.test/x", body("absolute"));
  Reply missing = body("none");
  missing.status = 404;
  missing.reason = "Not Found";
  server_.SetDefault(missing);

  auto body_of = [](const std::string& response) {
    return response.substr(response.find("\r\n\r\n") + 4);
  };
  EXPECT_EQ(body_of(Get("/a")), "exact");
  EXPECT_EQ(body_of(Get("/a?q=1")), "short");
  EXPECT_EQ(body_of(Get("/a/b/c")), "long");
  EXPECT_EQ(body_of(Get("http://example.test/x")), "absolute");
  std::string other = Get("/zzz");
  EXPECT_EQ(other.substr(0, 23), "HTTP/1.1 404 Not Found\r");
  EXPECT_EQ(body_of(other), "none");

  server_.Route("/a", body("replaced"));
  EXPECT_EQ(body_of(Get("/a")), "replaced");
  EXPECT_EQ(server_.Requests().size(), 6u);
  server_.ClearRequests();
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(FixtureServerTest, DelayedAnswerIsHeldBackUntilItsTime) {
  Reply slow;
  slow.delay_ms = 60000;
  server_.Route("/slow", slow);
  Reply late;
  late.delay_ms = 100;
  late.body = "late";
  server_.Route("/late", late);

  RawClient waiting;
  ASSERT_TRUE(waiting.Connect("127.0.0.1", server_.port()));
  ASSERT_TRUE(waiting.Send("GET /slow HTTP/1.1\r\n\r\n"));
  ASSERT_TRUE(server_.WaitForRequests(1, 5000));
  EXPECT_FALSE(waiting.Readable(200));

  std::string answer = Get("/late");
  EXPECT_EQ(answer.substr(answer.size() - 4), "late");

  // The client that gives up while its answer is pending leaves nothing open behind.
  waiting.Close();
  EXPECT_TRUE(server_.WaitForOpenConnections(0, 5000));
}

TEST_F(FixtureServerTest, NeverAnswerHoldsTheConnectionUntilTheClientCloses) {
  server_.Route("/never", WithMode(Reply::Mode::kNeverAnswer));
  RawClient client;
  ASSERT_TRUE(client.Connect("127.0.0.1", server_.port()));
  ASSERT_TRUE(client.Send("GET /never HTTP/1.1\r\n\r\nmore bytes that are ignored"));
  ASSERT_TRUE(server_.WaitForRequests(1, 5000));
  EXPECT_FALSE(client.Readable(200));
  EXPECT_EQ(server_.OpenConnections(), 1u);
  client.Close();
  EXPECT_TRUE(server_.WaitForOpenConnections(0, 5000));
}

TEST_F(FixtureServerTest, ResetRawGarbageAndSilentClose) {
  server_.Route("/reset", WithMode(Reply::Mode::kReset));
  Reply raw = WithMode(Reply::Mode::kRaw);
  raw.raw = std::string("HTTP/1.0 200 OK\r\nX: \x01\r\n\r\nraw\0!"s);
  server_.Route("/raw", raw);
  server_.Route("/garbage", WithMode(Reply::Mode::kGarbage));
  server_.Route("/close", WithMode(Reply::Mode::kCloseNoAnswer));

  RawClient client;
  ASSERT_TRUE(client.Connect("127.0.0.1", server_.port()));
  ASSERT_TRUE(client.Send("GET /reset HTTP/1.1\r\n\r\n"));
  EXPECT_EQ(client.Read(5000), "");
  EXPECT_EQ(client.last_end(), End::kReset);

  ASSERT_TRUE(client.Connect("127.0.0.1", server_.port()));
  ASSERT_TRUE(client.Send("GET /raw HTTP/1.1\r\n\r\n"));
  EXPECT_EQ(client.Read(5000), raw.raw);
  EXPECT_EQ(client.last_end(), End::kEof);

  ASSERT_TRUE(client.Connect("127.0.0.1", server_.port()));
  ASSERT_TRUE(client.Send("GET /garbage HTTP/1.1\r\n\r\n"));
  std::string garbage = client.Read(5000);
  EXPECT_FALSE(garbage.empty());
  EXPECT_NE(garbage.substr(0, 5), "HTTP/");
  EXPECT_EQ(client.last_end(), End::kEof);

  ASSERT_TRUE(client.Connect("127.0.0.1", server_.port()));
  ASSERT_TRUE(client.Send("GET /close HTTP/1.1\r\n\r\n"));
  EXPECT_EQ(client.Read(5000), "");
  EXPECT_EQ(client.last_end(), End::kEof);
  EXPECT_EQ(server_.Requests().size(), 4u);
}

TEST_F(FixtureServerTest, EndlessBodyStreamsWithoutLengthUntilTheClientLeaves) {
  Reply endless = WithMode(Reply::Mode::kEndlessBody);
  endless.headers = {{"Content-Length", "10"}, {"Content-Type", "text/plain"}};
  endless.body = "xyz";
  server_.Route("/endless", endless);

  RawClient client;
  ASSERT_TRUE(client.Connect("127.0.0.1", server_.port()));
  ASSERT_TRUE(client.Send("GET /endless HTTP/1.1\r\n\r\n"));
  const size_t kWant = 3 * 1024 * 1024;
  std::string data = client.Read(5000, kWant);
  ASSERT_EQ(client.last_end(), End::kLimit);
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n";
  ASSERT_EQ(data.substr(0, head.size()), head) << "a length would end the body";
  std::string body = data.substr(head.size());
  body.resize(body.size() - body.size() % 3);
  EXPECT_EQ(CountOf(body, "xyz"), body.size() / 3);

  // A reader that stalls and then leaves must not keep the connection alive.
  EXPECT_FALSE(server_.WaitForOpenConnections(0, 100));
  client.Close();
  EXPECT_TRUE(server_.WaitForOpenConnections(0, 5000));
}

TEST_F(FixtureServerTest, BadInputIsRefusedAndNeverRecorded) {
  std::string bad = Exchange("127.0.0.1", server_.port(), "HELLO THERE\r\n\r\n");
  EXPECT_EQ(bad.substr(0, 26), "HTTP/1.1 400 Bad Request\r\n");
  std::string chunked = Exchange("127.0.0.1", server_.port(),
                                 "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n");
  EXPECT_EQ(chunked.substr(0, 13), "HTTP/1.1 501 ");

  // An endless header block is cut off without an answer.
  RawClient flood;
  ASSERT_TRUE(flood.Connect("127.0.0.1", server_.port()));
  flood.Send("GET / HTTP/1.1\r\nX-Fill: " + std::string(80 * 1024, 'a'));
  EXPECT_EQ(flood.Read(5000), "");
  EXPECT_NE(flood.last_end(), End::kTimeout);

  // Clients that stop half-way through the head leave nothing open.
  std::vector<std::unique_ptr<RawClient>> quitters;
  for (int i = 0; i < 5; ++i) {
    quitters.push_back(std::make_unique<RawClient>());
    ASSERT_TRUE(quitters.back()->Connect("127.0.0.1", server_.port()));
    ASSERT_TRUE(quitters.back()->Send("GET /half HTTP/1.1\r\nHost"));
  }
  EXPECT_TRUE(WaitUntil([&] { return server_.OpenConnections() == 5; }));
  quitters.clear();
  EXPECT_TRUE(server_.WaitForOpenConnections(0, 5000));
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(FixtureServerTest, BytesAfterTheRequestNeitherAnswerTwiceNorCutTheAnswer) {
  Reply big;
  big.body = std::string(300 * 1024, 'b');
  server_.Route("/one", big);
  RawClient client;
  ASSERT_TRUE(client.Connect("127.0.0.1", server_.port()));
  // Unread input at close time would turn the close into a reset and lose the answer.
  ASSERT_TRUE(client.Send("GET /one HTTP/1.1\r\n\r\nGET /two HTTP/1.1\r\n\r\n\x01\x02" +
                          std::string(200 * 1024, 'g')));
  std::string answer = client.Read(5000);
  EXPECT_EQ(client.last_end(), End::kEof);
  EXPECT_EQ(CountOf(answer, "HTTP/1.1 "), 1u);
  EXPECT_EQ(answer.size(), answer.find("\r\n\r\n") + 4 + big.body.size());
  auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "/one");
}

TEST_F(FixtureServerTest, ServesManyWaitingClientsAtOnce) {
  Reply slow;
  slow.delay_ms = 50;
  slow.body = "done";
  server_.SetDefault(slow);
  std::vector<std::unique_ptr<RawClient>> clients;
  for (int i = 0; i < 200; ++i) {
    clients.push_back(std::make_unique<RawClient>());
    ASSERT_TRUE(clients.back()->Connect("127.0.0.1", server_.port()));
    ASSERT_TRUE(clients.back()->Send("GET /c" + std::to_string(i) + " HTTP/1.1\r\n\r\n"));
  }
  ASSERT_TRUE(server_.WaitForRequests(200, 10000));
  for (auto& client : clients) {
    std::string answer = client->Read(5000);
    EXPECT_EQ(answer.substr(answer.size() - 4), "done");
  }
}

TEST_F(FixtureServerTest, WaitForRequestsSeesRequestsFromOtherThreads) {
  EXPECT_FALSE(server_.WaitForRequests(1, 20));
  std::thread sender([port = server_.port()] {
    for (int i = 0; i < 3; ++i) Exchange("127.0.0.1", port, "GET /t HTTP/1.1\r\n\r\n");
  });
  EXPECT_TRUE(server_.WaitForRequests(3, 10000));
  sender.join();
  EXPECT_EQ(server_.Requests().size(), 3u);
}

TEST(FixtureServerLifeTest, StopClosesEveryKindOfOpenConnection) {
  FixtureServer server;
  ASSERT_TRUE(server.Start());
  Reply slow;
  slow.delay_ms = 60000;
  server.Route("/slow", slow);
  server.Route("/never", WithMode(Reply::Mode::kNeverAnswer));
  server.Route("/endless", WithMode(Reply::Mode::kEndlessBody));
  const char* requests[] = {"", "GET /half", "GET /slow HTTP/1.1\r\n\r\n",
                            "GET /never HTTP/1.1\r\n\r\n", "GET /endless HTTP/1.1\r\n\r\n"};
  std::vector<std::unique_ptr<RawClient>> clients;
  for (int i = 0; i < 20; ++i) {
    clients.push_back(std::make_unique<RawClient>());
    ASSERT_TRUE(clients.back()->Connect("127.0.0.1", server.port()));
    ASSERT_TRUE(clients.back()->Send(requests[i % 5]));
  }
  ASSERT_TRUE(WaitUntil([&] { return server.OpenConnections() == 20; }));
  ASSERT_TRUE(server.WaitForRequests(12, 5000));
  server.Stop();
  EXPECT_EQ(server.OpenConnections(), 0u);
  for (auto& client : clients) {
    client->Read(5000, SIZE_MAX);
    EXPECT_NE(client->last_end(), End::kTimeout);
  }
  RawClient late;
  EXPECT_FALSE(late.Connect("127.0.0.1", server.port()));
  EXPECT_EQ(late.connect_errno(), ECONNREFUSED);
  server.Stop();  // a second stop is harmless
}

TEST(FixtureServerLifeTest, RecoversAfterRunningOutOfDescriptors) {
  FixtureServer server;
  ASSERT_TRUE(server.Start());
  // Client sockets exist before the limit drops, so only the server's accept runs short.
  std::vector<int> sockets;
  for (int i = 0; i < 3; ++i) {
    sockets.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    timeval wait{5, 0};  // a failure shows as a failed receive, not a hang
    ::setsockopt(sockets.back(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));
  }
  int highest = *std::max_element(sockets.begin(), sockets.end());
  ASSERT_GE(highest, 0);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(highest + 1);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(server.port());
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const std::string request = "GET /later HTTP/1.1\r\n\r\n";
  bool sent = true;
  for (int fd : sockets) {
    sent = sent && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
           ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(request.size());
  }
  bool answered_while_short = server.WaitForRequests(1, 200);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
  EXPECT_TRUE(sent);
  EXPECT_FALSE(answered_while_short);
  EXPECT_TRUE(server.WaitForRequests(3, 10000)) << "accepting resumes once descriptors are back";
  for (int fd : sockets) {
    char buffer[64] = {};
    EXPECT_GT(::recv(fd, buffer, sizeof(buffer), 0), 0);
    ::close(fd);
  }
}

TEST(FixtureServerLifeTest, StopsByItselfWhenItsLifetimeEnds) {
  FixtureServer server;
  server.SetLifetimeMs(150);
  ASSERT_TRUE(server.Start());
  RawClient idle;
  ASSERT_TRUE(idle.Connect("127.0.0.1", server.port()));
  EXPECT_EQ(idle.Read(10000), "");
  EXPECT_EQ(idle.last_end(), End::kEof);
  EXPECT_TRUE(WaitUntil([&] {
    RawClient probe;
    return !probe.Connect("127.0.0.1", server.port()) && probe.connect_errno() == ECONNREFUSED;
  }));
  EXPECT_EQ(server.OpenConnections(), 0u);
}

TEST(FixtureServerLifeTest, AddressesAndPorts) {
  FixtureServer first("127.0.0.7");
  ASSERT_TRUE(first.Start());
  EXPECT_EQ(first.BaseUrl(), "http://127.0.0.7:" + std::to_string(first.port()));
  RawClient client;
  ASSERT_TRUE(client.Connect("127.0.0.7", first.port()));
  ASSERT_TRUE(client.Send("GET / HTTP/1.0\r\n\r\n"));
  client.Read(5000);
  ASSERT_TRUE(first.WaitForRequests(1, 5000));
  EXPECT_EQ(first.Requests()[0].peer, client.LocalName());

  FixtureServer same_port("127.0.0.7", first.port());
  EXPECT_FALSE(same_port.Start());
  EXPECT_FALSE(FixtureServer("0.0.0.0").Start()) << "only loopback addresses";
  EXPECT_FALSE(FixtureServer("192.168.1.1").Start());
  EXPECT_FALSE(FixtureServer("localhost:80").Start());

  // Restarting on the port the first server held works once that one is gone.
  uint16_t port = first.port();
  first.Stop();
  FixtureServer again("127.0.0.7", port);
  EXPECT_TRUE(again.Start());
  EXPECT_EQ(again.port(), port);
}

}  // namespace
}  // namespace lumvex::tools
