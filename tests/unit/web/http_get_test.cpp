#include "web/http_get.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <string>

#include "support/log_capture.h"
#include "support/loopback_http_server.h"

namespace {

using zarvik_test::HttpResponseScript;
using zarvik_test::LoopbackHttpServer;

TEST(HttpSinks, BodySinkKeepsEveryByteAndHeaderSinkStopsAtZero) {
  std::string body = "a";
  const char block[] = {'x', '\0', 'y'};
  EXPECT_EQ(AppendBodyToString(const_cast<char*>(block), 1, 3, &body), 3u);
  EXPECT_EQ(body, std::string("ax\0y", 4));

  std::string header = "H";
  EXPECT_EQ(AppendHeaderToString(const_cast<char*>(block), 1, 3, &header), 3u);
  EXPECT_EQ(header, "Hx");
  const char line[] = {'O', 'K', '\r', '\n'};
  EXPECT_EQ(AppendHeaderToString(const_cast<char*>(line), 1, 4, &header), 4u);
  EXPECT_EQ(header, "HxOK\r\n");

  // A missing buffer or string aborts the transfer.
  EXPECT_EQ(AppendBodyToString(nullptr, 1, 3, &body), static_cast<size_t>(-1));
  EXPECT_EQ(AppendBodyToString(const_cast<char*>(block), 1, 3, nullptr), static_cast<size_t>(-1));
  EXPECT_EQ(AppendHeaderToString(nullptr, 1, 3, &header), static_cast<size_t>(-1));
  EXPECT_EQ(AppendHeaderToString(const_cast<char*>(block), 1, 3, nullptr), static_cast<size_t>(-1));
  EXPECT_EQ(body, std::string("ax\0y", 4));
}

TEST(HttpGet, RefusedOptionIsReportedAndNothingIsSent) {
  // A URL above libcurl's input limit is refused when it is set; the request must not go out
  // to whatever URL the handle would otherwise use.
  LoopbackHttpServer server;
  ASSERT_TRUE(server.IsListening());
  zarvik_test::LogCapture log;
  std::string body;
  const int code =
      zarvik::HttpGetWithTimeouts(server.Url("/?pad=" + std::string(9000000, 'a')), body, 2, 5);
  EXPECT_EQ(code, CURLE_BAD_FUNCTION_ARGUMENT);
  EXPECT_TRUE(body.empty());
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_TRUE(log.HasError("cannot prepare the request"));
}

TEST(HttpGet, ReturnsTheBodyOfAnyStatusAndFollowsNoRedirect) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.IsListening());
  struct Row {
    int status;
    std::string body;
    std::vector<std::string> extraHeaders;
  };
  const Row rows[] = {
      {200, std::string("{\"status\":0}\0tail", 17), {}},
      {404, "<html>missing</html>", {}},
      {500, "", {}},
      {302, "moved", {"Location: /elsewhere"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.status);
    HttpResponseScript response;
    response.status = row.status;
    response.body = row.body;
    response.extraHeaders = row.extraHeaders;
    server.Enqueue(response);
    std::string body = "kept:";
    EXPECT_EQ(HttpGetToString(server.Url("/a.action?opt=x&n=-1"), body), 0);
    EXPECT_EQ(body, "kept:" + row.body);
  }
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 4u) << "the redirect must not be followed";
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, "/a.action?opt=x&n=-1");
}

TEST(HttpGet, TransportFailuresReturnTheCurlCodeAndWhatArrived) {
  std::string body;
  {
    LoopbackHttpServer closed;
    ASSERT_TRUE(closed.IsListening());
    HttpResponseScript hangUp;
    hangUp.closeWithoutAnswer = true;
    closed.Enqueue(hangUp);
    EXPECT_EQ(HttpGetToString(closed.Url("/x"), body), 52);  // empty reply from server
    EXPECT_EQ(body, "");
  }
  std::string url;
  {
    LoopbackHttpServer gone;
    url = gone.Url("/x");
  }
  EXPECT_EQ(HttpGetToString(url, body), 7);  // nobody listens any more: cannot connect

  // A service that stops in the middle of its answer: the time-out ends the transfer and the
  // part that arrived stays in the body.
  LoopbackHttpServer stalling;
  HttpResponseScript stall;
  stall.body = "{\"status\":0,\"switch\":true}";
  stall.headersBeforeStall = true;
  stall.bytesBeforeStall = 5;
  stall.stallMs = 60000;
  stalling.Enqueue(stall);
  body.clear();
  EXPECT_EQ(zarvik::HttpGetWithTimeouts(stalling.Url("/x"), body, 1, 1), 28);
  EXPECT_EQ(body, "{\"sta");
}

TEST(HttpGet, RepliesPastTheSizeCapsStopTheTransfer) {
  struct Row {
    const char* name;
    size_t bodyBytes;
    size_t headerBytes;  // one extra header line of about this size
    int expected;
  };
  const Row rows[] = {
      {"body at the cap", kMaxReplyBodyBytes, 0, 0},
      {"body one byte over", kMaxReplyBodyBytes + 1, 0, 23},
      {"body of 4 MiB", 4u << 20, 0, 23},
      // Headers are not kept here (libcurl itself bounds each line): only the body counts.
      {"long header line", 10, kMaxReplyHeaderBytes + 100, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    LoopbackHttpServer server;
    HttpResponseScript big;
    big.body = std::string(row.bodyBytes, 'x');
    if (row.headerBytes)
      big.extraHeaders.push_back("X-Padding: " + std::string(row.headerBytes, 'h'));
    server.Enqueue(big);
    std::string body;
    EXPECT_EQ(HttpGetToString(server.Url("/big"), body), row.expected);
    EXPECT_LE(body.size(), kMaxReplyBodyBytes);
    if (row.expected == 0) {
      EXPECT_EQ(body.size(), row.bodyBytes);
    }
  }
  // The sinks refuse growth past the caps whatever the chunk sizes.
  std::string text(kMaxReplyBodyBytes - 2, 'a');
  char chunk[4] = {'b', 'b', 'b', 'b'};
  EXPECT_EQ(AppendBodyToString(chunk, 1, 2, &text), 2u);
  EXPECT_EQ(AppendBodyToString(chunk, 1, 1, &text), static_cast<size_t>(-1));
  EXPECT_EQ(text.size(), kMaxReplyBodyBytes);
  std::string header(kMaxReplyHeaderBytes, 'h');
  EXPECT_EQ(AppendHeaderToString(chunk, 1, 1, &header), static_cast<size_t>(-1));
  EXPECT_EQ(header.size(), kMaxReplyHeaderBytes);
}

}  // namespace
