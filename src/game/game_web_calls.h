// Web calls that the game's window commands trigger: reporting a game value to the service and
// opening a game room in the main browser. URLs are built piece by piece under the edition's web
// base; nothing is escaped, the login option goes in byte for byte, numbers as "%d" writes them.
//
// Wiring in the main window's WM_COMMAND handling:
//   CMD_SYNC_GAME_INFO (203):    int type = HIWORD(wParam), value = static_cast<int>(lParam);
//                                m_taskQueue.Post([type, value] { SyncGameInfomation(type, value);
//                                });
//   CMD_MASTER_BROADCAST (204):  OnMasterBroadcast(HIWORD(wParam), static_cast<int>(lParam),
//                                                  loader);
//   where `loader` is empty when m_browserClient is null (the close sequence released it), and
//   otherwise loads the URL into the main browser's main frame, doing nothing when there is no
//   browser or no frame:
//     [client = m_browserClient](const std::string& url) {
//       if (CefRefPtr<CefBrowser> browser = client->GetBrowser())  // the main browser
//         if (CefRefPtr<CefFrame> frame = browser->GetMainFrame())
//           frame->LoadURL(url);  // the narrow URL read as UTF-8
//     }
#pragma once

#include <functional>
#include <string>

// Loads a URL (UTF-8) into the main browser's main frame.
using MainFrameUrlLoader = std::function<void(const std::string& url)>;

// Task-queue worker only (blocks for up to 30 s): GETs "syncGameUserInfo.action" with the login
// option, sync type and value, and logs the answer; the answer is not interpreted.
void SyncGameInfomation(int syncType, int syncValue);

// UI thread: loads "gameRoomRedirect.action" for the room into the main frame through
// `loadIntoMainFrame`; an empty loader means the main window has no browser client any more.
void OnMasterBroadcast(int highPart, int lowPart, const MainFrameUrlLoader& loadIntoMainFrame);

namespace zarvik {

std::string BuildSyncUrl(const std::string& webBase,
                         const std::string& loginOpt,
                         int syncType,
                         int syncValue);
std::string BuildRoomUrl(const std::string& webBase,
                         const std::string& loginOpt,
                         int highPart,
                         int lowPart);

// The two operations under another web base (ending with "/").
void SyncGameInfomationAt(const std::string& webBase, int syncType, int syncValue);
void OnMasterBroadcastAt(const std::string& webBase,
                         int highPart,
                         int lowPart,
                         const MainFrameUrlLoader& loadIntoMainFrame);

}  // namespace zarvik
