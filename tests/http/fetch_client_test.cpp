#include "http/fetch_client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "fixture/fixture_server.h"
#include "http/cookie_store.h"
#include "http/http_limits.h"

namespace lumvex::http {
namespace {

using tools::FixtureServer;
using tools::Reply;

const std::string kAccept(kFetchAcceptLine);
const std::string kLanguage(kAcceptLanguageLine);
const std::string kAgentLine = "User-Agent: " + std::string(kFetchUserAgent) + "\r\n";

class FetchClientTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start()); }

  std::string Host() const { return "Host: 127.0.0.1:" + std::to_string(server_.port()) + "\r\n"; }
  std::string Url(const std::string& target) const { return server_.BaseUrl() + target; }
  std::vector<tools::RecordedRequest> Requests() const { return server_.Requests(); }
  std::string OnlyHead() const {
    auto requests = server_.Requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? std::string() : requests[0].head;
  }

  FixtureServer server_;
  CookieStore cookies_;
  FetchClient client_{&cookies_};
};

TEST_F(FetchClientTest, DefaultRequestIsExactlyTheDescribedBlock) {
  Reply reply;
  reply.body = "page";
  server_.SetDefault(reply);
  std::string url = Url("/a?b=1");
  FetchResult result = client_.FetchPage(url);
  EXPECT_EQ(result.body, "page");
  EXPECT_FALSE(result.timed_out);
  EXPECT_FALSE(result.response_headers.has_value());
  EXPECT_FALSE(result.cookies.has_value());
  EXPECT_EQ(OnlyHead(), "GET /a?b=1 HTTP/1.1\r\n" + Host() + kAgentLine + kAccept +
                            "Referer: " + url + "\r\n" + kLanguage + "\r\n");
}

TEST_F(FetchClientTest, BareHostGetsTheSchemeWrittenBackAndPathDefaultsToSlash) {
  std::string url = "127.0.0.1:" + std::to_string(server_.port());
  client_.FetchPage(url);
  EXPECT_EQ(url, "http://127.0.0.1:" + std::to_string(server_.port()));
  std::string head = OnlyHead();
  EXPECT_EQ(head.rfind("GET / HTTP/1.1\r\n", 0), 0u);
  EXPECT_NE(head.find("Referer: " + url + "\r\n"), std::string::npos);
}

TEST_F(FetchClientTest, CallerLinesDecideTheDefaults) {
  std::string url = Url("/x");
  FetchOptions only_language;
  only_language.headers = "Accept-Language: en\r\n";
  client_.FetchPage(url, only_language);
  EXPECT_EQ(OnlyHead(), "GET /x HTTP/1.1\r\n" + Host() + kAgentLine +
                            "Accept-Language: en\r\nReferer: " + url + "\r\n\r\n");

  server_.ClearRequests();
  FetchOptions no_referer;
  no_referer.headers = "RefererNo\r\nX-Mine: yes\r\n";
  client_.FetchPage(url, no_referer);
  EXPECT_EQ(OnlyHead(), "GET /x HTTP/1.1\r\n" + Host() + kAgentLine + "X-Mine: yes\r\n" + kAccept +
                            kLanguage + "\r\n");

  server_.ClearRequests();
  FetchOptions own_agent;
  own_agent.headers = "User-Agent: Probe/2\r\n";
  client_.FetchPage(url, own_agent);
  EXPECT_EQ(OnlyHead(), "GET /x HTTP/1.1\r\n" + Host() + "User-Agent: Probe/2\r\n" + kAccept +
                            "Referer: " + url + "\r\n" + kLanguage + "\r\n");
}

