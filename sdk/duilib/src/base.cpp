// Strings, rectangles and the window base class.
#include <stdarg.h>
#include <stdio.h>
#include <wchar.h>

#include "UIlib.h"

namespace DuiLib {

// ---- CDuiString ----

CDuiString::CDuiString() : m_data(nullptr), m_length(0), m_capacity(0) {}

CDuiString::CDuiString(LPCTSTR text, int length) : CDuiString() {
  Assign(text, length);
}

CDuiString::CDuiString(const CDuiString& other) : CDuiString() {
  Assign(other.GetData(), other.m_length);
}

CDuiString::~CDuiString() {
  delete[] m_data;
}

CDuiString& CDuiString::operator=(const CDuiString& other) {
  if (this != &other)
    Assign(other.GetData(), other.m_length);
  return *this;
}

CDuiString& CDuiString::operator=(LPCTSTR text) {
  Assign(text);
  return *this;
}

CDuiString& CDuiString::operator+=(const CDuiString& other) {
  Append(other.GetData(), other.m_length);
  return *this;
}

CDuiString& CDuiString::operator+=(LPCTSTR text) {
  Append(text);
  return *this;
}

CDuiString& CDuiString::operator+=(TCHAR ch) {
  Append(&ch, 1);
  return *this;
}

CDuiString CDuiString::operator+(const CDuiString& other) const {
  CDuiString result(*this);
  result += other;
  return result;
}

CDuiString CDuiString::operator+(LPCTSTR text) const {
  CDuiString result(*this);
  result += text;
  return result;
}

bool CDuiString::operator==(LPCTSTR text) const {
  return Compare(text) == 0;
}

LPCTSTR CDuiString::GetData() const {
  return m_data ? m_data : L"";
}

void CDuiString::Empty() {
  m_length = 0;
  if (m_data)
    m_data[0] = 0;
}

void CDuiString::Assign(LPCTSTR text, int length) {
  if (text == m_data && m_data) {  // assigning a prefix of itself
    if (length >= 0 && length < m_length) {
      m_length = length;
      m_data[length] = 0;
    }
    return;
  }
  Empty();
  Append(text, length);
}

void CDuiString::Append(LPCTSTR text, int length) {
  if (!text)
    return;
  if (length < 0)
    length = static_cast<int>(wcslen(text));
  if (length == 0)
    return;
  if (m_length + length + 1 > m_capacity) {
    int capacity = (m_length + length + 1) * 3 / 2 + 8;
    TCHAR* data = new TCHAR[capacity];
    if (m_length)
      wmemcpy(data, m_data, m_length);
    wmemmove(data + m_length, text, length);  // text may point into the old buffer
    delete[] m_data;
    m_data = data;
    m_capacity = capacity;
  } else {
    wmemmove(m_data + m_length, text, length);
  }
  m_length += length;
  m_data[m_length] = 0;
}

int CDuiString::Compare(LPCTSTR text) const {
  return wcscmp(GetData(), text ? text : L"");
}

int CDuiString::CompareNoCase(LPCTSTR text) const {
  return _wcsicmp(GetData(), text ? text : L"");
}

int CDuiString::Find(TCHAR ch, int start) const {
  for (int i = start < 0 ? 0 : start; i < m_length; ++i)
    if (m_data[i] == ch)
      return i;
  return -1;
}

int CDuiString::Find(LPCTSTR text, int start) const {
  if (start < 0 || start > m_length)
    return -1;
  const wchar_t* found = wcsstr(GetData() + start, text);
  return found ? static_cast<int>(found - GetData()) : -1;
}

CDuiString CDuiString::Left(int length) const {
  if (length < 0)
    length = 0;
  if (length > m_length)
    length = m_length;
  return CDuiString(GetData(), length);
}

CDuiString CDuiString::Mid(int start, int length) const {
  if (start < 0)
    start = 0;
  if (start > m_length)
    start = m_length;
  if (length < 0 || start + length > m_length)
    length = m_length - start;
  return CDuiString(GetData() + start, length);
}

CDuiString CDuiString::Right(int length) const {
  if (length > m_length)
    length = m_length;
  return Mid(m_length - length, length);
}

int CDuiString::Format(LPCTSTR format, ...) {
  wchar_t buffer[1024];
  va_list args;
  va_start(args, format);
  int n = _vsnwprintf(buffer, 1023, format, args);
  va_end(args);
  buffer[1023] = 0;
  Assign(buffer);
  return n;
}

// ---- CDuiRect ----

CDuiRect::CDuiRect() {
  left = top = right = bottom = 0;
}
CDuiRect::CDuiRect(const RECT& src) {
  left = src.left;
  top = src.top;
  right = src.right;
  bottom = src.bottom;
}
CDuiRect::CDuiRect(int iLeft, int iTop, int iRight, int iBottom) {
  left = iLeft;
  top = iTop;
  right = iRight;
  bottom = iBottom;
}

// ---- CWindowWnd ----

CWindowWnd::CWindowWnd() : m_hWnd(NULL), m_OldWndProc(::DefWindowProc), m_bCreated(false) {}

CWindowWnd::~CWindowWnd() {
  // An object that dies before its window: the window must not call into it any more.
  if (m_hWnd && ::IsWindow(m_hWnd)) {
    ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    if (::GetWindowThreadProcessId(m_hWnd, NULL) == ::GetCurrentThreadId())
      ::DestroyWindow(m_hWnd);
  }
}

HWND CWindowWnd::GetHWND() const {
  return m_hWnd;
}

CWindowWnd::operator HWND() const {
  return m_hWnd;
}

LPCTSTR CWindowWnd::GetSuperClassName() const {
  return NULL;
}

UINT CWindowWnd::GetClassStyle() const {
  return 0;
}

void CWindowWnd::PreClose(UINT) {}

void CWindowWnd::OnFinalMessage(HWND) {}

bool CWindowWnd::RegisterWindowClass() {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = GetClassStyle();
  wc.lpfnWndProc = CWindowWnd::__WndProc;
  wc.hInstance = CPaintManagerUI::GetInstance();
  wc.hCursor = ::LoadCursor(NULL, IDC_ARROW);
  wc.hbrBackground = NULL;
  wc.lpszClassName = GetWindowClassName();
  ATOM atom = ::RegisterClassExW(&wc);
  if (atom == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    CPaintManagerUI::Log(L"cannot register window class %s (error %lu)", GetWindowClassName(),
                         ::GetLastError());
    return false;
  }
  return true;
}

bool CWindowWnd::RegisterSuperclass() {
  // A window class of our own that starts from a system class and keeps its procedure as the
  // default handling.
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  if (!::GetClassInfoExW(NULL, GetSuperClassName(), &wc) &&
      !::GetClassInfoExW(CPaintManagerUI::GetInstance(), GetSuperClassName(), &wc)) {
    CPaintManagerUI::Log(L"unknown super class %s", GetSuperClassName());
    return false;
  }
  m_OldWndProc = wc.lpfnWndProc;
  wc.lpfnWndProc = CWindowWnd::__WndProc;
  wc.hInstance = CPaintManagerUI::GetInstance();
  wc.lpszClassName = GetWindowClassName();
  wc.style |= GetClassStyle();
  ATOM atom = ::RegisterClassExW(&wc);
  if (atom == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    CPaintManagerUI::Log(L"cannot register window class %s (error %lu)", GetWindowClassName(),
                         ::GetLastError());
    return false;
  }
  return true;
}

HWND CWindowWnd::Create(HWND hwndParent,
                        LPCTSTR pstrName,
                        DWORD dwStyle,
                        DWORD dwExStyle,
                        const RECT rc,
                        HMENU hMenu) {
  return Create(hwndParent, pstrName, dwStyle, dwExStyle, rc.left, rc.top, rc.right - rc.left,
                rc.bottom - rc.top, hMenu);
}

HWND CWindowWnd::Create(HWND hwndParent,
                        LPCTSTR pstrName,
                        DWORD dwStyle,
                        DWORD dwExStyle,
                        int x,
                        int y,
                        int cx,
                        int cy,
                        HMENU hMenu) {
  if (GetSuperClassName() != NULL && !RegisterSuperclass())
    return NULL;
  if (GetSuperClassName() == NULL && !RegisterWindowClass())
    return NULL;
  m_bCreated = false;
  m_hWnd = ::CreateWindowExW(dwExStyle, GetWindowClassName(), pstrName, dwStyle, x, y, cx, cy,
                             hwndParent, hMenu, CPaintManagerUI::GetInstance(), this);
  if (m_hWnd == NULL) {
    CPaintManagerUI::Log(L"cannot create window of class %s (error %lu)", GetWindowClassName(),
                         ::GetLastError());
  }
  return m_hWnd;
}

void CWindowWnd::ShowWindow(bool bShow, bool bTakeFocus) {
  if (!::IsWindow(m_hWnd))
    return;
  ::ShowWindow(m_hWnd, bShow ? (bTakeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModal() {
  if (!::IsWindow(m_hWnd))
    return 0;
  UINT nRet = 0;
  HWND hWndParent = ::GetWindow(m_hWnd, GW_OWNER);
  ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
  if (hWndParent)
    ::EnableWindow(hWndParent, FALSE);
  MSG msg = {};
  bool quit = false;
  while (::IsWindow(m_hWnd)) {
    BOOL got = ::GetMessageW(&msg, NULL, 0, 0);
    if (got == 0 || got == -1) {
      quit = got == 0;
      break;
    }
    // The close code travels in WM_CLOSE's wParam (Close posts it).
    if (msg.message == WM_CLOSE && msg.hwnd == m_hWnd)
      nRet = static_cast<UINT>(msg.wParam);
    if (!CPaintManagerUI::TranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  if (hWndParent) {
    ::EnableWindow(hWndParent, TRUE);
    ::SetFocus(hWndParent);
  }
  // WM_QUIT belongs to the outer loop too.
  if (quit)
    ::PostQuitMessage(static_cast<int>(msg.wParam));
  return nRet;
}

void CWindowWnd::Close(UINT nRet) {
  if (!::IsWindow(m_hWnd))
    return;
  PreClose(nRet);
  PostMessage(WM_CLOSE, static_cast<WPARAM>(nRet), 0L);
}

void CWindowWnd::CenterWindow() {
  RECT rcDlg = {};
  ::GetWindowRect(m_hWnd, &rcDlg);
  RECT rcArea = {};
  RECT rcCenter = {};
  HWND hWndCenter = ::GetWindow(m_hWnd, GW_OWNER);
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &info);
  rcArea = info.rcWork;
  if (hWndCenter == NULL || !::IsWindowVisible(hWndCenter) || ::IsIconic(hWndCenter))
    rcCenter = rcArea;
  else
    ::GetWindowRect(hWndCenter, &rcCenter);
  int w = rcDlg.right - rcDlg.left;
  int h = rcDlg.bottom - rcDlg.top;
  int x = (rcCenter.left + rcCenter.right) / 2 - w / 2;
  int y = (rcCenter.top + rcCenter.bottom) / 2 - h / 2;
  if (x < rcArea.left)
    x = rcArea.left;
  else if (x + w > rcArea.right)
    x = rcArea.right - w;
  if (y < rcArea.top)
    y = rcArea.top;
  else if (y + h > rcArea.bottom)
    y = rcArea.bottom - h;
  ::SetWindowPos(m_hWnd, NULL, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetIcon(UINT nRes) {
  HINSTANCE inst = CPaintManagerUI::GetInstance();
  HICON hIcon = static_cast<HICON>(::LoadImageW(inst, MAKEINTRESOURCEW(nRes), IMAGE_ICON,
                                                ::GetSystemMetrics(SM_CXICON),
                                                ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
  if (hIcon == NULL) {
    CPaintManagerUI::Log(L"icon resource %u not found", nRes);
    return;
  }
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon));
  hIcon = static_cast<HICON>(::LoadImageW(inst, MAKEINTRESOURCEW(nRes), IMAGE_ICON,
                                          ::GetSystemMetrics(SM_CXSMICON),
                                          ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  if (hIcon)
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return ::SendMessageW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return ::PostMessageW(m_hWnd, uMsg, wParam, lParam);
}

void CWindowWnd::ResizeClient(int cx, int cy) {
  RECT rc = {};
  if (!::GetClientRect(m_hWnd, &rc))
    return;
  if (cx != -1)
    rc.right = cx;
  if (cy != -1)
    rc.bottom = cy;
  if (!::AdjustWindowRectEx(&rc, ::GetWindowLong(m_hWnd, GWL_STYLE), FALSE,
                            ::GetWindowLong(m_hWnd, GWL_EXSTYLE)))
    return;
  ::SetWindowPos(m_hWnd, NULL, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return ::CallWindowProcW(m_OldWndProc, m_hWnd, uMsg, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::__WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  CWindowWnd* pThis = NULL;
  if (uMsg == WM_NCCREATE) {
    LPCREATESTRUCT lpcs = reinterpret_cast<LPCREATESTRUCT>(lParam);
    pThis = static_cast<CWindowWnd*>(lpcs->lpCreateParams);
    pThis->m_hWnd = hWnd;
    ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pThis));
  } else {
    pThis = reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
  }
  if (pThis == NULL)
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);

  if (uMsg == WM_NCDESTROY) {
    LRESULT lRes = ::CallWindowProcW(pThis->m_OldWndProc, hWnd, uMsg, wParam, lParam);
    ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
    pThis->m_hWnd = NULL;
    pThis->m_bCreated = false;
    pThis->OnFinalMessage(hWnd);
    return lRes;
  }

  // The object's own handling starts with WM_CREATE: the sizing and frame messages before it
  // get the default handling, and the frame is computed again once the window has set its style.
  if (!pThis->m_bCreated) {
    if (uMsg != WM_CREATE)
      return ::CallWindowProcW(pThis->m_OldWndProc, hWnd, uMsg, wParam, lParam);
    pThis->m_bCreated = true;
    LRESULT lRes = pThis->HandleMessage(uMsg, wParam, lParam);
    if (lRes != -1 && ::IsWindow(hWnd)) {
      ::SetWindowPos(hWnd, NULL, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return lRes;
  }
  return pThis->HandleMessage(uMsg, wParam, lParam);
}

}  // namespace DuiLib
