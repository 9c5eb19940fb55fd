#include "game/game_watcher.h"

#include <cstdio>
#include <string>
#include <vector>

#include "common/scoped_handle.h"
#include "diagnostics/log.h"

namespace zarvik {

// One watcher's state, shared by the thread and the CGameWatcher that started it.
struct GameWatch {
  HWND mainWnd = nullptr;
  DWORD gamePid = 0;
  ScopedHandle stopEvent;  // manual reset; set by Stop, wakes the 1000 ms pause
  std::mutex lock;         // orders the stop against the final post
  bool stopped = false;
  bool finished = false;
};

std::string FormatGameDiedReport(HANDLE process, DWORD gamePid, DWORD exitCode) {
  char report[1024];
  std::snprintf(report, sizeof(report), "%0X the game (pid:%d) had died. exit code = %d",
                static_cast<unsigned>(reinterpret_cast<UINT_PTR>(process)),
                static_cast<int>(gamePid), static_cast<int>(exitCode));
  return report;
}

}  // namespace zarvik

namespace {

constexpr DWORD kPollIntervalMs = 1000;

bool IsStopped(zarvik::GameWatch& watch) {
  std::lock_guard<std::mutex> guard(watch.lock);
  return watch.stopped;
}

// The watch loop. Holds no lock while it waits, so a stop never waits for a poll.
//
// The process is opened once and the handle kept for the whole watch: a process object without
// any open handle disappears the moment the process ends, so reopening it by id every second
// would find nothing and report the still-active code 259 instead of the game's exit code (and
// an id reused by another process would be watched instead of the game).
void WaitForGameExit(zarvik::GameWatch& watch) {
  DWORD exitCode = 0;
  // Only the rights the watch uses (wait, exit code): a game that runs elevated refuses
  // PROCESS_ALL_ACCESS to an ordinary client, but grants these.
  zarvik::ScopedHandle process(
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, watch.gamePid));
  for (;;) {
    // With a null handle the query fails and the exit code read last stays.
    GetExitCodeProcess(process.Get(), &exitCode);
    if (!process || exitCode != STILL_ACTIVE)
      break;
    if (WaitForSingleObject(watch.stopEvent.Get(), kPollIntervalMs) == WAIT_OBJECT_0)
      return;  // stopped by the close button: nothing more to do
  }
  if (IsStopped(watch))
    return;

  LogLine(INFO, zarvik::FormatGameDiedReport(process.Get(), watch.gamePid, exitCode));
  process.Reset();
  LogLine(INFO, "the game had died and notify js this app is going to close.");

  std::lock_guard<std::mutex> guard(watch.lock);
  if (!watch.stopped)
    PostMessageW(watch.mainWnd, WM_CLOSE, 0, 0);  // a window already gone is ignored
}

}  // namespace

DWORD WINAPI startCheckGameThreadProc(LPVOID param) {
  OutputDebugStringA("The Thread startCheckGameThreadProc is running.\n");
  // The thread's own share of the watch, handed over by Start.
  std::unique_ptr<std::shared_ptr<zarvik::GameWatch>> holder(
      static_cast<std::shared_ptr<zarvik::GameWatch>*>(param));
  if (holder) {
    zarvik::GameWatch& watch = **holder;
    WaitForGameExit(watch);
    std::lock_guard<std::mutex> guard(watch.lock);
    watch.finished = true;
  }
  OutputDebugStringA("The Thread startCheckGameThreadProc had exited.\n");
  return 0;
}

CGameWatcher::~CGameWatcher() {
  StopAll();
}

bool CGameWatcher::Start(HWND mainWnd, DWORD gamePid, DWORD& gameThreadId) {
  auto watch = std::make_shared<zarvik::GameWatch>();
  watch->mainWnd = mainWnd;
  watch->gamePid = gamePid;
  watch->stopEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!watch->stopEvent)
    return false;

  std::lock_guard<std::mutex> guard(m_lock);
  // Forget watchers that have ended by themselves.
  for (auto it = m_watches.begin(); it != m_watches.end();) {
    std::lock_guard<std::mutex> watchGuard(it->second->lock);
    it = it->second->finished ? m_watches.erase(it) : std::next(it);
  }

  auto holder = std::make_unique<std::shared_ptr<zarvik::GameWatch>>(watch);
  DWORD threadId = 0;
  zarvik::ScopedHandle thread(
      CreateThread(nullptr, 0, startCheckGameThreadProc, holder.get(), 0, &threadId));
  if (!thread)
    return false;
  holder.release();  // the thread owns it now
  thread.Reset();    // the watcher runs on detached
  gameThreadId = threadId;
  m_watches[threadId] = watch;
  return true;
}

void CGameWatcher::Stop(DWORD gameThreadId) {
  std::shared_ptr<zarvik::GameWatch> watch;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_watches.find(gameThreadId);
    if (it == m_watches.end())
      return;
    watch = it->second;
    m_watches.erase(it);
  }
  std::lock_guard<std::mutex> guard(watch->lock);
  watch->stopped = true;
  SetEvent(watch->stopEvent.Get());
}

void CGameWatcher::StopAll() {
  std::vector<DWORD> ids;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    for (const auto& entry : m_watches)
      ids.push_back(entry.first);
  }
  for (DWORD id : ids)
    Stop(id);
}
