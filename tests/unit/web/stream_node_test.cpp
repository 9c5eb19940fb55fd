#include "web/stream_node.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/loopback_http_server.h"
#include "web/http_get.h"

namespace {

using zarvik_test::HttpRequestRecord;
using zarvik_test::HttpResponseScript;
using zarvik_test::LoopbackHttpServer;

const std::string kPullHost = "pull.cdn.example:8080";

// The request's header lines without the Host line that libcurl adds itself.
std::vector<std::string> OwnHeaders(const HttpRequestRecord& request) {
  std::vector<std::string> lines;
  for (const std::string& line : request.headerLines) {
    if (line.rfind("Host:", 0) != 0)
      lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> ExpectedHeaders(const std::string& stream) {
  return {"Accept:*/*", "WS_URL:" + kPullHost + "/show/" + stream, "WS_RETIP_NUM:3",
          "WS_URL_TYPE:3"};
}

HttpResponseScript Answer(int status, const std::string& body) {
  HttpResponseScript response;
  response.status = status;
  response.body = body;
  response.contentType = "text/plain";
  return response;
}

TEST(StreamNode, AsksTheSchedulerRootWithTheFourHeadersVerbatim) {
  LoopbackHttpServer scheduler;
  ASSERT_TRUE(scheduler.IsListening());
  // Names go in byte for byte: blanks, separators, UTF-8.
  const std::string streams[] = {"room-1001", "a b&c=d/e?f#g", "\xE7\x9B\xB4\xE6\x92\xAD"};
  for (const std::string& stream : streams) {
    SCOPED_TRACE(stream);
    scheduler.Enqueue(Answer(200, "node1\nnode2\nnode3\n"));
    EXPECT_EQ(zarvik::QueryStreamNodeAt(scheduler.HostPort(), kPullHost, stream),
              "node1\nnode2\nnode3\n");
    HttpRequestRecord request = scheduler.Requests().back();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/");
    EXPECT_EQ(OwnHeaders(request), ExpectedHeaders(stream));
  }
  EXPECT_EQ(scheduler.Requests().size(), 3u);
}

TEST(StreamNode, RetriesOnceAfterAFailedAttempt) {
  struct Row {
    const char* name;
    HttpResponseScript first;
    HttpResponseScript second;
    std::string result;
    size_t requests;
  };
  HttpResponseScript hangUp;
  hangUp.closeWithoutAnswer = true;
  const Row rows[] = {
      {"empty body counts as failure", Answer(200, ""), Answer(200, "n1 n2 n3"), "n1 n2 n3", 2},
      {"dropped connection", hangUp, Answer(200, "n1"), "n1", 2},
      {"error page is an answer", Answer(404, "<h1>404</h1>"), Answer(200, "unused"),
       "<h1>404</h1>", 1},
      {"two failures give the empty text", hangUp, Answer(200, ""), "", 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    LoopbackHttpServer scheduler;
    scheduler.Enqueue(row.first);
    scheduler.Enqueue(row.second);
    EXPECT_EQ(zarvik::QueryStreamNodeAt(scheduler.HostPort(), kPullHost, "s"), row.result);
    auto requests = scheduler.Requests();
    ASSERT_EQ(requests.size(), row.requests);
    for (const HttpRequestRecord& request : requests)
      EXPECT_EQ(OwnHeaders(request), ExpectedHeaders("s"));
  }
}

TEST(StreamNode, UnreachableOrStalledSchedulerIsGivenUpOn) {
  std::string host;
  {
    LoopbackHttpServer gone;
    host = gone.HostPort();
  }
  EXPECT_EQ(zarvik::QueryStreamNodeAt(host, kPullHost, "s"), "");

  // The first attempt stalls past the 5 s limit; the second gets the nodes.
  LoopbackHttpServer scheduler;
  HttpResponseScript stall = Answer(200, "late");
  stall.stallMs = 60000;
  scheduler.Enqueue(stall);
  scheduler.Enqueue(Answer(200, "n1,n2,n3"));
  EXPECT_EQ(zarvik::QueryStreamNodeAt(scheduler.HostPort(), kPullHost, "s"), "n1,n2,n3");
  auto requests = scheduler.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].answeredTick, 0u) << "the stalled answer never went out";
  EXPECT_EQ(OwnHeaders(requests[1]), ExpectedHeaders("s"));
}

TEST(StreamNode, NamesWithLineBreaksAreRefusedBeforeAnyRequest) {
  LoopbackHttpServer scheduler;
  ASSERT_TRUE(scheduler.IsListening());
  const std::string names[] = {"room\r\nX-Injected: 1", "room\nX: 1", "room\r",
                               std::string("room\0x", 6)};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    scheduler.Enqueue(Answer(200, "node1"));
    EXPECT_EQ(zarvik::QueryStreamNodeAt(scheduler.HostPort(), kPullHost, name), "");
  }
  EXPECT_TRUE(scheduler.Requests().empty());
}

TEST(StreamNode, AnAnswerPastTheSizeCapsIsNoAnswer) {
  HttpResponseScript bigBody = Answer(200, std::string(kMaxReplyBodyBytes + 1, 'n'));
  HttpResponseScript bigHeaders = Answer(200, "n1");
  bigHeaders.extraHeaders.push_back("X-Padding: " + std::string(kMaxReplyHeaderBytes, 'h'));
  struct Row {
    const char* name;
    HttpResponseScript first, second;
    std::string result;
  };
  const Row rows[] = {
      {"two bodies over the cap", bigBody, bigBody, ""},
      {"body over the cap, then a good answer", bigBody, Answer(200, "n2"), "n2"},
      {"headers over their cap, then a good answer", bigHeaders, Answer(200, "n3"), "n3"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    LoopbackHttpServer scheduler;
    scheduler.Enqueue(row.first);
    scheduler.Enqueue(row.second);
    EXPECT_EQ(zarvik::QueryStreamNodeAt(scheduler.HostPort(), kPullHost, "s"), row.result);
    EXPECT_EQ(scheduler.Requests().size(), 2u);
  }
}

}  // namespace
