// The main window's link to the game: the watchers of the game's process, which post WM_CLOSE to
// the window once the game is gone, and the worker that makes the game's blocking web calls in
// the order the game asked for them.
#pragma once

#include <windows.h>

#include "game/game_watcher.h"
#include "ui/task_queue.h"

class GameLink {
 public:
  GameLink() = default;
  GameLink(const GameLink&) = delete;
  GameLink& operator=(const GameLink&) = delete;

  // Starts the web-call worker (about half a second).
  void StartWorker() { m_taskQueue.Start(); }
  // Stops the worker: a running call finishes, queued ones never run.
  void StopWorker() { m_taskQueue.Stop(); }

  // One more watcher of g_gamePid for `mainWnd`; the newest is the one StopWatcher ends.
  void StartWatcher(HWND mainWnd);
  // Ends the newest watcher; once this returns it posts nothing more.
  void StopWatcher();
  // SyncGameInfomation on the worker.
  void SyncGameInfo(int syncType, int syncValue);

 private:
  DWORD m_gameThreadId = 0;  // the newest watcher's thread
  TaskQueue m_taskQueue{1};
  CGameWatcher m_gameWatcher;  // destroyed first: stops every watcher
};
