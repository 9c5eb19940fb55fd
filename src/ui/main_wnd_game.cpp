// Main window: the game link (the watcher of the game's process and the game's web calls, kept
// by GameLink) and the game's broadcast command, which loads a page into the main browser.
#include "game/game_web_calls.h"
#include "ui/main_wnd.h"

void CMainWnd::StartGameWatcher() {
  m_gameLink.StartWatcher(m_hWnd);
}

void CMainWnd::StopGameWatcher() {
  m_gameLink.StopWatcher();
}

void CMainWnd::SyncGameInfo(int syncType, int syncValue) {
  m_gameLink.SyncGameInfo(syncType, syncValue);
}

void CMainWnd::MasterBroadcast(int highPart, int lowPart) {
  MainFrameUrlLoader loader;
  if (m_browserHost.Client())
    loader = [this](const std::string& url) { LoadIntoMainFrame(url); };
  OnMasterBroadcast(highPart, lowPart, loader);
}
