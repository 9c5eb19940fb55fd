// Main window: the message dispatch, the two-stage close, the join request, the timers and the
// commands other processes send.
#include "bridge/common/bridge_messages.h"
#include "bridge/common/join_text.h"
#include "diagnostics/log.h"
#include "diagnostics/trace.h"
#include "ui/main_wnd.h"
#include "ui/main_wnd_ids.h"
#include "ui/topmost.h"

LRESULT CMainWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  REQUIRE_OWN_THREAD(m_uiThread);
  BOOL handled = TRUE;
  switch (uMsg) {
    case WM_CREATE:
      return OnCreate(uMsg, wParam, lParam, handled);
    case WM_DESTROY:
      LogLine(INFO, "destroy...");
      ::PostMessageW(m_hWnd, WM_QUIT, 0, 0);
      return 0;
    case WM_SIZE:
      ApplyRoundRegion();
      break;
    case WM_CLOSE:
      return OnClose();
    case WM_GETMINMAXINFO:
      OnGetMinMaxInfo(uMsg, wParam, lParam, handled);
      break;
    case WM_COPYDATA:
      if (wParam == COPYDATA_JOIN_CHANNEL)
        return OnJoinRequest(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      return 0;
    case WM_NCCALCSIZE:
    case WM_NCPAINT:
      return 0;
    case WM_NCHITTEST:
      return OnNcHitTest(lParam);
    case WM_NCACTIVATE:
      return wParam == 0 ? 1 : 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE)
        return 0;
      break;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4)  // Alt+F4 does not close the client
        return 0;
      break;
    case WM_COMMAND: {
      bool passOn = false;
      LRESULT result = OnCommand(wParam, lParam, passOn);
      if (!passOn)
        return result;
      break;
    }
    case WM_SYSCOMMAND:
      return OnSysCommand(uMsg, wParam, lParam, handled);
    case WM_TIMER:
      return OnTimer(wParam);
    case WM_BRIDGE_LIVE_ROOM:
      OnLiveRoomState(lParam);
      return 0;
    case WM_BRIDGE_LEAVE_CHANNEL:
      LeaveVoiceChannel();
      return 0;
    case WM_BRIDGE_CHANGE_BACKGROUND:
      return 0;  // the page's value is not used
    case WM_VOICE_CLOSE_MIC:
      if (HasMainBrowser()) {
        NotifyMainPage(kMsgCloseMic, 0);
        LogLine(INFO, 751, " : call js function : ", kMsgCloseMic, MainFrameUrl());
      }
      return 0;
    case WM_CLIENT_EXIT:
      LogLine(INFO, "OnRecive Exit Message.");
      ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
      ::PostQuitMessage(0);
      return 0;
    case WM_BROWSER_BLANK:
      LogLine(INFO, "recive msg afert creat cef browser object.");
      return 0;
    default:
      break;
  }
  return CWindowBase::HandleMessage(uMsg, wParam, lParam);
}

LRESULT CMainWnd::OnClose() {
  LogLine(INFO, "close...");
  // Second stage: the engine has agreed to close the last browser (or there never was one,
  // in which case no engine answer would come and the window would never close).
  if (!m_browserHost.Client() || BrowsersClosing() || !HasAnyBrowser()) {
    ReleaseBrowserClientAndShutDown();
    ::DestroyWindow(m_hWnd);
    return 0;
  }
  // First stage: ask the engine to close the browsers; it answers with another WM_CLOSE.
  if (IsVoiceWindowVisible())
    NotifyPageExit();
  LogLine(INFO, "close all browser...");
  CloseAllBrowsers();
  return 0;
}

void CMainWnd::NotifyPageExit() {
  LogLine(INFO, "notify to js exit...");
  if (HasMainBrowser())
    NotifyMainPage(kMsgCloseMic, 1);
}

LRESULT CMainWnd::OnJoinRequest(const COPYDATASTRUCT* copyData) {
  // The text comes from another process: read at most cbData bytes of it, terminated or not.
  zarvik::trace::Span joinSpan("join request");
  zarvik::trace::Span parseSpan("join text parsed");
  JoinTextFields fields;
  if (copyData && copyData->lpData)
    fields = ParseJoinText(static_cast<const wchar_t*>(copyData->lpData),
                           copyData->cbData / sizeof(wchar_t));
  parseSpan.End();
  zarvik::trace::Span channelSpan("voice channel join");
  int result = JoinVoiceChannel(fields);
  channelSpan.End();
  LogLine(INFO, "call OnJoinChannel return value : ", result);
  zarvik::trace::Span storeSpan("join result stored");
  m_shareMemory.Store(result);
  return result;
}

LRESULT CMainWnd::OnTimer(UINT_PTR timerId) {
  switch (timerId) {
    case TIMER_EXIT_NOW:
      ::KillTimer(m_hWnd, TIMER_EXIT_NOW);
      ::ExitProcess(0);
    case CHECK_GAME_IS_RUNNING_TIMER:
      OutputDebugStringW(L"CHECK_GAME_IS_RUNNING_TIMER.\n");
      ::KillTimer(m_hWnd, CHECK_GAME_IS_RUNNING_TIMER);
      StartGameWatcher();
      return 0;
    case TIMER_MINIMIZE_REPORT:
      OnMinimizeReportTimer();
      return 0;
    default:
      return 0;  // other timers are swallowed
  }
}

void CMainWnd::OnMinimizeReportTimer() {
  ::KillTimer(m_hWnd, TIMER_MINIMIZE_REPORT);
  NotifyMainPage(kMsgChangeWindowSize, 1);
  LogLine(INFO, "call js callback {changeWindowSize(1)}.");
  m_minimizeReported = true;
}

LRESULT CMainWnd::OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
  int value = -1;
  switch (wParam & 0xFFF0) {
    case SC_MINIMIZE:
      value = 1;
      break;
    case SC_RESTORE:
      value = 0;
      break;
  }
  if (value >= 0) {
    ::KillTimer(m_hWnd, TIMER_MINIMIZE_REPORT);
    if (m_minimizeReported) {
      NotifyMainPage(kMsgChangeWindowSize, value);
      LogLine(INFO, "call js callback {changeWindowSize(", value, ").");
      m_minimizeReported = false;
    }
  }
  return CWindowBase::HandleMessage(uMsg, wParam, lParam);
}

LRESULT CMainWnd::OnCommand(WPARAM wParam, LPARAM lParam, bool& passOn) {
  unsigned highWord = HIWORD(wParam);
  LogLine(INFO, "WM_COMMAND HIWORD(wParam):", highWord);
  if (highWord == CMD_ACTIVATE) {
    if (!IsPinned()) {
      if (::IsIconic(m_hWnd))
        ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_RESTORE, 0);
      // Topmost and at once not: to the front without staying pinned.
      SetWindowPosTopmost(m_hWnd, true, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
      SetWindowPosTopmost(m_hWnd, false, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    return 0;
  }
  switch (LOWORD(wParam)) {
    case CMD_SYNC_GAME_INFO:
      SyncGameInfo(static_cast<int>(highWord), static_cast<int>(lParam));
      return 0;
    case CMD_MASTER_BROADCAST:
      MasterBroadcast(static_cast<int>(highWord), static_cast<int>(lParam));
      return 0;
    default:
      passOn = true;
      return 0;
  }
}
