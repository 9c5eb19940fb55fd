// WindowImplBase: a frameless window built from a skin, with overridable message handlers.
#include "internal.h"

#include <windowsx.h>

namespace DuiLib {

WindowImplBase::WindowImplBase() {}
WindowImplBase::~WindowImplBase() {}

void WindowImplBase::InitWindow() {}

void WindowImplBase::OnFinalMessage(HWND) {
  m_PaintManager.RemovePreMessageFilter(this);
  m_PaintManager.RemoveNotifier(this);
}

void WindowImplBase::Notify(TNotifyUI&) {}

UINT WindowImplBase::GetClassStyle() const {
  return CS_DBLCLKS;
}

CControlUI* WindowImplBase::CreateControl(LPCTSTR) {
  return NULL;
}

LRESULT WindowImplBase::MessageHandler(UINT, WPARAM, LPARAM, bool& bHandled) {
  bHandled = false;
  return 0;
}

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnNcActivate(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
  if (::IsIconic(m_hWnd))
    bHandled = FALSE;
  return (wParam == 0) ? TRUE : FALSE;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM, LPARAM, BOOL&) {
  return 0;  // the whole window is client area
}

LRESULT WindowImplBase::OnNcPaint(UINT, WPARAM, LPARAM, BOOL&) {
  return 0;
}

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL&) {
  POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ::ScreenToClient(m_hWnd, &pt);
  RECT rcClient;
  ::GetClientRect(m_hWnd, &rcClient);
  if (!::IsZoomed(m_hWnd)) {
    RECT box = m_PaintManager.GetSizeBox();
    if (pt.y < rcClient.top + box.top) {
      if (pt.x < rcClient.left + box.left)
        return HTTOPLEFT;
      if (pt.x > rcClient.right - box.right)
        return HTTOPRIGHT;
      return HTTOP;
    }
    if (pt.y > rcClient.bottom - box.bottom) {
      if (pt.x < rcClient.left + box.left)
        return HTBOTTOMLEFT;
      if (pt.x > rcClient.right - box.right)
        return HTBOTTOMRIGHT;
      return HTBOTTOM;
    }
    if (pt.x < rcClient.left + box.left)
      return HTLEFT;
    if (pt.x > rcClient.right - box.right)
      return HTRIGHT;
  }
  RECT caption = m_PaintManager.GetCaptionRect();
  if (pt.x >= rcClient.left + caption.left && pt.x < rcClient.right - caption.right &&
      pt.y >= caption.top && pt.y < caption.bottom) {
    CControlUI* control = m_PaintManager.FindControl(pt);
    if (control && wcscmp(control->GetClass(), L"ButtonUI") != 0 &&
        wcscmp(control->GetClass(), L"RichEditUI") != 0)
      return HTCAPTION;
  }
  return HTCLIENT;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &info);
  RECT work = info.rcWork;
  ::OffsetRect(&work, -info.rcMonitor.left, -info.rcMonitor.top);
  LPMINMAXINFO mmi = reinterpret_cast<LPMINMAXINFO>(lParam);
  mmi->ptMaxPosition.x = work.left;
  mmi->ptMaxPosition.y = work.top;
  mmi->ptMaxSize.x = work.right - work.left;
  mmi->ptMaxSize.y = work.bottom - work.top;
  bHandled = FALSE;  // the paint manager adds the minimum tracking size
  return 0;
}

