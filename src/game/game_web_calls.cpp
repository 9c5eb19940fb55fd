#include "game/game_web_calls.h"

#include <cstdio>

#include "base/endpoints.h"
#include "base/globals.h"
#include "diagnostics/log.h"
#include "web/http_get.h"

namespace {

std::string Decimal(int value) {
  char text[16];
  std::snprintf(text, sizeof(text), "%d", value);
  return text;
}

}  // namespace

void SyncGameInfomation(int syncType, int syncValue) {
  zarvik::SyncGameInfomationAt(g_webBaseUrl[g_editionIndex], syncType, syncValue);
}

void OnMasterBroadcast(int highPart, int lowPart, const MainFrameUrlLoader& loadIntoMainFrame) {
  zarvik::OnMasterBroadcastAt(g_webBaseUrl[g_editionIndex], highPart, lowPart, loadIntoMainFrame);
}

namespace zarvik {

std::string BuildSyncUrl(const std::string& webBase,
                         const std::string& loginOpt,
                         int syncType,
                         int syncValue) {
  std::string url = webBase;
  url += "syncGameUserInfo.action?opt=";
  url += loginOpt;
  url += "&syncType=";
  url += Decimal(syncType);
  url += "&syncValue=";
  url += Decimal(syncValue);
  return url;
}

std::string BuildRoomUrl(const std::string& webBase,
                         const std::string& loginOpt,
                         int highPart,
                         int lowPart) {
  std::string url = webBase;
  url += "gameRoomRedirect.action?opt=";
  url += loginOpt;
  url += "&roomNumberHigh=";
  url += Decimal(highPart);
  url += "&roomNumberLow=";
  url += Decimal(lowPart);
  return url;
}

void SyncGameInfomationAt(const std::string& webBase, int syncType, int syncValue) {
  LogLine(INFO, "call SyncGameInfomation()");
  std::string url = BuildSyncUrl(webBase, g_loginOpt, syncType, syncValue);
  LogLine(INFO, url);
  std::string body;
  int code = HttpGetToString(url, body);
  LogLine(INFO, "sync gameuser information url is : ", url, ",response data : ", body,
          ",retCode : ", code);
}

void OnMasterBroadcastAt(const std::string& webBase,
                         int highPart,
                         int lowPart,
                         const MainFrameUrlLoader& loadIntoMainFrame) {
  std::string url = BuildRoomUrl(webBase, g_loginOpt, highPart, lowPart);
  LogLine(INFO, "master broadcast notify from game client and the notify url is :", url);
  if (loadIntoMainFrame)
    loadIntoMainFrame(url);
  else
    LogLine(INFO, "error when find webhost!");
}

}  // namespace zarvik
