#include "web/server_query.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/endpoints.h"
#include "base/globals.h"
#include "common/encoding.h"
#include "support/log_capture.h"
#include "support/loopback_http_server.h"

namespace {

using zarvik::ServerQuery;
using zarvik_test::HttpResponseScript;
using zarvik_test::LogCapture;
using zarvik_test::LogEntry;
using zarvik_test::LoopbackHttpServer;

// "%u4E2D%u6587" is the service's way of sending two Chinese characters.
const std::wstring kChinese = L"\x4E2D\x6587";

TEST(UnescapeText, ReplacesEscapesAndNeverReadsPastTheEnd) {
  struct Row {
    std::string in;
    std::string out;
  };
  const Row rows[] = {
      {"plain text", "plain text"},
      {"a%20b%2Fc", "a b/c"},
      {"%41%4a%4A", "AJJ"},  // both cases of a hex digit count the same
      {"%u0041%u0062!", "Ab!"},
      {"100%", "100%"},
      {"%4", "%4"},
      {"x%u12", "x%u12"},
      {"x%u123", "x%u123"},
      {"%u", "%u"},
      {"%zz", std::string(1, static_cast<char>((('z' - 87) * 16 + ('z' - 87)) & 0xFF))},
      {"", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.in);
    EXPECT_EQ(UnescapeText(row.in), row.out);
  }
  EXPECT_EQ(UnescapeText("%u4E2D%u6587"), zarvik::WideToOem(kChinese));
}

// Run once more under a Chinese locale by the build (ZARVIK_EXPECT_OEMCP=936), where the OEM
// code page is GBK.
TEST(UnescapeText, ChineseEscapesBecomeOemCodePageBytes) {
  const char* expected = std::getenv("ZARVIK_EXPECT_OEMCP");
  if (!expected || std::atoi(expected) != 936)
    GTEST_SKIP() << "only under a Chinese locale";
  ASSERT_EQ(GetOEMCP(), 936u);
  EXPECT_EQ(UnescapeText("%u4E2D%u6587%21"), "\xD6\xD0\xCE\xC4!");
}

struct ReplyRow {
  std::string body;  // "$" stands for the query's flag member
  bool result;
  std::string error;  // the ERROR line expected after the INFO line, "" for none
};

std::string WithMember(std::string body, const std::string& member) {
  for (size_t at; (at = body.find('$')) != std::string::npos;)
    body.replace(at, 1, member);
  return body;
}

std::string Nested(size_t depth, const std::string& inner) {
  return std::string(depth, '[') + inner + std::string(depth, ']');
}

class ServerQueryTest : public testing::Test {
 protected:
  struct Kind {
    ServerQuery query;
    std::string member;
    std::string statusText;  // "<action> : call failed ..." up to the status
    std::string msgText;
  };
  const Kind m_kinds[2] = {
      {ServerQuery::kSwitch, "switch",
       "getZarvikSwitch.action : call failed retcode : ", " & ret msg : "},
      {ServerQuery::kPermission, "isAllow",
       "isZarvikAllow.action : call failed return code : ", " & return msg : "},
  };
  LogCapture m_log;
  LoopbackHttpServer m_server;
};

TEST_F(ServerQueryTest, RepliesAreReadByTheJsonRules) {
  ASSERT_TRUE(m_server.IsListening());
  const std::string parseError = "json parse error.";
  const std::vector<ReplyRow> rows = {
      {"{\"status\":0,\"$\":true}", true, ""},
      {"{\"status\":0,\"$\":false}", false, ""},
      {"{\"status\":0}", false, ""},
      {"{}", false, ""},
      {"{\"$\":true}", true, ""},  // a missing status reads 0
      {"{\"status\":null,\"msg\":null,\"$\":true}", true, ""},
      {"/* comment */ {\"status\":0, \"$\":true} // comment", true, ""},
      // How the flag member reads.
      {"{\"status\":0,\"$\":1}", true, ""},
      {"{\"status\":0,\"$\":0}", false, ""},
      {"{\"status\":0,\"$\":0.5}", true, ""},
      {"{\"status\":0,\"$\":\"no\"}", true, ""},
      {"{\"status\":0,\"$\":\"\"}", false, ""},
      {"{\"status\":0,\"$\":[0]}", true, ""},
      {"{\"status\":0,\"$\":[]}", false, ""},
      {"{\"status\":0,\"$\":{\"a\":1}}", true, ""},
      {"{\"status\":0,\"$\":{}}", false, ""},
      {"{\"status\":0,\"$\":null}", false, ""},
      // A status other than 0 refuses, whatever the flag says; the message is unescaped.
      {"{\"status\":1,\"$\":true,\"msg\":\"%u4E2D%u6587 busy\"}", false,
       "1#" + zarvik::WideToOem(kChinese) + " busy"},
      {"{\"status\":-7,\"$\":true}", false, "-7#"},
      {"{\"status\":true,\"$\":true,\"msg\":12}", false, "1#12"},
      {"{\"status\":false,\"$\":true}", true, ""},
      {"{\"status\":1.9,\"$\":true,\"msg\":false}", false, "1#false"},
      {"{\"status\":-0.5,\"$\":true}", true, ""},  // cut toward zero
      {"{\"status\":2147483647,\"$\":true}", false, "2147483647#"},
      // Unusable replies.
      {"", false, parseError},
      {"<html><body>Service down</body></html>", false, parseError},
      {"{\"status\":0,", false, parseError},
      {"[{\"status\":0,\"$\":true}]", false, parseError},
      {"\"status\"", false, parseError},
      {"42", false, parseError},
      {"null", false, parseError},
      {"true", false, parseError},
      {"{\"status\":[0],\"$\":true}", false, parseError},
      {"{\"status\":{},\"$\":true}", false, parseError},
      {"{\"status\":\"0\",\"$\":true}", false, parseError},
      {"{\"status\":2147483648,\"$\":true}", false, parseError},
      {"{\"status\":-2147483649,\"$\":true}", false, parseError},
      {"{\"status\":1e300,\"$\":true}", false, parseError},
      {"{\"status\":0,\"msg\":[1],\"$\":true}", false, parseError},
      {"{\"status\":0,\"msg\":{},\"$\":true}", false, parseError},
      {Nested(100000, "1"), false, parseError},
      {"{\"status\":0,\"$\":" + Nested(50000, "") + "}", false, parseError},
  };
  for (const Kind& kind : m_kinds) {
    for (const ReplyRow& row : rows) {
      std::string body = WithMember(row.body, kind.member);
      SCOPED_TRACE(kind.member + " <- " + body.substr(0, 80));
      HttpResponseScript response;
      response.body = body;
      m_server.Enqueue(response);
      m_log.Clear();
      std::string url = m_server.Url("/" + kind.member + ".action");
      EXPECT_EQ(zarvik::RunServerQuery(kind.query, url), row.result);

      std::vector<LogEntry> expected = {
          {"INFO", "exec the url : " + url + " return result : " + body}};
      if (row.error == parseError) {
        expected.push_back({"ERROR", parseError});
      } else if (!row.error.empty()) {
        size_t hash = row.error.find('#');
        expected.push_back({"ERROR", kind.statusText + row.error.substr(0, hash) + kind.msgText +
                                         row.error.substr(hash + 1)});
      }
      std::vector<LogEntry> entries = m_log.Entries();
      ASSERT_EQ(entries.size(), expected.size());
      for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(entries[i].level, expected[i].level);
        EXPECT_EQ(entries[i].message, expected[i].message);
      }
    }
  }
}

