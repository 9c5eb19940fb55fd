// Main window: the game link (the watcher of the game's process and the game's web calls).
#include "diagnostics/log.h"
#include "ui/main_wnd.h"

// TODO(gamelink): start CGameWatcher, post SyncGameInfomation to m_taskQueue and run
// OnMasterBroadcast once the game link is in the tree.
void CMainWnd::StartGameWatcher() {
  LogLine(INFO, "CHECK_GAME_IS_RUNNING_TIMER: no game watcher in this build.");
}

void CMainWnd::StopGameWatcher() {
  if (!m_gameThreadId)
    return;
  HANDLE thread = ::OpenThread(THREAD_ALL_ACCESS, FALSE, m_gameThreadId);
  if (!thread)
    return;
  ::TerminateThread(thread, 0);
  ::CloseHandle(thread);
}

void CMainWnd::SyncGameInfo(int syncType, int syncValue) {
  LogLine(INFO, "sync game info ", syncType, " ", syncValue, ": no game link in this build.");
}

void CMainWnd::MasterBroadcast(int highPart, int lowPart) {
  LogLine(INFO, "master broadcast ", highPart, " ", lowPart, ": no game link in this build.");
}
