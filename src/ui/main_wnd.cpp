// Main window: construction, creation, frame behaviour and destruction.
#include "ui/main_wnd.h"

#include <windowsx.h>

#include <cwchar>

#include "common/encoding.h"
#include "diagnostics/log.h"
#include "include/standin/browser_window.h"
#include "ui/main_wnd_styles.h"
#include "ui/topmost.h"
#include "ui/view_modes.h"
#include "voice/vcast_wnd.h"

namespace {
constexpr int kMainIconResource = 107;
}  // namespace

CMainWnd::CMainWnd() {
  m_gameLink.StartWorker();
}

CMainWnd::~CMainWnd() {
  LogLine(INFO, "call ~CMainWnd destruct mainwnd ojbject.");
  // A voice window that outlives this object must not call back into it.
  if (m_voiceWnd)
    m_voiceWnd->SetGoneCallback(nullptr);
  m_shareMemory.Close();
  m_gameLink.StopWorker();
  m_browserHost.ReleaseClient();
}

LRESULT CMainWnd::OnCreate(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
  ::SetWindowLongW(m_hWnd, GWL_STYLE, FramelessMainWndStyle(style));

  m_PaintManager.Init(m_hWnd);
  DuiLib::CDialogBuilder builder;
  DuiLib::CControlUI* root = builder.Create(L"main.xml", (UINT)0, this, &m_PaintManager);
  if (!root) {
    // The skin travels with the executable; without it the window stays empty.
    LogLine(ERROR, "cannot build the skin main.xml");
    bHandled = TRUE;
    return 0;
  }
  m_PaintManager.AttachDialog(root);
  m_PaintManager.AddNotifier(this);

  InitWindow();

  // Without layered windows there is no shadow and the window works without one.
  m_shadow.SetSize(4);
  m_shadow.AttachToParent(m_hWnd);
  m_shadow.SetPosition(0, 2);
  bHandled = TRUE;
  return 0;
}

void CMainWnd::InitWindow() {
  m_titleBand.Attach(m_PaintManager);
  m_titleBand.ShowViewModeButton(false);

  const zarvik::view::ViewModeLayout& complete = zarvik::view::LayoutFor(zarvik::view::kComplete);
  m_PaintManager.SetMinInfo(complete.windowWidth, complete.windowHeight);

  ::SetWindowTextW(m_hWnd, L"Zarvik");
  OutputDebugStringW(L"InitWindow\n");
  SetIcon(kMainIconResource);
}

LRESULT CMainWnd::OnNcHitTest(LPARAM lParam) {
  POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ::ScreenToClient(m_hWnd, &pt);
  RECT client;
  ::GetClientRect(m_hWnd, &client);
  RECT caption = m_PaintManager.GetCaptionRect();
  if (pt.x >= client.left + caption.left && pt.x < client.right - caption.right &&
      pt.y >= caption.top && pt.y < caption.bottom) {
    DuiLib::CControlUI* control = m_PaintManager.FindControl(pt);
    if (control && std::wcscmp(control->GetClass(), L"ButtonUI") != 0)
      return HTCAPTION;
  }
  return HTCLIENT;
}

void CMainWnd::ApplyRoundRegion() {
  SIZE corner = m_PaintManager.GetRoundCorner();
  if ((corner.cx == 0 && corner.cy == 0) || ::IsIconic(m_hWnd))
    return;
  RECT window;
  ::GetWindowRect(m_hWnd, &window);
  ::OffsetRect(&window, -window.left, -window.top);
  HRGN region =
      ::CreateRoundRectRgn(0, 0, window.right + 1, window.bottom + 1, corner.cx, corner.cy);
  // The window owns the region from here on.
  ::SetWindowRgn(m_hWnd, region, TRUE);
}

LRESULT CMainWnd::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
  MONITORINFO monitor = {sizeof(monitor)};
  ::GetMonitorInfoW(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
  RECT work = monitor.rcWork;
  ::OffsetRect(&work, -monitor.rcMonitor.left, -monitor.rcMonitor.top);
  auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
  info->ptMaxPosition.x = work.left;
  info->ptMaxPosition.y = work.top;
  info->ptMaxSize.x = work.right;
  info->ptMaxSize.y = work.bottom;
  bHandled = FALSE;  // the default processing applies the minimum tracking size
  return 0;
}

bool CMainWnd::IsPinned() const {
  return IsWindowTopmost(m_hWnd);
}

HWND CMainWnd::FindBrowserWindow() const {
  return ::FindWindowExW(m_hWnd, nullptr, kCefBrowserWindowClass, nullptr);
}

void CMainWnd::OnPageLoad(const wchar_t* url) {
  if (url)
    LogLine(INFO, zarvik::WideToAnsi(url));
}

void CMainWnd::OnWindowMessage(const MSG& message) {
  LogLine(INFO, "uMsg = ", message.message, " ,wParam = ", message.wParam,
          " lParam = ", message.lParam);
}
