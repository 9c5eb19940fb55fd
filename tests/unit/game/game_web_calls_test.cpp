#include "game/game_web_calls.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "base/endpoints.h"
#include "base/globals.h"
#include "support/log_capture.h"
#include "support/loopback_http_server.h"
#include "ui/task_queue.h"

namespace {

using zarvik_test::HttpResponseScript;
using zarvik_test::LogCapture;
using zarvik_test::LoopbackHttpServer;

TEST(GameWebUrls, PiecesGoInUnescapedWithSignedDecimals) {
  struct Row {
    std::string opt;
    int a, b;
    std::string syncQuery, roomQuery;
  };
  const Row rows[] = {
      {"p1", 7, -1, "opt=p1&syncType=7&syncValue=-1", "opt=p1&roomNumberHigh=7&roomNumberLow=-1"},
      {"", 0, 0, "opt=&syncType=0&syncValue=0", "opt=&roomNumberHigh=0&roomNumberLow=0"},
      {"a b&c=%41\xB0\xA1", 65535, INT_MIN,
       "opt=a b&c=%41\xB0\xA1&syncType=65535&syncValue=-2147483648",
       "opt=a b&c=%41\xB0\xA1&roomNumberHigh=65535&roomNumberLow=-2147483648"},
      {"x", 1, INT_MAX, "opt=x&syncType=1&syncValue=2147483647",
       "opt=x&roomNumberHigh=1&roomNumberLow=2147483647"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.syncQuery);
    EXPECT_EQ(zarvik::BuildSyncUrl("http://h/", row.opt, row.a, row.b),
              "http://h/syncGameUserInfo.action?" + row.syncQuery);
    EXPECT_EQ(zarvik::BuildRoomUrl("http://h/", row.opt, row.a, row.b),
              "http://h/gameRoomRedirect.action?" + row.roomQuery);
  }
}

class GameWebCallTest : public testing::Test {
 protected:
  void SetUp() override { g_loginOpt = "tok&en=1"; }
  void TearDown() override {
    g_loginOpt.clear();
    g_editionIndex = 0;
  }
  LogCapture m_log;
  LoopbackHttpServer m_server;
};

TEST_F(GameWebCallTest, SyncRequestsTheActionAndLogsTheAnswer) {
  ASSERT_TRUE(m_server.IsListening());
  struct Row {
    int status;
    std::string body;
  };
  const Row rows[] = {{200, "{\"status\":0}"}, {500, "<h1>oops</h1>"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.body);
    m_log.Clear();
    HttpResponseScript answer;
    answer.status = row.status;
    answer.body = row.body;
    m_server.Enqueue(answer);
    zarvik::SyncGameInfomationAt(m_server.Url("/"), 7, -1);

    std::string url = m_server.Url("/syncGameUserInfo.action?opt=tok&en=1&syncType=7&syncValue=-1");
    EXPECT_EQ(m_log.Messages(),
              (std::vector<std::string>{"call SyncGameInfomation()", url,
                                        "sync gameuser information url is : " + url +
                                            ",response data : " + row.body + ",retCode : 0"}));
    EXPECT_EQ(m_server.Requests().back().target,
              "/syncGameUserInfo.action?opt=tok&en=1&syncType=7&syncValue=-1");
  }
  EXPECT_EQ(m_server.Requests().size(), 2u) << "no retry";
}

// As the main window runs them: posted to its single-worker task queue, the second request only
// goes out once the first has been answered, even when that answer is slow.
TEST_F(GameWebCallTest, QueuedSyncCallsRunOneAfterAnother) {
  HttpResponseScript slow;
  slow.body = "first";
  slow.stallMs = 700;
  HttpResponseScript quick;
  quick.body = "second";
  m_server.Enqueue(slow);
  m_server.Enqueue(quick);
  const std::string base = m_server.Url("/");
  TaskQueue queue(1);
  queue.Start();
  queue.Post([base] { zarvik::SyncGameInfomationAt(base, 7, -1); });
  queue.Post([base] { zarvik::SyncGameInfomationAt(base, 8, 5); });
  ASSERT_TRUE(m_server.WaitForRequests(2, 30000));
  queue.Stop();  // lets the running call finish its log line

  auto requests = m_server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].target, "/syncGameUserInfo.action?opt=tok&en=1&syncType=7&syncValue=-1");
  EXPECT_EQ(requests[1].target, "/syncGameUserInfo.action?opt=tok&en=1&syncType=8&syncValue=5");
  ASSERT_NE(requests[0].answeredTick, 0u);
  EXPECT_GE(requests[1].receivedTick, requests[0].answeredTick);
  std::vector<std::string> messages = m_log.Messages();
  ASSERT_EQ(messages.size(), 6u);
  EXPECT_NE(messages[2].find(",response data : first,retCode : 0"), std::string::npos);
  EXPECT_NE(messages[5].find(",response data : second,retCode : 0"), std::string::npos);
}

TEST_F(GameWebCallTest, UnreachableServiceIsOnlyLogged) {
  std::string base;
  {
    LoopbackHttpServer gone;
    base = gone.Url("/");
  }
  zarvik::SyncGameInfomationAt(base, 1, 2);
  std::vector<std::string> messages = m_log.Messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[2], "sync gameuser information url is : " + base +
                             "syncGameUserInfo.action?opt=tok&en=1&syncType=1&syncValue=2"
                             ",response data : ,retCode : 7");
}

TEST_F(GameWebCallTest, RoomUrlGoesToTheMainFrameOrIsDroppedWithoutBrowserClient) {
  std::vector<std::string> loaded;
  MainFrameUrlLoader loader = [&](const std::string& url) { loaded.push_back(url); };
  const std::string url =
      "http://h/gameRoomRedirect.action?opt=tok&en=1&roomNumberHigh=1"
      "&roomNumberLow=2";
  zarvik::OnMasterBroadcastAt("http://h/", 1, 2, loader);
  EXPECT_EQ(loaded, std::vector<std::string>{url});
  EXPECT_EQ(m_log.Messages(),
            std::vector<std::string>{
                "master broadcast notify from game client and the notify url is :" + url});

  m_log.Clear();
  zarvik::OnMasterBroadcastAt("http://h/", 1, 2, MainFrameUrlLoader());
  EXPECT_EQ(m_log.Messages(),
            (std::vector<std::string>{
                "master broadcast notify from game client and the notify url is :" + url,
                "error when find webhost!"}));
}

// The public calls use the edition's web base and the login option from the start arguments.
TEST_F(GameWebCallTest, PublicCallsUseTheEditionsWebBase) {
  g_editionIndex = 1;
  g_loginOpt = "";
  std::string loaded;
  OnMasterBroadcast(3, -4, [&](const std::string& url) { loaded = url; });
  EXPECT_EQ(loaded, std::string(g_webBaseUrl[1]) +
                        "gameRoomRedirect.action?opt=&roomNumberHigh=3&roomNumberLow=-4");

  m_log.Clear();
  SyncGameInfomation(9, 10);  // the demo service may or may not answer; the URL is logged first
  std::vector<std::string> messages = m_log.Messages();
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(messages[1],
            std::string(g_webBaseUrl[1]) + "syncGameUserInfo.action?opt=&syncType=9&syncValue=10");
}

}  // namespace