TEST_F(FetchClientTest, CookieTextIsSentAndStoredCookiesAreNot) {
  cookies_.Set("127.0.0.1", "stored", "1");
  std::string url = Url("/c");
  client_.FetchPage(url);
  EXPECT_NE(OnlyHead().find("Cookie: stored=1\r\n"), std::string::npos);

  server_.ClearRequests();
  FetchOptions options;
  options.cookies = "mine=2";
  client_.FetchPage(url, options);
  EXPECT_EQ(OnlyHead(), "GET /c HTTP/1.1\r\n" + Host() + kAgentLine + kAccept + "Referer: " + url +
                            "\r\n" + kLanguage + "Cookie: mine=2\r\n\r\n");
}

TEST_F(FetchClientTest, PostSendsBodyWithContentLines) {
  std::string url = Url("/form");
  FetchOptions options;
  options.method = 1;
  options.body = "a=1&b=2";
  client_.FetchPage(url, options);
  auto requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].head, "POST /form HTTP/1.1\r\n" + Host() + kAgentLine + kAccept +
                                  "Referer: " + url + "\r\n" + kLanguage +
                                  std::string(kFormContentTypeLine) + "Content-Length: 7\r\n\r\n");
  EXPECT_EQ(requests[0].body, "a=1&b=2");

  // Any other method number is a GET, and the body is not sent.
  server_.ClearRequests();
  options.method = 2;
  client_.FetchPage(url, options);
  EXPECT_EQ(OnlyHead().rfind("GET /form HTTP/1.1\r\n", 0), 0u);
}

TEST_F(FetchClientTest, HttpsAnywhereInTheUrlMeansPort443) {
  // The query names https, so the request goes to port 443 of the host, not to our port.
  std::string url = Url("/x?next=https://elsewhere");
  FetchOptions options;
  options.timeout_s = 10;
  FetchResult result = client_.FetchPage(url, options);
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.body, "");
  EXPECT_TRUE(Requests().empty());
}

TEST_F(FetchClientTest, ZeroDeadlineTimesOutAtOnceWithoutConnecting) {
  std::string url = Url("/slow");
  FetchOptions options;
  options.timeout_s = 0;
  options.want_response_headers = true;
  options.want_cookies = true;
  FetchResult result = client_.FetchPage(url, options);
  EXPECT_TRUE(result.timed_out);
  EXPECT_EQ(result.body, kFetchTimeoutMessage);
  EXPECT_FALSE(result.response_headers.has_value());
  EXPECT_FALSE(result.cookies.has_value());
  EXPECT_EQ(server_.OpenConnections(), 0u);
  EXPECT_TRUE(Requests().empty());
}

TEST_F(FetchClientTest, SilentServerGivesTheTimeoutMessageAndTheConnectionIsClosed) {
  Reply silent;
  silent.mode = Reply::Mode::kNeverAnswer;
  server_.SetDefault(silent);
  std::string url = Url("/never");
  FetchOptions options;
  options.timeout_s = 1;
  options.want_response_headers = true;
  FetchResult result = client_.FetchPage(url, options);
  EXPECT_TRUE(result.timed_out);
  EXPECT_EQ(result.body, kFetchTimeoutMessage);
  EXPECT_FALSE(result.response_headers.has_value());
  // The request did arrive, and the socket is torn down at the deadline.
  EXPECT_EQ(Requests().size(), 1u);
  EXPECT_TRUE(server_.WaitForOpenConnections(0, 5000));
}

TEST_F(FetchClientTest, BlankUrlGivesAnEmptyResultWithoutARequest) {
  std::string url = "  ";
  FetchOptions options;
  options.want_response_headers = true;
  FetchResult result = client_.FetchPage(url, options);
  EXPECT_EQ(result.body, "");
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(url, "  ");
  EXPECT_TRUE(Requests().empty());
}

