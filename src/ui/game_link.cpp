#include "ui/game_link.h"

#include "base/globals.h"
#include "game/game_web_calls.h"

void GameLink::StartWatcher(HWND mainWnd) {
  // Every timer message starts one more watcher; m_gameThreadId names the newest.
  m_gameWatcher.Start(mainWnd, g_gamePid, m_gameThreadId);
}

void GameLink::StopWatcher() {
  // Stopped cooperatively: once this returns the watcher posts nothing more.
  m_gameWatcher.Stop(m_gameThreadId);
}

void GameLink::SyncGameInfo(int syncType, int syncValue) {
  // The web request blocks: it runs on the queue's worker, in arrival order.
  m_taskQueue.Post([syncType, syncValue] { SyncGameInfomation(syncType, syncValue); });
}
