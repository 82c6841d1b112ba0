// What the judge answers: the request echoed as JSON or as text lines, read back by a JSON
// reader of its own, over real loopback connections.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <utility>

#include "judge/echo_reply.h"
#include "judge_rig.h"

namespace lumvex::judge {
namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

TEST(JudgeFormatsTest, JsonEchoesEveryHeaderAsReceived) {
  const struct {
    const char* name;
    std::string request;
    Fields headers;  // as the JSON must hold them, in order
  } kCases[] = {
      {"proxy fields",
       "GET /get?x=1 HTTP/1.1\r\nHost: j\r\nX-Forwarded-For: 10.0.0.9\r\n\r\n",
       {{"Host", "j"}, {"X-Forwarded-For", "10.0.0.9"}}},
      {"repeated name in any case, first spelling kept",
       "GET / HTTP/1.1\r\nVia: 1.1 a\r\nHost: j\r\nvia: 1.0 b\r\nVIA: c\r\n\r\n",
       {{"Via", "1.1 a, 1.0 b, c"}, {"Host", "j"}}},
      {"blanks around values, empty value",
       "GET / HTTP/1.0\r\nX-Pad: \t v w \t\r\nX-Empty:\r\n\r\n",
       {{"X-Pad", "v w"}, {"X-Empty", ""}}},
      {"bare line feeds, empty lines before the request line",
       "\r\n\nGET / HTTP/1.0\nHost: j\n\n",
       {{"Host", "j"}}},
      {"quotes, backslashes, controls",
       "GET / HTTP/1.1\r\nX-Q: \"a\\b\"\x01\x7f\tc\r\n\r\n",
       {{"X-Q", "\"a\\b\"\x01\x7f\tc"}}},
      {"UTF-8 kept",
       "GET / HTTP/1.1\r\nX-U: \xe4\xb8\xad \xf0\x9f\x98\x80\r\n\r\n",
       {{"X-U", "\xe4\xb8\xad \xf0\x9f\x98\x80"}}},
      // Each byte outside well-formed UTF-8 comes back as the code point of its number.
      {"C1 controls escaped, the character after them kept",
       "GET / HTTP/1.1\r\nX-C1: \xc2\x80\xc2\x9b\xc2\x9f\xc2\xa0\r\n\r\n",
       {{"X-C1", "\xc2\x80\xc2\x9b\xc2\x9f\xc2\xa0"}}},
      {"stray, overlong, surrogate and cut sequences",
       "GET / HTTP/1.1\r\nX-B: \xff\x80 \xc0\xaf \xed\xa0\x80 \xe4\xb8\r\n\r\n",
       {{"X-B", "\xc3\xbf\xc2\x80 \xc3\x80\xc2\xaf \xc3\xad\xc2\xa0\xc2\x80 \xc3\xa4\xc2\xb8"}}},
  };
  RunningJudge judge;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const Reply reply = Exchange(judge.port(), c.request);
    ASSERT_EQ(reply.status, 200);
    EXPECT_EQ(reply.fields.at("content-type"), "application/json");
    EXPECT_EQ(reply.fields.at("content-length"), std::to_string(reply.body.size()));
    // The reader refuses invalid UTF-8, so parsing is the check that the text is valid.
    const nlohmann::ordered_json echo = nlohmann::ordered_json::parse(reply.body);
    EXPECT_EQ(echo.at("origin"), "127.0.0.1");
    Fields got;
    for (const auto& [name, value] : echo.at("headers").items()) got.emplace_back(name, value);
    EXPECT_EQ(got, c.headers);
  }
  // C1 controls appear only as escapes in the text: a terminal showing the answer is not steered.
  const Reply c1 = Exchange(judge.port(),
                            "GET / HTTP/1.1\r\nX-C1: \xc2\x9b"
                            "2J\r\n\r\n");
  EXPECT_NE(c1.body.find("\"X-C1\": \"\\u009b2J\""), std::string::npos) << c1.body;
}