TEST_F(FetchClientTest, ReturnedCookiesAndHeaders) {
  Reply reply;
  reply.headers = {{"Set-Cookie", "a=1; path=/"}, {"Set-Cookie", "b=2"}};
  reply.body = "x";
  server_.SetDefault(reply);
  std::string url = Url("/set");
  FetchOptions options;
  options.want_cookies = true;
  options.want_response_headers = true;
  FetchResult result = client_.FetchPage(url, options);
  EXPECT_EQ(result.cookies, "a=1;;");
  ASSERT_TRUE(result.response_headers.has_value());
  EXPECT_EQ(*result.response_headers,
            "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n"
            "Content-Length: 1\r\nConnection: close\r\n\r\n");
  // The jar now holds both, and the next request to the host sends them.
  server_.ClearRequests();
  client_.FetchPage(url);
  std::string head = OnlyHead();
  EXPECT_NE(head.find("a=1"), std::string::npos);
  EXPECT_NE(head.find("b=2"), std::string::npos);
}

TEST_F(FetchClientTest, HeaderLinesEndingInABareLineFeedAreReadLineByLine) {
  Reply reply;
  reply.mode = Reply::Mode::kRaw;
  reply.raw =
      "HTTP/1.1 200 OK\nSet-Cookie: a=1; path=/\nSet-Cookie: b=2\nContent-Length: 2\n"
      "Connection: close\n\nok";
  server_.SetDefault(reply);
  std::string url = Url("/lf");
  FetchOptions options;
  options.want_cookies = true;
  options.want_response_headers = true;
  FetchResult result = client_.FetchPage(url, options);
  EXPECT_EQ(result.body, "ok");
  EXPECT_EQ(result.cookies, "a=1;;");
  EXPECT_EQ(result.response_headers,
            "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\nContent-Length: "
            "2\r\nConnection: close\r\n\r\n");
}

TEST_F(FetchClientTest, ACookieTheServerDeletesIsNotSentAgain) {
  Reply login;
  login.headers = {{"Set-Cookie", "sid=1; path=/"}};
  server_.Route("/login", login);
  Reply logout;
  logout.headers = {{"Set-Cookie", "sid=; path=/; expires=Thu, 01 Jan 1970 00:00:00 GMT"}};
  server_.Route("/logout", logout);
  std::string url = Url("/login");
  client_.FetchPage(url);
  url = Url("/logout");
  client_.FetchPage(url);
  server_.ClearRequests();
  url = Url("/after");
  client_.FetchPage(url);
  EXPECT_EQ(OnlyHead().find("sid"), std::string::npos);
  EXPECT_TRUE(cookies_.List().empty());
}

TEST_F(FetchClientTest, HeaderBlockTooLongForTheBufferBecomesSpaces) {
  Reply reply;
  reply.headers = {{"Set-Cookie", "big=1"}, {"X-Filler", std::string(2100, 'f')}};
  reply.body = "still here";
  server_.SetDefault(reply);
  std::string url = Url("/big");
  FetchOptions options;
  options.want_cookies = true;
  options.want_response_headers = true;
  FetchResult result = client_.FetchPage(url, options);
  EXPECT_EQ(result.body, "still here");
  EXPECT_EQ(result.response_headers, std::string(kFetchHeaderBufferBytes, ' '));
  EXPECT_EQ(result.cookies, "");
}

TEST_F(FetchClientTest, BodyEncodings) {
  Reply zero;
  zero.body = std::string("\xE4\xB8\xAD\0tail", 8);
  server_.Route("/zero", zero);
  Reply big5;
  big5.body = "\xC5\xE9\xA8\x74";  // 體系 in Big5
  server_.Route("/big5", big5);
  std::string url = Url("/zero");
  FetchOptions options;
  EXPECT_EQ(client_.FetchPage(url, options).body, zero.body);
  options.body_encoding = kBodyUtf8;
  EXPECT_EQ(client_.FetchPage(url, options).body, "中");
  options.body_encoding = kBodyBig5;
  EXPECT_EQ(client_.FetchPage(url, options).body.find("tail"), std::string::npos);
  url = Url("/big5");
  EXPECT_EQ(client_.FetchPage(url, options).body, "体系");
}

