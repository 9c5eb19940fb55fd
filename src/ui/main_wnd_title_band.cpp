// Main window: what the title band's buttons do and the two view modes (the band itself is
// TitleBand).
#include <cwchar>

#include "bridge/common/bridge_messages.h"
#include "diagnostics/log.h"
#include "ui/main_wnd.h"
#include "ui/main_wnd_ids.h"
#include "ui/topmost.h"
#include "ui/view_modes.h"

void CMainWnd::Notify(DuiLib::TNotifyUI& msg) {
  REQUIRE_OWN_THREAD(m_uiThread);
  if (msg.sType != L"click")
    return;
  DuiLib::CControlUI* under = m_PaintManager.FindControl(msg.ptMouse);
  if (under && std::wcscmp(under->GetClass(), L"RichEditUI") == 0)
    under->SetFocus();

  switch (m_titleBand.Which(msg.pSender)) {
    case TitleBand::Button::kClose:
      StopGameWatcher();
      ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
      break;
    case TitleBand::Button::kHistory:
      BrowseHistory();
      break;
    case TitleBand::Button::kViewMode:
      ToggleViewMode();
      break;
    case TitleBand::Button::kPin:
      TogglePin();
      break;
    case TitleBand::Button::kMinimize:
      ::ShowWindow(m_hWnd, SW_MINIMIZE);
      ::KillTimer(m_hWnd, TIMER_MINIMIZE_REPORT);
      ::SetTimer(m_hWnd, TIMER_MINIMIZE_REPORT, kMinimizeReportPeriodMs, nullptr);
      ::SetForegroundWindow(::GetDesktopWindow());
      break;
    case TitleBand::Button::kNone:
      break;
  }
}

void CMainWnd::ToggleViewMode() {
  int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
  int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
  m_viewMode =
      m_viewMode == zarvik::view::kComplete ? zarvik::view::kSimple : zarvik::view::kComplete;
  bool complete = m_viewMode == zarvik::view::kComplete;

  DuiLib::CControlUI* stretch = m_PaintManager.FindControl(L"leftstrach");
  HWND browserWnd = FindBrowserWindow();
  RECT client;
  ::GetClientRect(m_hWnd, &client);
  bool pinned = IsPinned();

  const zarvik::view::ViewModeLayout& layout = zarvik::view::LayoutFor(m_viewMode);
  m_PaintManager.SetMinInfo(layout.windowWidth, layout.windowHeight);
  // The complete view never starts off the screen; the simple one is centred as it comes.
  int x = zarvik::view::CenteredOrigin(screenWidth, layout.windowWidth, complete);
  int y = zarvik::view::CenteredOrigin(screenHeight, layout.windowHeight, complete);
  ::SetWindowPos(m_hWnd, HWND_TOP, x, y, layout.windowWidth, layout.windowHeight, SWP_SHOWWINDOW);

  m_titleBand.ApplyLayout(layout);
  if (stretch)
    stretch->SetAttribute(L"width", layout.stretchWidth);
  m_titleBand.ApplyButtonImages(m_viewMode, pinned);

  if (browserWnd) {
    zarvik::view::BrowserBox box = zarvik::view::BrowserBoxFor(client.left, client.top, m_viewMode);
    ::MoveWindow(browserWnd, box.left, box.top, box.width, box.height, TRUE);
  }

  if (HasMainBrowser()) {
    NotifyMainPage(kMsgChangeWindowMode, complete ? 1 : 0);
    LogLine(INFO, complete ? 909 : 924, " : call js function : changeWindowMode in ",
            MainFrameUrl());
  } else if (complete) {
    LogLine(ERROR, "cann't find the browser object.");
  }
  ::PostMessageW(m_hWnd, WM_SIZE, 0, 0);
}

void CMainWnd::TogglePin() {
  bool wasPinned = IsPinned();
  SetWindowPosTopmost(m_hWnd, !wasPinned, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  m_titleBand.ShowPinState(m_viewMode, !wasPinned);
}

void CMainWnd::BrowseHistory() {
  LogLine(INFO, "call browseHistory.");
  if (HasMainBrowser()) {
    NotifyMainPage(kMsgBrowseHistory);
    LogLine(INFO, "call js'browseHistory funtion.", MainFrameUrl());
  }
}

void CMainWnd::OnLiveRoomState(LPARAM state) {
  if (state == 0) {
    if (m_titleBand.HasViewModeButton()) {
      m_titleBand.ApplyHistoryImages(zarvik::view::kComplete);
      m_titleBand.ShowViewModeButton(true);
    }
    return;
  }
  if (state != 1)
    return;

  m_titleBand.ShowViewModeButton(false);
  if (m_viewMode == zarvik::view::kComplete)
    return;
  m_viewMode = zarvik::view::kComplete;
  HWND browserWnd = FindBrowserWindow();
  int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
  int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
  DuiLib::CControlUI* stretch = m_PaintManager.FindControl(L"leftstrach");
  DuiLib::CControlUI* header = m_PaintManager.FindControl(L"header");
  const zarvik::view::ViewModeLayout& layout = zarvik::view::LayoutFor(zarvik::view::kComplete);
  ::SetWindowPos(m_hWnd, HWND_TOP,
                 zarvik::view::CenteredOrigin(screenWidth, layout.windowWidth, false),
                 zarvik::view::CenteredOrigin(screenHeight, layout.windowHeight, false),
                 layout.windowWidth, layout.windowHeight, SWP_SHOWWINDOW);
  // The band itself goes back to the complete view too: a simple-view band (420 wide) in a
  // complete-size window would leave the buttons in the middle of the title band.
  m_PaintManager.SetMinInfo(layout.windowWidth, layout.windowHeight);
  m_titleBand.ApplyLayout(layout);
  if (header) {
    header->SetAttribute(L"width", zarvik::view::kLeaveRoomHeaderWidth);
    header->SetAttribute(L"height", layout.bandHeightText);
    header->SetAttribute(L"inset", layout.bandInset);
    header->SetAttribute(L"bkimage", layout.bandImage);
  }
  if (stretch)
    stretch->SetAttribute(L"width", zarvik::view::kLeaveRoomStretchWidth);
  // Every button gets its complete-view images; the pin button shows the real pin state.
  m_titleBand.ApplyButtonImages(zarvik::view::kComplete, IsPinned());
  if (browserWnd) {
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    zarvik::view::BrowserBox box =
        zarvik::view::BrowserBoxFor(client.left, client.top, zarvik::view::kComplete);
    ::MoveWindow(browserWnd, box.left, box.top, box.width, box.height, TRUE);
  }
}
