// Main window: the game link (the watcher of the game's process and the game's web calls).
#include "base/globals.h"
#include "game/game_web_calls.h"
#include "ui/main_wnd.h"

void CMainWnd::StartGameWatcher() {
  // Every timer message starts one more watcher; m_gameThreadId names the newest.
  m_gameWatcher.Start(m_hWnd, g_gamePid, m_gameThreadId);
}

void CMainWnd::StopGameWatcher() {
  // Stopped cooperatively: once this returns the watcher posts nothing more.
  m_gameWatcher.Stop(m_gameThreadId);
}

void CMainWnd::SyncGameInfo(int syncType, int syncValue) {
  // The web request blocks: it runs on the queue's worker, in arrival order.
  m_taskQueue.Post([syncType, syncValue] { SyncGameInfomation(syncType, syncValue); });
}

void CMainWnd::MasterBroadcast(int highPart, int lowPart) {
  MainFrameUrlLoader loader;
  if (m_browserClient)
    loader = [this](const std::string& url) { LoadIntoMainFrame(url); };
  OnMasterBroadcast(highPart, lowPart, loader);
}