TEST_F(FetchClientTest, RedirectsFollowedUnlessForbidden) {
  Reply to_page;
  to_page.status = 302;
  to_page.reason = "Found";
  to_page.headers = {{"Location", "/landing"}};
  to_page.body = "redirect body";
  server_.Route("/go", to_page);
  Reply landing;
  landing.body = "landed";
  server_.Route("/landing", landing);

  std::string url = Url("/go");
  EXPECT_EQ(client_.FetchPage(url).body, "landed");
  FetchOptions stay;
  stay.allow_redirect = false;
  EXPECT_EQ(client_.FetchPage(url, stay).body, "redirect body");
}

// Accepts one connection and keeps the first byte the client sends.
class FirstByteListener {
 public:
  FirstByteListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::listen(fd_, 4) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len)) {
      return;
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] {
      pollfd pfd{fd_, POLLIN, 0};
      if (::poll(&pfd, 1, 20000) != 1) return;
      int client = ::accept(fd_, nullptr, nullptr);
      if (client < 0) return;
      pollfd cfd{client, POLLIN, 0};
      unsigned char byte = 0;
      if (::poll(&cfd, 1, 20000) == 1 && ::recv(client, &byte, 1, 0) == 1) first_ = byte;
      ::close(client);
    });
  }
  ~FirstByteListener() {
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
  }
  int port() const { return port_; }
  // Waits for the connection; -1 when none came or it sent nothing.
  int FirstByte() {
    if (thread_.joinable()) thread_.join();
    return first_;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
  int first_ = -1;
  std::thread thread_;
};

// A redirect from http to https is followed, and the https hop goes direct even when a proxy
// carried the first hop: the redirect's own body is never handed back as the page.
TEST_F(FetchClientTest, PlainHttpFollowsARedirectToHttpsDirectly) {
  for (bool through_proxy : {false, true}) {
    SCOPED_TRACE(through_proxy ? "through a proxy" : "direct");
    server_.ClearRequests();
    FirstByteListener secure;
    ASSERT_NE(secure.port(), 0);
    Reply to_https;
    to_https.status = 302;
    to_https.reason = "Found";
    to_https.headers = {{"Location", "https://127.0.0.1:" + std::to_string(secure.port()) + "/s"}};
    to_https.body = "redirect body";
    server_.SetDefault(to_https);
    // Through a proxy the request goes to the fixture server in absolute form; it answers itself.
    std::string url = through_proxy ? "http://check.test/secure" : Url("/secure");
    FetchOptions options;
    options.timeout_s = 20;
    if (through_proxy) options.proxy = "127.0.0.1:" + std::to_string(server_.port());
    FetchResult result = client_.FetchPage(url, options);
    // The next hop opens a TLS connection straight to the listener (a handshake record starts
    // with 0x16); the handshake fails there, so the result is empty, not the redirect body.
    EXPECT_EQ(secure.FirstByte(), 0x16);
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.body, "");
    auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    if (through_proxy) {
      EXPECT_EQ(requests[0].target, "http://check.test/secure");
    }
  }
}

TEST_F(FetchClientTest, BodyLimitEndsAnEndlessReplyWithWhatArrived) {
  Reply endless;
  endless.mode = Reply::Mode::kEndlessBody;
  server_.SetDefault(endless);
  std::string url = Url("/endless");
  FetchOptions options;
  options.timeout_s = 20;
  options.max_body_bytes = 4096;
  FetchResult result = client_.FetchPage(url, options);
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.body.size(), 4096u);
}

TEST_F(FetchClientTest, CloseEndsWaitingCallsAndLaterOnes) {
  Reply silent;
  silent.mode = Reply::Mode::kNeverAnswer;
  server_.SetDefault(silent);
  FetchResult waited;
  std::thread caller([&] {
    std::string url = Url("/hang");
    waited = client_.FetchPage(url);
  });
  ASSERT_TRUE(server_.WaitForRequests(1, 20000));
  client_.Close();
  caller.join();
  EXPECT_FALSE(waited.timed_out);
  EXPECT_EQ(waited.body, "");
  std::string url = Url("/later");
  EXPECT_EQ(client_.FetchPage(url).body, "");
  client_.Close();  // a second close is harmless
}