TEST_F(ServerQueryTest, ErrorPagesAndBrokenTransfersFail) {
  // An HTTP error page is a completed transfer: logged, then not JSON.
  HttpResponseScript page;
  page.status = 500;
  page.contentType = "text/html";
  page.body = "<h1>500</h1>";
  m_server.Enqueue(page);
  std::string url = m_server.Url("/getZarvikSwitch.action");
  EXPECT_FALSE(zarvik::RunServerQuery(ServerQuery::kSwitch, url));
  std::vector<std::string> messages = m_log.Messages();
  EXPECT_EQ(messages,
            (std::vector<std::string>{"exec the url : " + url + " return result : <h1>500</h1>",
                                      "json parse error."}));

  // A stalled answer: the time-out's code and the part that arrived.
  HttpResponseScript stall;
  stall.body = "{\"status\":0,\"isAllow\":true}";
  stall.headersBeforeStall = true;
  stall.bytesBeforeStall = 11;
  stall.stallMs = 60000;
  m_server.Enqueue(stall);
  m_log.Clear();
  url = m_server.Url("/isZarvikAllow.action?GUID=g");
  EXPECT_FALSE(zarvik::RunServerQuery(ServerQuery::kPermission, url, 1));
  std::vector<LogEntry> entries = m_log.Entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].level, "ERROR");
  EXPECT_EQ(entries[0].message,
            "call the url : " + url + " failed. & recode : 28 & msg : {\"status\":0");
}

TEST_F(ServerQueryTest, GuidGoesIntoTheQueryUnescaped) {
  EXPECT_EQ(zarvik::PermissionQueryUrl("http://h/isZarvikAllow.action", L"{A B&x=1}"),
            "http://h/isZarvikAllow.action?GUID={A B&x=1}");

  HttpResponseScript allow;
  allow.body = "{\"status\":0,\"isAllow\":true}";
  m_server.Enqueue(allow);
  std::string url =
      zarvik::PermissionQueryUrl(m_server.Url("/isZarvikAllow.action"), L"{6F96&19FF}");
  EXPECT_TRUE(zarvik::RunServerQuery(ServerQuery::kPermission, url));
  auto requests = m_server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "/isZarvikAllow.action?GUID={6F96&19FF}");

  // libcurl refuses a URL with a blank in it: the query fails with its log line, nothing is sent.
  m_log.Clear();
  url = zarvik::PermissionQueryUrl(m_server.Url("/isZarvikAllow.action"), L"{6F96 19FF}");
  EXPECT_FALSE(zarvik::RunServerQuery(ServerQuery::kPermission, url));
  std::vector<LogEntry> entries = m_log.Entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].level, "ERROR");
  EXPECT_EQ(entries[0].message, "call the url : " + url + " failed. & recode : 3 & msg : ");
  EXPECT_EQ(m_server.Requests().size(), 1u);
}

// The public queries read the edition's row of the endpoint table and the start GUID. Whether the
// demo service answers here does not matter: either log line names the URL that was asked.
TEST_F(ServerQueryTest, PublicQueriesUseTheEditionsUrlAndTheGuid) {
  g_editionIndex = 1;
  g_guid = L"{G U&ID}";
  QueryUpdatePermission();
  QueryUpdateSwitch();
  g_editionIndex = 0;
  g_guid.clear();
  std::vector<std::string> messages = m_log.Messages();
  auto names = [&](const std::string& url) {
    for (const std::string& message : messages) {
      if (message.rfind("call the url : " + url + " failed.", 0) == 0 ||
          message.rfind("exec the url : " + url + " return result : ", 0) == 0)
        return true;
    }
    return false;
  };
  EXPECT_TRUE(names(std::string(g_permissionQueryUrl[1]) + "?GUID={G U&ID}"));
  EXPECT_TRUE(names(g_switchQueryUrl[1]));
}

}  // namespace
