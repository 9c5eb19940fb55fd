// Main window: the title band's buttons and the two view modes.
#include <cwchar>
#include <utility>

#include "bridge/common/bridge_messages.h"
#include "diagnostics/log.h"
#include "ui/main_wnd.h"
#include "ui/main_wnd_ids.h"
#include "ui/topmost.h"
#include "ui/view_modes.h"

using zarvik::view::ImagesFor;
using zarvik::view::TitleButton;

void CMainWnd::Notify(DuiLib::TNotifyUI& msg) {
  REQUIRE_OWN_THREAD(m_uiThread);
  if (msg.sType != L"click")
    return;
  DuiLib::CControlUI* under = m_PaintManager.FindControl(msg.ptMouse);
  if (under && std::wcscmp(under->GetClass(), L"RichEditUI") == 0)
    under->SetFocus();

  DuiLib::CControlUI* sender = msg.pSender;
  if (!sender)
    return;
  if (sender == m_closeBtn) {
    StopGameWatcher();
    ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
  } else if (sender == m_historyBtn) {
    BrowseHistory();
  } else if (sender == m_viewModeBtn) {
    ToggleViewMode();
  } else if (sender == m_pinBtn) {
    TogglePin();
  } else if (sender == m_minimizeBtn) {
    ::ShowWindow(m_hWnd, SW_MINIMIZE);
    ::KillTimer(m_hWnd, TIMER_MINIMIZE_REPORT);
    ::SetTimer(m_hWnd, TIMER_MINIMIZE_REPORT, kMinimizeReportPeriodMs, nullptr);
    ::SetForegroundWindow(::GetDesktopWindow());
  }
}

void CMainWnd::ToggleViewMode() {
  int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
  int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
  m_viewMode =
      m_viewMode == zarvik::view::kComplete ? zarvik::view::kSimple : zarvik::view::kComplete;
  bool complete = m_viewMode == zarvik::view::kComplete;

  DuiLib::CControlUI* stretch = m_PaintManager.FindControl(L"leftstrach");
  DuiLib::CControlUI* topArea = m_PaintManager.FindControl(L"topArea");
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

  if (topArea) {
    topArea->SetAttribute(L"width", layout.bandWidth);
    topArea->SetAttribute(L"height", layout.bandHeightText);
    topArea->SetAttribute(L"inset", layout.bandInset);
    topArea->SetAttribute(L"bkimage", layout.bandImage);
  }
  if (stretch)
    stretch->SetAttribute(L"width", layout.stretchWidth);
  const std::pair<DuiLib::CControlUI*, TitleButton> buttons[] = {
      {m_viewModeBtn, TitleButton::kViewMode},
      {m_historyBtn, TitleButton::kHistory},
      {m_pinBtn, TitleButton::kPin},
      {m_minimizeBtn, TitleButton::kMinimize},
      {m_closeBtn, TitleButton::kClose}};
  for (const auto& [control, which] : buttons) {
    zarvik::view::ButtonImages images = ImagesFor(which, m_viewMode, pinned);
    SetButtonImages(control, images.normal, images.hot);
  }

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
  bool pinned = !wasPinned;
  zarvik::view::ButtonImages images = ImagesFor(TitleButton::kPin, m_viewMode, pinned);
  SetButtonImages(m_pinBtn, images.normal, images.hot);
  if (m_pinBtn)
    m_pinBtn->SetToolTip(zarvik::view::PinToolTip(pinned));
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
    if (m_viewModeBtn) {
      zarvik::view::ButtonImages history =
          ImagesFor(TitleButton::kHistory, zarvik::view::kComplete, false);
      SetButtonImages(m_historyBtn, history.normal, history.hot);
      m_viewModeBtn->SetVisible(true);
      m_viewModeBtn->Invalidate();
    }
    return;
  }
  if (state != 1)
    return;

  if (m_viewModeBtn)
    m_viewModeBtn->SetVisible(false);
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
  if (m_topArea) {
    m_topArea->SetAttribute(L"width", layout.bandWidth);
    m_topArea->SetAttribute(L"height", layout.bandHeightText);
    m_topArea->SetAttribute(L"inset", layout.bandInset);
    m_topArea->SetAttribute(L"bkimage", layout.bandImage);
  }
  if (header) {
    header->SetAttribute(L"width", zarvik::view::kLeaveRoomHeaderWidth);
    header->SetAttribute(L"height", layout.bandHeightText);
    header->SetAttribute(L"inset", layout.bandInset);
    header->SetAttribute(L"bkimage", layout.bandImage);
  }
  if (stretch)
    stretch->SetAttribute(L"width", zarvik::view::kLeaveRoomStretchWidth);
  // Every button gets its complete-view images; the pin button shows the real pin state.
  bool pinned = IsPinned();
  const std::pair<DuiLib::CControlUI*, TitleButton> buttons[] = {
      {m_viewModeBtn, TitleButton::kViewMode},
      {m_historyBtn, TitleButton::kHistory},
      {m_pinBtn, TitleButton::kPin},
      {m_minimizeBtn, TitleButton::kMinimize},
      {m_closeBtn, TitleButton::kClose}};
  for (const auto& [control, which] : buttons) {
    zarvik::view::ButtonImages images = ImagesFor(which, zarvik::view::kComplete, pinned);
    SetButtonImages(control, images.normal, images.hot);
  }
  if (browserWnd) {
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    zarvik::view::BrowserBox box =
        zarvik::view::BrowserBoxFor(client.left, client.top, zarvik::view::kComplete);
    ::MoveWindow(browserWnd, box.left, box.top, box.width, box.height, TRUE);
  }
}
