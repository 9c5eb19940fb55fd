#include "web/server_query.h"

#include <exception>
#include <memory>

#include "base/endpoints.h"
#include "base/globals.h"
#include "common/encoding.h"
#include "diagnostics/log.h"
#include "web/http_get.h"

namespace {

struct QueryTexts {
  const char* flagMember;
  const char* failedStatus;  // "<action> : call failed ..."
  const char* failedMsg;
};

QueryTexts TextsOf(zarvik::ServerQuery query) {
  if (query == zarvik::ServerQuery::kSwitch)
    return {"switch", "getZarvikSwitch.action : call failed retcode : ", " & ret msg : "};
  return {"isAllow", "isZarvikAllow.action : call failed return code : ", " & return msg : "};
}

}  // namespace

std::string UnescapeText(const std::string& text) {
  return zarvik::UnescapeTextWith(text, [](uint16_t unit) {
    return zarvik::WideToOem(std::wstring(1, static_cast<wchar_t>(unit)));
  });
}

bool QueryUpdateSwitch() {
  return zarvik::RunServerQuery(zarvik::ServerQuery::kSwitch, g_switchQueryUrl[g_editionIndex]);
}

bool QueryUpdatePermission() {
  return zarvik::RunServerQuery(
      zarvik::ServerQuery::kPermission,
      zarvik::PermissionQueryUrl(g_permissionQueryUrl[g_editionIndex], g_guid));
}

namespace zarvik {

std::string PermissionQueryUrl(const std::string& queryUrl, const std::wstring& guid) {
  return queryUrl + "?GUID=" + WideToAnsi(guid);
}

bool RunServerQuery(ServerQuery query, const std::string& url, long timeoutSeconds) {
  QueryTexts texts = TextsOf(query);
  std::string body;
  int code = HttpGetWithTimeouts(url, body, timeoutSeconds, timeoutSeconds);
  if (code != 0) {
    LogLine(ERROR, "call the url : ", url, " failed. & recode : ", code, " & msg : ", body);
    return false;
  }
  LogLine(INFO, "exec the url : ", url, " return result : ", body);

  ServerReply reply = ReadServerReply(body, texts.flagMember);
  if (!reply.valid) {
    LogLine(ERROR, "json parse error.");
    return false;
  }
  if (reply.status != 0) {
    LogLine(ERROR, texts.failedStatus, reply.status, texts.failedMsg, UnescapeText(reply.msg));
    return false;
  }
  return reply.flag;
}

}  // namespace zarvik