TEST_F(FetchClientTest, HostileServersNeverHangOrCrash) {
  Reply garbage;
  garbage.mode = Reply::Mode::kGarbage;
  server_.Route("/garbage", garbage);
  Reply reset;
  reset.mode = Reply::Mode::kReset;
  server_.Route("/reset", reset);
  Reply gone;
  gone.mode = Reply::Mode::kCloseNoAnswer;
  server_.Route("/gone", gone);
  Reply endless;
  endless.mode = Reply::Mode::kEndlessBody;
  server_.Route("/endless", endless);
  FetchOptions options;
  options.timeout_s = 30;
  options.want_response_headers = true;
  for (std::string target : {"/garbage", "/reset", "/gone"}) {
    std::string url = Url(target);
    FetchResult result = client_.FetchPage(url, options);
    EXPECT_FALSE(result.timed_out) << target;
    EXPECT_EQ(result.body, "") << target;
  }
  std::string url = Url("/endless");
  FetchResult result = client_.FetchPage(url, options);
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.body.size(), kMaxBodyBytes);
  EXPECT_TRUE(server_.WaitForOpenConnections(0, 5000));
}

TEST_F(FetchClientTest, AsyncCallsMatchBlockingOnesFromManyThreads) {
  Reply reply;
  reply.body = "same";
  reply.delay_ms = 20;
  server_.SetDefault(reply);
  constexpr int kCalls = 64;
  std::mutex mutex;
  std::condition_variable all_done;
  int done = 0;
  std::vector<std::string> bodies;
  for (int i = 0; i < kCalls; ++i) {
    std::string url = "127.0.0.1:" + std::to_string(server_.port()) + "/async";
    client_.FetchPageAsync(url, {}, [&](FetchResult result) {
      std::lock_guard<std::mutex> lock(mutex);
      bodies.push_back(result.body);
      if (++done == kCalls) all_done.notify_one();
    });
    EXPECT_EQ(url.rfind("http://", 0), 0u);
  }
  std::vector<std::thread> threads;
  std::atomic<int> blocking_ok{0};
  for (int i = 0; i < kCalls; ++i) {
    threads.emplace_back([&] {
      std::string url = Url("/blocking");
      if (client_.FetchPage(url).body == "same") ++blocking_ok;
    });
  }
  for (auto& thread : threads) thread.join();
  std::unique_lock<std::mutex> lock(mutex);
  ASSERT_TRUE(all_done.wait_for(lock, std::chrono::seconds(60), [&] { return done == kCalls; }));
  EXPECT_EQ(blocking_ok.load(), kCalls);
  EXPECT_EQ(bodies, std::vector<std::string>(kCalls, "same"));
  EXPECT_EQ(Requests().size(), 2u * kCalls);
}

TEST_F(FetchClientTest, DestroyingTheClientReleasesPendingCalls) {
  Reply silent;
  silent.mode = Reply::Mode::kNeverAnswer;
  server_.SetDefault(silent);
  std::atomic<int> released{0};
  std::atomic<int> timed_out{0};
  {
    FetchClient client(nullptr);
    for (int i = 0; i < 8; ++i) {
      std::string url = Url("/pending");
      client.FetchPageAsync(url, {}, [&](FetchResult result) {
        if (result.timed_out) ++timed_out;
        ++released;
      });
    }
    ASSERT_TRUE(server_.WaitForRequests(8, 10000));
  }
  EXPECT_EQ(released.load(), 8);
  EXPECT_EQ(timed_out.load(), 0);
  EXPECT_TRUE(server_.WaitForOpenConnections(0, 5000));
}

}  // namespace
}  // namespace lumvex::http
