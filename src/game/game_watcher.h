// The game watcher: the client has no purpose without the game, so a background thread polls the
// game's process once a second and, once it has ended or cannot be opened, logs a report and posts
// one WM_CLOSE to the main window, which then runs its ordinary close sequence.
//
// Each Start begins one more watcher and hands back its thread id; Stop with an id ends only that
// watcher. Destroying the CGameWatcher stops all of its watchers, so none posts to a window that is
// gone.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace zarvik {
struct GameWatch;
}

class CGameWatcher {
 public:
  CGameWatcher() = default;
  ~CGameWatcher();
  CGameWatcher(const CGameWatcher&) = delete;
  CGameWatcher& operator=(const CGameWatcher&) = delete;

  // Starts a watcher thread for `gamePid` that will post WM_CLOSE to `mainWnd`, and writes its
  // thread id to `gameThreadId`. When the thread cannot be created nothing happens and
  // `gameThreadId` keeps its value. The thread runs detached; its handle is closed at once.
  bool Start(HWND mainWnd, DWORD gamePid, DWORD& gameThreadId);

  // Ends the watcher with that thread id if it still runs. Once this returns, that watcher posts
  // nothing. Unknown or finished ids (and 0) are ignored.
  void Stop(DWORD gameThreadId);
  void StopAll();

 private:
  std::mutex m_lock;  // guards m_watches; UI thread only in the client, but cheap to be safe
  std::map<DWORD, std::shared_ptr<zarvik::GameWatch>> m_watches;
};

// The watcher thread's procedure; the argument is the watch it runs. Returns 0.
DWORD WINAPI startCheckGameThreadProc(LPVOID param);

namespace zarvik {

// "%0X the game (pid:%d) had died. exit code = %d" of the process handle value, pid and exit code.
std::string FormatGameDiedReport(HANDLE process, DWORD gamePid, DWORD exitCode);

}  // namespace zarvik