TEST(JudgeFormatsTest, TextLinesWhenAcceptAsksForThem) {
  const struct {
    const char* accept;
    bool text;
  } kCases[] = {
      {"text/plain", true},
      {"TEXT/Plain; charset=utf-8", true},
      {"text/plain, application/json", true},
      {"application/json;q=0.5, text/plain", true},
      {"application/json, text/plain", false},
      {"text/plain;q=0.5, application/json", false},
      {"text/plain;q=0", false},
      {"text/*", false},
      {"*/*", false},
  };
  RunningJudge judge;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.accept);
    const Reply reply = Exchange(
        judge.port(), std::string("GET / HTTP/1.1\r\nAccept: ") + c.accept +
                          "\r\nX-C: a\x01z\tq\r\nX-C: second\xff\xe4\xb8\xad\xe4\xb8\r\n\r\n");
    ASSERT_EQ(reply.status, 200);
    if (c.text) {
      EXPECT_EQ(reply.fields.at("content-type"), "text/plain; charset=utf-8");
      // One line per field as received, repeated ones too; control bytes become spaces, bytes
      // outside UTF-8 (a stray one, a cut sequence) \xHH.
      EXPECT_EQ(reply.body, std::string("REMOTE_ADDR = 127.0.0.1\nAccept = ") + c.accept +
                                "\nX-C = a z q\nX-C = second\\xFF\xe4\xb8\xad\\xE4\\xB8\n");
    } else {
      EXPECT_EQ(reply.fields.at("content-type"), "application/json");
      EXPECT_EQ(nlohmann::json::parse(reply.body).at("headers").at("X-C"),
                "a\x01z\tq, second\xc3\xbf\xe4\xb8\xad\xc3\xa4\xc2\xb8");
    }
  }
}

TEST(JudgeFormatsTest, HeadGivesTheFieldsOfGetWithoutBody) {
  RunningJudge judge;
  for (const char* accept : {"application/json", "text/plain"}) {
    SCOPED_TRACE(accept);
    const std::string rest = std::string(" /h HTTP/1.1\r\nAccept: ") + accept + "\r\n\r\n";
    const Reply get = Exchange(judge.port(), "GET" + rest);
    const Reply head = Exchange(judge.port(), "HEAD" + rest);
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.fields, get.fields);
    EXPECT_FALSE(get.body.empty());
    EXPECT_EQ(head.body, "");
  }
  // Every answer is logged, with its method and status.
  const std::vector<std::string> log = judge.log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_NE(log[1].find(" 127.0.0.1 HEAD /h 200 "), std::string::npos) << log[1];
}

TEST(JudgeFormatsTest, ListenAddressesAndTheOriginShown) {
  const struct {
    const char* listen;
    const char* url;  // where it listens; "" refused
  } kAddresses[] = {
      {"127.0.0.1:0", "http://127.0.0.1:0/"},
      {"0.0.0.0:65535", "http://0.0.0.0:65535/"},
      {"[::1]:8080", "http://[::1]:8080/"},
      {"[::]:0", "http://[::]:0/"},
      // A port alone and localhost are the IPv4 loopback.
      {"8080", "http://127.0.0.1:8080/"},
      {"0", "http://127.0.0.1:0/"},
      {"localhost:80", "http://127.0.0.1:80/"},
      {"LocalHost:80", "http://127.0.0.1:80/"},
      {"127.0.0.1", ""},
      {"localhost", ""},
      {"localhost:", ""},
      {"65536", ""},
      {"", ""},
      {"127.0.0.1:65536", ""},
      {"127.0.0.1:", ""},
      {"127.0.0.1:8o", ""},
      {"example.com:80", ""},
      {"localhost.:80", ""},
      {"1.2.3:80", ""},
      {"::1:80", ""},
      {"[::1:80", ""},
      {"[]:80", ""},
      {":80", ""},
      {"127.0.0.1:-1", ""},
  };
  for (const auto& c : kAddresses) {
    const std::optional<SocketAddress> address = ParseListenAddress(c.listen);
    EXPECT_EQ(address ? ListenUrl(*address) : "", c.url) << c.listen;
  }
  // The origin is the address the client knows as its own: an IPv4 client of a dual-stack
  // listener is shown without the ::ffff: prefix.
  const struct {
    const char* listen;
    const char* connect;  // the client's address family
    const char* origin;
  } kOrigins[] = {
      {"[::1]:0", "::1", "::1"},
      {"[::]:0", "127.0.0.1", "127.0.0.1"},
  };
  for (const auto& c : kOrigins) {
    SCOPED_TRACE(c.listen);
    RunningJudge judge({}, c.listen);
    ASSERT_NE(judge.port(), 0);
    const bool v6 = std::string_view(c.connect).find(':') != std::string_view::npos;
    const int fd = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const std::string to = v6 ? "[" + std::string(c.connect) + "]" : c.connect;
    const std::optional<SocketAddress> address =
        ParseListenAddress(to + ":" + std::to_string(judge.port()));
    ASSERT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&address->storage), address->length),
              0);
    SendAll(fd, "GET / HTTP/1.1\r\n\r\n");
    const Reply reply = ParseReply(ReadAll(fd));
    close(fd);
    EXPECT_EQ(nlohmann::json::parse(reply.body).at("origin"), c.origin);
  }
  EXPECT_EQ(RunningJudge({}, "[::1]:0").url().rfind("http://[::1]:", 0), 0u);
}

}  // namespace
}  // namespace lumvex::judge
