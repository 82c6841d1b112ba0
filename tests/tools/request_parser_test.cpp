#include "fixture/request_parser.h"

#include <gtest/gtest.h>

#include <string>

namespace lumvex::tools {
namespace {

using Status = RequestParser::Status;

TEST(RequestParserTest, AssemblesARequestFedOneByteAtATime) {
  const std::string head =
      "POST /submit?a=1&b=%20 HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Odd:   spaced  \r\n"
      "Content-Length: 11\r\n\r\n";
  const std::string input = head + "hello world" + "GET /next HTTP/1.1\r\n\r\n";
  RequestParser parser;
  size_t fed = 0;
  Status status = Status::kNeedMore;
  while (status == Status::kNeedMore && fed < input.size()) {
    status = parser.Feed(input.substr(fed++, 1));
  }
  ASSERT_EQ(status, Status::kComplete);
  EXPECT_EQ(fed, head.size() + 11) << "complete exactly when the last body byte arrives";
  // What follows the request belongs to no one; it must not change the result.
  EXPECT_EQ(parser.Feed("trailing junk\r\n\r\n"), Status::kComplete);
  RecordedRequest r = parser.TakeRequest();
  EXPECT_EQ(r.head, head);
  EXPECT_EQ(r.body, "hello world");
  EXPECT_EQ(r.method, "POST");
  EXPECT_EQ(r.target, "/submit?a=1&b=%20");
  EXPECT_EQ(r.version, "HTTP/1.1");
}

TEST(RequestParserTest, ReadsHeadAndBodyArrivingInOnePiece) {
  RequestParser parser;
  ASSERT_EQ(parser.Feed("PUT http://example.test/x HTTP/1.0\r\ncontent-length:3\r\n\r\nabcdef"),
            Status::kComplete);
  RecordedRequest r = parser.TakeRequest();
  EXPECT_EQ(r.target, "http://example.test/x");
  EXPECT_EQ(r.version, "HTTP/1.0");
  EXPECT_EQ(r.body, "abc");
}

TEST(RequestParserTest, AcceptsBareLineFeedsAndMixedLineEnds) {
  RequestParser bare;
  ASSERT_EQ(bare.Feed("GET / HTTP/1.0\nHost: a\n\n"), Status::kComplete);
  EXPECT_EQ(bare.TakeRequest().head, "GET / HTTP/1.0\nHost: a\n\n");

  RequestParser mixed;
  ASSERT_EQ(mixed.Feed("GET /m HTTP/1.1\r\nHost: a\n\r\nbody?"), Status::kComplete);
  RecordedRequest r = mixed.TakeRequest();
  EXPECT_EQ(r.head, "GET /m HTTP/1.1\r\nHost: a\n\r\n");
  EXPECT_EQ(r.body, "") << "no Content-Length means no body";
}

TEST(RequestParserTest, WaitsForTheWholeBody) {
  RequestParser parser;
  EXPECT_EQ(parser.Feed("POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\n12345"), Status::kNeedMore);
  EXPECT_EQ(parser.Feed("6789"), Status::kNeedMore);
  EXPECT_EQ(parser.Feed("0 and more"), Status::kComplete);
  EXPECT_EQ(parser.TakeRequest().body, "1234567890");
}

TEST(RequestParserTest, ContentLengthVariants) {
  struct Case {
    const char* header;
    Status status;
    int error;
  };
  const Case cases[] = {
      {"Content-Length:  2 \r\n", Status::kComplete, 0},
      {"Content-Length: 2\r\nContent-Length: 2\r\n", Status::kComplete, 0},
      {"Content-Length: 2\r\nContent-Length: 3\r\n", Status::kBadRequest, 400},
      {"Content-Length: 2a\r\n", Status::kBadRequest, 400},
      {"Content-Length: -1\r\n", Status::kBadRequest, 400},
      {"Content-Length: \r\n", Status::kBadRequest, 400},
      {"Content-Length: 2, 2\r\n", Status::kBadRequest, 400},
      {"Content-Length: 1234567890123456789\r\n", Status::kBadRequest, 400},
      {"Content-Length: 67108865\r\n", Status::kBadRequest, 413},
      {"Transfer-Encoding: chunked\r\n", Status::kBadRequest, 501},
  };
  for (const Case& c : cases) {
    RequestParser parser;
    Status status = parser.Feed(std::string("POST / HTTP/1.1\r\n") + c.header + "\r\nxy");
    EXPECT_EQ(status, c.status) << c.header;
    if (status == Status::kBadRequest) {
      EXPECT_EQ(parser.error_status(), c.error) << c.header;
    }
  }
}

TEST(RequestParserTest, RejectsMalformedHeads) {
  const char* heads[] = {
      "GET /\r\n\r\n",                      // two parts only
      "GET  / HTTP/1.1\r\n\r\n",            // empty target between two spaces
      "GET / HTTP/1.1 extra\r\n\r\n",       // four parts
      "G@T / HTTP/1.1\r\n\r\n",             // not a token
      "GET / FTP/1.0\r\n\r\n",              // not HTTP
      "GET / HTTP/1.1\r\nNoColon\r\n\r\n",  // header line without a colon
      "GET / HTTP/1.1\r\n: empty\r\n\r\n",  // empty header name
      "GET / HTTP/1.1\r\nBad Name: x\r\n\r\n",
      "\r\n\r\n",
      "\x16\x03\x01\x02\x01\xfc\x03\x03\n\n",  // a TLS hello is not a request
  };
  for (const char* head : heads) {
    RequestParser parser;
    EXPECT_EQ(parser.Feed(head), Status::kBadRequest) << head;
    EXPECT_EQ(parser.error_status(), 400) << head;
    EXPECT_EQ(parser.Feed("GET / HTTP/1.1\r\n\r\n"), Status::kBadRequest) << "stays failed";
  }
}

TEST(RequestParserTest, HeaderBlockLimit) {
  const std::string start = "GET / HTTP/1.1\r\nX-Fill: ";
  const std::string end = "\r\n\r\n";

  std::string at_limit =
      start + std::string(RequestParser::kMaxHead - start.size() - end.size(), 'a') + end;
  RequestParser fits;
  ASSERT_EQ(fits.Feed(at_limit), Status::kComplete);
  EXPECT_EQ(fits.TakeRequest().head.size(), RequestParser::kMaxHead);

  std::string over =
      start + std::string(RequestParser::kMaxHead - start.size() - end.size() + 1, 'a') + end;
  RequestParser too_big;
  EXPECT_EQ(too_big.Feed(over), Status::kTooLarge);

  // Without any blank line the parser gives up once the limit is passed, not at the end.
  RequestParser endless;
  Status status = Status::kNeedMore;
  size_t fed = 0;
  while (status == Status::kNeedMore && fed < 4 * RequestParser::kMaxHead) {
    status = endless.Feed(std::string(1000, 'h'));
    fed += 1000;
  }
  EXPECT_EQ(status, Status::kTooLarge);
  EXPECT_LE(fed, RequestParser::kMaxHead + 1000);
}

}  // namespace
}  // namespace lumvex::tools