LRESULT WindowImplBase::OnMouseWheel(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnMouseHover(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
  SIZE corner = m_PaintManager.GetRoundCorner();
  if (wParam != SIZE_MINIMIZED && (corner.cx != 0 || corner.cy != 0)) {
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    ::OffsetRect(&rc, -rc.left, -rc.top);
    HRGN region =
        ::CreateRoundRectRgn(rc.left, rc.top, rc.right + 1, rc.bottom + 1, corner.cx, corner.cy);
    ::SetWindowRgn(m_hWnd, region, TRUE);  // the window owns the region from here
  }
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnChar(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
  if (wParam == SC_CLOSE) {
    bHandled = TRUE;
    SendMessage(WM_CLOSE);
    return 0;
  }
  return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
  LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
  style &= ~WS_CAPTION;
  ::SetWindowLongW(m_hWnd, GWL_STYLE, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);

  m_PaintManager.Init(m_hWnd);
  m_PaintManager.AddPreMessageFilter(this);
  if (CPaintManagerUI::GetResourcePath().IsEmpty()) {
    CDuiString folder = CPaintManagerUI::GetInstancePath() + GetSkinFolder();
    CPaintManagerUI::SetResourcePath(folder);
  }
  CDialogBuilder builder;
  CDuiString skin = GetSkinFile();
  CControlUI* root =
      builder.Create(skin.GetData(), static_cast<LPCTSTR>(NULL), this, &m_PaintManager);
  if (!root) {
    // The window stays, empty: a broken skin must not take the process down.
    CPaintManagerUI::Log(L"window %s has no skin: %s could not be built", GetWindowClassName(),
                         skin.GetData());
    return 0;
  }
  m_PaintManager.AttachDialog(root);
  m_PaintManager.AddNotifier(this);
  InitWindow();
  return 0;
}

LRESULT WindowImplBase::OnKeyDown(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnKillFocus(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnSetFocus(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnLButtonDown(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnLButtonUp(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnMouseMove(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT WindowImplBase::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  LRESULT lRes = 0;
  BOOL bHandled = TRUE;
  switch (uMsg) {
    case WM_CREATE:
      lRes = OnCreate(uMsg, wParam, lParam, bHandled);
      break;
    case WM_CLOSE:
      lRes = OnClose(uMsg, wParam, lParam, bHandled);
      break;
    case WM_DESTROY:
      lRes = OnDestroy(uMsg, wParam, lParam, bHandled);
      break;
    case WM_NCACTIVATE:
      lRes = OnNcActivate(uMsg, wParam, lParam, bHandled);
      break;
    case WM_NCCALCSIZE:
      lRes = OnNcCalcSize(uMsg, wParam, lParam, bHandled);
      break;
    case WM_NCPAINT:
      lRes = OnNcPaint(uMsg, wParam, lParam, bHandled);
      break;
    case WM_NCHITTEST:
      lRes = OnNcHitTest(uMsg, wParam, lParam, bHandled);
      break;
    case WM_GETMINMAXINFO:
      lRes = OnGetMinMaxInfo(uMsg, wParam, lParam, bHandled);
      break;
    case WM_MOUSEWHEEL:
      lRes = OnMouseWheel(uMsg, wParam, lParam, bHandled);
      break;
    case WM_SIZE:
      lRes = OnSize(uMsg, wParam, lParam, bHandled);
      break;
    case WM_CHAR:
      lRes = OnChar(uMsg, wParam, lParam, bHandled);
      break;
    case WM_SYSCOMMAND:
      lRes = OnSysCommand(uMsg, wParam, lParam, bHandled);
      break;
    case WM_KEYDOWN:
      lRes = OnKeyDown(uMsg, wParam, lParam, bHandled);
      break;
    case WM_KILLFOCUS:
      lRes = OnKillFocus(uMsg, wParam, lParam, bHandled);
      break;
    case WM_SETFOCUS:
      lRes = OnSetFocus(uMsg, wParam, lParam, bHandled);
      break;
    case WM_LBUTTONUP:
      lRes = OnLButtonUp(uMsg, wParam, lParam, bHandled);
      break;
    case WM_LBUTTONDOWN:
      lRes = OnLButtonDown(uMsg, wParam, lParam, bHandled);
      break;
    case WM_MOUSEMOVE:
      lRes = OnMouseMove(uMsg, wParam, lParam, bHandled);
      break;
    case WM_MOUSEHOVER:
      lRes = OnMouseHover(uMsg, wParam, lParam, bHandled);
      break;
    default:
      bHandled = FALSE;
      break;
  }
  if (bHandled)
    return lRes;
  lRes = HandleCustomMessage(uMsg, wParam, lParam, bHandled);
  if (bHandled)
    return lRes;
  if (m_PaintManager.MessageHandler(uMsg, wParam, lParam, lRes))
    return lRes;
  return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LONG WindowImplBase::GetStyle() {
  LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
  style &= ~WS_CAPTION;
  style |= WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  return style;
}

}  // namespace DuiLib
