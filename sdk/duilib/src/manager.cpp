// The per-window paint manager: layout, double-buffered painting, input routing, notifications.
#include "internal.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace DuiLib {

class CPaintManagerData {
 public:
  HWND hWnd = NULL;
  CControlUI* root = NULL;
  CControlUI* focus = NULL;
  CControlUI* hover = NULL;
  CControlUI* click = NULL;
  bool updateNeeded = false;
  bool mouseTracking = false;
  POINT lastMouse = {0, 0};
  SIZE initSize = {0, 0};
  RECT sizeBox = {0, 0, 0, 0};
  RECT caption = {0, 0, 0, 0};
  SIZE roundCorner = {0, 0};
  SIZE minInfo = {0, 0};
  SIZE maxInfo = {0, 0};
  std::vector<INotifyUI*> notifiers;
  std::vector<IMessageFilterUI*> preFilters;
  std::vector<IMessageFilterUI*> filters;
  std::map<int, TFontInfo> fonts;
  TFontInfo defaultFont = {};
  DWORD defaultFontColor = 0xFF000000;
  std::map<std::wstring, TImageInfo*> images;
  std::set<std::wstring> missingImages;  // reported once each
  // Off-screen buffer of the client area.
  HDC offscreenDC = NULL;
  HBITMAP offscreenBitmap = NULL;
  HGDIOBJ offscreenOld = NULL;
  SIZE offscreenSize = {0, 0};
  HWND tooltip = NULL;
  TOOLINFOW toolInfo = {};
  CDuiString tooltipText;
};

namespace {

std::vector<CPaintManagerUI*>& Managers() {
  static std::vector<CPaintManagerUI*>* managers = new std::vector<CPaintManagerUI*>;
  return *managers;
}

std::wstring LowerKey(LPCTSTR name) {
  std::wstring key(name);
  for (wchar_t& c : key)
    c = static_cast<wchar_t>(towlower(c));
  return key;
}

void FreeFont(TFontInfo& info) {
  if (info.hFont)
    ::DeleteObject(info.hFont);
  info.hFont = NULL;
}

int CALLBACK FontExists(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

HFONT MakeFont(HWND hWnd,
               TFontInfo& info,
               LPCTSTR name,
               int size,
               bool bold,
               bool underline,
               bool italic) {
  LOGFONTW lf = {};
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(lf.lfFaceName, name && *name ? name : L"Microsoft YaHei", LF_FACESIZE);
  // A face the system lacks gives way to the first UI face it has that also covers Chinese.
  static const wchar_t* const kFallbacks[] = {L"Microsoft YaHei", L"SimSun", L"WenQuanYi Micro Hei",
                                              L"Tahoma"};
  HDC dc = ::GetDC(hWnd);
  bool found = false;
  ::EnumFontFamiliesExW(dc, &lf, FontExists, reinterpret_cast<LPARAM>(&found), 0);
  for (size_t i = 0; !found && i < sizeof(kFallbacks) / sizeof(kFallbacks[0]); ++i) {
    lstrcpynW(lf.lfFaceName, kFallbacks[i], LF_FACESIZE);
    ::EnumFontFamiliesExW(dc, &lf, FontExists, reinterpret_cast<LPARAM>(&found), 0);
  }
  lf.lfHeight = -(size > 0 ? size : 12);
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfUnderline = underline;
  lf.lfItalic = italic;
  lf.lfQuality = CLEARTYPE_QUALITY;
  HFONT font = ::CreateFontIndirectW(&lf);
  FreeFont(info);
  info.hFont = font;
  info.sFontName = name ? name : L"";
  info.iSize = size;
  info.bBold = bold;
  info.bUnderline = underline;
  info.bItalic = italic;
  if (font) {
    HGDIOBJ old = ::SelectObject(dc, font);
    ::GetTextMetricsW(dc, &info.tm);
    ::SelectObject(dc, old);
  }
  ::ReleaseDC(hWnd, dc);
  return font;
}

void SendEvent(CControlUI* control, int type, POINT pt, WPARAM wParam = 0, LPARAM lParam = 0) {
  TEventUI event = {};
  event.Type = type;
  event.pSender = control;
  event.dwTimestamp = ::GetTickCount();
  event.ptMouse = pt;
  event.wParam = wParam;
  event.lParam = lParam;
  event.wKeyState = static_cast<WORD>(wParam);
  if (type == UIEVENT_CHAR || type == UIEVENT_KEYDOWN)
    event.chKey = static_cast<TCHAR>(wParam);
  control->Event(event);
}

}  // namespace

CPaintManagerUI::CPaintManagerUI() : m_d(new CPaintManagerData) {}

CPaintManagerUI::~CPaintManagerUI() {
  Managers().erase(std::remove(Managers().begin(), Managers().end(), this), Managers().end());
  delete m_d->root;  // controls clear their references to us while m_d is still here
  m_d->root = NULL;
  RemoveAllImages();
  for (auto& font : m_d->fonts)
    FreeFont(font.second);
  FreeFont(m_d->defaultFont);
  if (m_d->offscreenDC) {
    ::SelectObject(m_d->offscreenDC, m_d->offscreenOld);
    ::DeleteDC(m_d->offscreenDC);
    ::DeleteObject(m_d->offscreenBitmap);
  }
  if (m_d->tooltip && ::IsWindow(m_d->tooltip))
    ::DestroyWindow(m_d->tooltip);
  delete m_d;
}

void CPaintManagerUI::Init(HWND hWnd) {
  m_d->hWnd = hWnd;
  if (std::find(Managers().begin(), Managers().end(), this) == Managers().end())
    Managers().push_back(this);
  if (!m_d->defaultFont.hFont)
    MakeFont(hWnd, m_d->defaultFont, L"Microsoft YaHei", 12, false, false, false);
}

HWND CPaintManagerUI::GetPaintWindow() const {
  return m_d->hWnd;
}

HWND CPaintManagerUI::GetTooltipWindow() const {
  return m_d->tooltip;
}

// ---- window properties ----

SIZE CPaintManagerUI::GetInitSize() {
  return m_d->initSize;
}
void CPaintManagerUI::SetInitSize(int cx, int cy) {
  m_d->initSize.cx = cx;
  m_d->initSize.cy = cy;
  if (m_d->root == NULL && m_d->hWnd != NULL && cx > 0 && cy > 0) {
    ::SetWindowPos(m_d->hWnd, NULL, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  }
}
RECT& CPaintManagerUI::GetSizeBox() {
  return m_d->sizeBox;
}
void CPaintManagerUI::SetSizeBox(RECT& rcSizeBox) {
  m_d->sizeBox = rcSizeBox;
}
RECT& CPaintManagerUI::GetCaptionRect() {
  return m_d->caption;
}
void CPaintManagerUI::SetCaptionRect(RECT& rcCaption) {
  m_d->caption = rcCaption;
}
SIZE CPaintManagerUI::GetRoundCorner() const {
  return m_d->roundCorner;
}
void CPaintManagerUI::SetRoundCorner(int cx, int cy) {
  m_d->roundCorner.cx = cx;
  m_d->roundCorner.cy = cy;
}
SIZE CPaintManagerUI::GetMinInfo() const {
  return m_d->minInfo;
}
void CPaintManagerUI::SetMinInfo(int cx, int cy) {
  m_d->minInfo.cx = cx;
  m_d->minInfo.cy = cy;
}
SIZE CPaintManagerUI::GetMaxInfo() const {
  return m_d->maxInfo;
}
void CPaintManagerUI::SetMaxInfo(int cx, int cy) {
  m_d->maxInfo.cx = cx;
  m_d->maxInfo.cy = cy;
}

// ---- fonts ----

HFONT CPaintManagerUI::AddFont(int id,
                               LPCTSTR pStrFontName,
                               int nSize,
                               bool bBold,
                               bool bUnderline,
                               bool bItalic) {
  TFontInfo& info = m_d->fonts[id];
  return MakeFont(m_d->hWnd, info, pStrFontName, nSize, bBold, bUnderline, bItalic);
}

void CPaintManagerUI::SetDefaultFont(LPCTSTR pStrFontName,
                                     int nSize,
                                     bool bBold,
                                     bool bUnderline,
                                     bool bItalic) {
  MakeFont(m_d->hWnd, m_d->defaultFont, pStrFontName, nSize, bBold, bUnderline, bItalic);
}

TFontInfo* CPaintManagerUI::GetFontInfo(int id) {
  auto it = m_d->fonts.find(id);
  if (it != m_d->fonts.end() && it->second.hFont)
    return &it->second;
  if (!m_d->defaultFont.hFont)
    MakeFont(m_d->hWnd, m_d->defaultFont, L"Microsoft YaHei", 12, false, false, false);
  return &m_d->defaultFont;
}

HFONT CPaintManagerUI::GetFont(int id) {
  return GetFontInfo(id)->hFont;
}

DWORD CPaintManagerUI::GetDefaultFontColor() const {
  return m_d->defaultFontColor;
}
void CPaintManagerUI::SetDefaultFontColor(DWORD dwColor) {
  m_d->defaultFontColor = dwColor;
}

// ---- images ----

const TImageInfo* CPaintManagerUI::GetImageEx(LPCTSTR bitmap) {
  if (!bitmap || !*bitmap)
    return NULL;
  std::wstring key = LowerKey(bitmap);
  auto it = m_d->images.find(key);
  if (it != m_d->images.end())
    return it->second;
  if (m_d->missingImages.count(key))
    return NULL;
  LPBYTE data = NULL;
  DWORD size = 0;
  TImageInfo* image = NULL;
  if (LoadResource(bitmap, &data, &size)) {
    image = internal::DecodeImage(data, size);
    FreeResource(data);
    if (!image)
      Log(L"image %s cannot be decoded", bitmap);
  }
  if (!image) {
    m_d->missingImages.insert(key);
    return NULL;
  }
  m_d->images[key] = image;
  return image;
}

void CPaintManagerUI::RemoveAllImages() {
  for (auto& image : m_d->images)
    internal::FreeImage(image.second);
  m_d->images.clear();
  m_d->missingImages.clear();
}

// ---- control tree ----

bool CPaintManagerUI::AttachDialog(CControlUI* pControl) {
  if (!pControl)
    return false;
  if (m_d->root && m_d->root != pControl) {
    delete m_d->root;
  }
  m_d->focus = m_d->hover = m_d->click = NULL;
  m_d->root = pControl;
  m_d->updateNeeded = true;
  bool ok = InitControls(pControl);
  if (m_d->hWnd)
    ::InvalidateRect(m_d->hWnd, NULL, FALSE);
  return ok;
}

bool CPaintManagerUI::InitControls(CControlUI* pControl, CControlUI* pParent) {
  if (!pControl)
    return false;
  pControl->SetManager(this, pParent ? pParent : pControl->GetParent(), true);
  return true;
}

void CPaintManagerUI::ReapObjects(CControlUI* pControl) {
  if (pControl == m_d->focus)
    m_d->focus = NULL;
  if (pControl == m_d->hover)
    m_d->hover = NULL;
  if (pControl == m_d->click)
    m_d->click = NULL;
  if (pControl == m_d->root)
    m_d->root = NULL;
}

CControlUI* CPaintManagerUI::GetRoot() const {
  return m_d->root;
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
  if (!m_d->root)
    return NULL;
  if (m_d->updateNeeded && m_d->hWnd) {
    RECT rc;
    ::GetClientRect(m_d->hWnd, &rc);
    if (!::IsRectEmpty(&rc)) {
      m_d->updateNeeded = false;
      m_d->root->SetPos(rc, false);
    }
  }
  return m_d->root->FindControlAt(pt);
}

CControlUI* CPaintManagerUI::FindControl(LPCTSTR pstrName) const {
  if (!m_d->root || !pstrName)
    return NULL;
  return m_d->root->FindControlByName(pstrName);
}

CControlUI* CPaintManagerUI::GetFocus() const {
  return m_d->focus;
}

void CPaintManagerUI::SetFocus(CControlUI* pControl) {
  if (pControl == m_d->focus)
    return;
  if (pControl && m_d->hWnd && ::GetFocus() != m_d->hWnd)
    ::SetFocus(m_d->hWnd);
  CControlUI* old = m_d->focus;
  m_d->focus = NULL;
  if (old) {
    SendEvent(old, UIEVENT_KILLFOCUS, m_d->lastMouse);
    SendNotify(old, DUI_MSGTYPE_KILLFOCUS);
  }
  if (pControl && pControl->GetManager() == this && pControl->IsVisible() &&
      pControl->IsEnabled()) {
    m_d->focus = pControl;
    SendEvent(pControl, UIEVENT_SETFOCUS, m_d->lastMouse);
    SendNotify(pControl, DUI_MSGTYPE_SETFOCUS);
  }
}

void CPaintManagerUI::NeedUpdate() {
  m_d->updateNeeded = true;
  if (m_d->hWnd)
    ::InvalidateRect(m_d->hWnd, NULL, FALSE);
}

bool CPaintManagerUI::IsUpdateNeeded() const {
  return m_d->updateNeeded;
}

void CPaintManagerUI::Invalidate(RECT& rcItem) {
  if (m_d->hWnd)
    ::InvalidateRect(m_d->hWnd, &rcItem, FALSE);
}

// ---- notifications and filters ----

bool CPaintManagerUI::AddNotifier(INotifyUI* pNotifier) {
  if (!pNotifier ||
      std::find(m_d->notifiers.begin(), m_d->notifiers.end(), pNotifier) != m_d->notifiers.end())
    return false;
  m_d->notifiers.push_back(pNotifier);
  return true;
}

bool CPaintManagerUI::RemoveNotifier(INotifyUI* pNotifier) {
  auto it = std::find(m_d->notifiers.begin(), m_d->notifiers.end(), pNotifier);
  if (it == m_d->notifiers.end())
    return false;
  m_d->notifiers.erase(it);
  return true;
}

void CPaintManagerUI::SendNotify(TNotifyUI& Msg, bool) {
  Msg.ptMouse = m_d->lastMouse;
  Msg.dwTimestamp = ::GetTickCount();
  // A copy: a notifier may add or remove notifiers while it runs.
  std::vector<INotifyUI*> notifiers = m_d->notifiers;
  for (INotifyUI* notifier : notifiers)
    notifier->Notify(Msg);
}

void CPaintManagerUI::SendNotify(CControlUI* pControl,
                                 LPCTSTR pstrMessage,
                                 WPARAM wParam,
                                 LPARAM lParam,
                                 bool bAsync) {
  TNotifyUI msg;
  msg.pSender = pControl;
  msg.sType = pstrMessage;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.dwTimestamp = 0;
  msg.ptMouse = m_d->lastMouse;
  SendNotify(msg, bAsync);
}

static bool AddUnique(std::vector<IMessageFilterUI*>& list, IMessageFilterUI* filter) {
  if (!filter || std::find(list.begin(), list.end(), filter) != list.end())
    return false;
  list.push_back(filter);
  return true;
}

static bool RemoveOne(std::vector<IMessageFilterUI*>& list, IMessageFilterUI* filter) {
  auto it = std::find(list.begin(), list.end(), filter);
  if (it == list.end())
    return false;
  list.erase(it);
  return true;
}

bool CPaintManagerUI::AddPreMessageFilter(IMessageFilterUI* pFilter) {
  return AddUnique(m_d->preFilters, pFilter);
}
bool CPaintManagerUI::RemovePreMessageFilter(IMessageFilterUI* pFilter) {
  return RemoveOne(m_d->preFilters, pFilter);
}
bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* pFilter) {
  return AddUnique(m_d->filters, pFilter);
}
bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* pFilter) {
  return RemoveOne(m_d->filters, pFilter);
}

bool CPaintManagerUI::TranslateMessage(const LPMSG pMsg) {
  // Offer the message to the managers of its window and of the windows above it.
  for (HWND hWnd = pMsg->hwnd; hWnd != NULL; hWnd = ::GetParent(hWnd)) {
    for (CPaintManagerUI* manager : Managers()) {
      if (manager->m_d->hWnd != hWnd)
        continue;
      LRESULT lRes = 0;
      if (manager->PreMessageHandler(pMsg->message, pMsg->wParam, pMsg->lParam, lRes))
        return true;
    }
    if (!(::GetWindowLongW(hWnd, GWL_STYLE) & WS_CHILD))
      break;
  }
  return false;
}

bool CPaintManagerUI::PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
  std::vector<IMessageFilterUI*> filters = m_d->preFilters;
  for (IMessageFilterUI* filter : filters) {
    bool handled = false;
    LRESULT result = filter->MessageHandler(uMsg, wParam, lParam, handled);
    if (handled) {
      lRes = result;
      return true;
    }
  }
  return false;
}

// ---- painting ----

void CPaintManagerUI::Render(HDC hDC, const RECT& rcPaint) {
  if (!m_d->root)
    return;
  RECT client = {0, 0, 0, 0};
  if (m_d->hWnd)
    ::GetClientRect(m_d->hWnd, &client);
  if (m_d->updateNeeded && !::IsRectEmpty(&client)) {
    m_d->updateNeeded = false;
    m_d->root->SetPos(client, false);
  }
  int saved = ::SaveDC(hDC);
  ::SetBkMode(hDC, TRANSPARENT);
  m_d->root->DoPaint(hDC, rcPaint);
  ::RestoreDC(hDC, saved);
}

namespace {

bool EnsureOffscreen(CPaintManagerData* d, HDC reference, int cx, int cy) {
  if (d->offscreenDC && d->offscreenSize.cx == cx && d->offscreenSize.cy == cy)
    return true;
  if (d->offscreenDC) {
    ::SelectObject(d->offscreenDC, d->offscreenOld);
    ::DeleteDC(d->offscreenDC);
    ::DeleteObject(d->offscreenBitmap);
    d->offscreenDC = NULL;
  }
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = cx;
  bmi.bmiHeader.biHeight = -cy;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = NULL;
  d->offscreenBitmap = ::CreateDIBSection(reference, &bmi, DIB_RGB_COLORS, &bits, NULL, 0);
  if (!d->offscreenBitmap)
    return false;
  d->offscreenDC = ::CreateCompatibleDC(reference);
  d->offscreenOld = ::SelectObject(d->offscreenDC, d->offscreenBitmap);
  d->offscreenSize.cx = cx;
  d->offscreenSize.cy = cy;
  return true;
}

}  // namespace

// ---- tooltips ----

static void HideTooltip(CPaintManagerData* d) {
  if (d->tooltip && ::IsWindow(d->tooltip))
    ::SendMessageW(d->tooltip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&d->toolInfo));
}

static void ShowTooltip(CPaintManagerData* d, CControlUI* control, POINT pt, HFONT font) {
  CDuiString text = control->GetToolTip();
  if (text.IsEmpty())
    return;
  d->tooltipText = text;
  d->toolInfo.cbSize = TTTOOLINFOW_V2_SIZE;
  d->toolInfo.uFlags = TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE;
  d->toolInfo.hwnd = d->hWnd;
  d->toolInfo.uId = reinterpret_cast<UINT_PTR>(d->hWnd);
  d->toolInfo.hinst = CPaintManagerUI::GetInstance();
  d->toolInfo.lpszText = const_cast<LPWSTR>(d->tooltipText.GetData());
  d->toolInfo.rect = control->GetPos();
  if (d->tooltip == NULL) {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    d->tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, NULL,
                                   WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, d->hWnd, NULL,
                                   CPaintManagerUI::GetInstance(), NULL);
    if (!d->tooltip) {
      CPaintManagerUI::Log(L"tooltip window cannot be created (error %lu)", ::GetLastError());
      return;
    }
    ::SendMessageW(d->tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&d->toolInfo));
    // The skin's font: the system's tooltip font may lack the Chinese glyphs of the tips.
    ::SendMessageW(d->tooltip, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  ::SendMessageW(d->tooltip, TTM_SETMAXTIPWIDTH, 0, 300);
  ::SendMessageW(d->tooltip, TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&d->toolInfo));
  POINT screen = pt;
  ::ClientToScreen(d->hWnd, &screen);
  ::SendMessageW(d->tooltip, TTM_TRACKPOSITION, 0, MAKELPARAM(screen.x + 12, screen.y + 20));
  ::SendMessageW(d->tooltip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&d->toolInfo));
}

// ---- messages ----

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
  if (m_d->hWnd == NULL)
    return false;
  {
    std::vector<IMessageFilterUI*> filters = m_d->filters;
    for (IMessageFilterUI* filter : filters) {
      bool handled = false;
      LRESULT result = filter->MessageHandler(uMsg, wParam, lParam, handled);
      if (handled) {
        lRes = result;
        return true;
      }
    }
  }

  switch (uMsg) {
    case WM_ERASEBKGND:
      // Everything is painted from the buffer: erasing would only flicker.
      lRes = 1;
      return true;

    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hDC = ::BeginPaint(m_d->hWnd, &ps);
      RECT client;
      ::GetClientRect(m_d->hWnd, &client);
      if (m_d->root && !::IsRectEmpty(&client) &&
          EnsureOffscreen(m_d, hDC, client.right, client.bottom)) {
        RECT paint = ps.rcPaint;
        if (m_d->updateNeeded)
          paint = client;  // layout changes can move anything
        Render(m_d->offscreenDC, paint);
        ::BitBlt(hDC, paint.left, paint.top, paint.right - paint.left, paint.bottom - paint.top,
                 m_d->offscreenDC, paint.left, paint.top, SRCCOPY);
      }
      ::EndPaint(m_d->hWnd, &ps);
      lRes = 0;
      return true;
    }

    case WM_PRINTCLIENT: {
      RECT client;
      ::GetClientRect(m_d->hWnd, &client);
      Render(reinterpret_cast<HDC>(wParam), client);
      lRes = 0;
      return true;
    }

    case WM_SIZE:
      if (m_d->root) {
        m_d->root->NeedUpdate();
        NeedUpdate();
      }
      return false;

    case WM_GETMINMAXINFO: {
      LPMINMAXINFO mmi = reinterpret_cast<LPMINMAXINFO>(lParam);
      if (m_d->minInfo.cx > 0)
        mmi->ptMinTrackSize.x = m_d->minInfo.cx;
      if (m_d->minInfo.cy > 0)
        mmi->ptMinTrackSize.y = m_d->minInfo.cy;
      if (m_d->maxInfo.cx > 0)
        mmi->ptMaxTrackSize.x = m_d->maxInfo.cx;
      if (m_d->maxInfo.cy > 0)
        mmi->ptMaxTrackSize.y = m_d->maxInfo.cy;
      return false;
    }

    case WM_MOUSEMOVE: {
      if (!m_d->mouseTracking) {
        TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE | TME_HOVER, m_d->hWnd, 400};
        ::TrackMouseEvent(&tme);
        m_d->mouseTracking = true;
      }
      POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      m_d->lastMouse = pt;
      CControlUI* newHover = FindControl(pt);
      if (newHover && newHover->GetManager() != this)
        break;
      if (newHover != m_d->hover) {
        HideTooltip(m_d);
        CControlUI* old = m_d->hover;
        m_d->hover = newHover;
        if (old)
          SendEvent(old, UIEVENT_MOUSELEAVE, pt);
        if (newHover)
          SendEvent(newHover, UIEVENT_MOUSEENTER, pt);
      }
      if (m_d->click)
        SendEvent(m_d->click, UIEVENT_MOUSEMOVE, pt);
      else if (m_d->hover)
        SendEvent(m_d->hover, UIEVENT_MOUSEMOVE, pt);
      break;
    }

    case WM_MOUSELEAVE: {
      m_d->mouseTracking = false;
      HideTooltip(m_d);
      if (m_d->click)
        break;  // the pressed control keeps the mouse until the button is released
      CControlUI* old = m_d->hover;
      m_d->hover = NULL;
      if (old)
        SendEvent(old, UIEVENT_MOUSELEAVE, m_d->lastMouse);
      break;
    }

    case WM_MOUSEHOVER: {
      m_d->mouseTracking = false;  // hover tracking ends with the message; the next move re-arms
      POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      m_d->lastMouse = pt;
      CControlUI* control = FindControl(pt);
      if (control && control->GetManager() == this)
        ShowTooltip(m_d, control, pt, GetFont(-1));
      break;
    }

    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      HideTooltip(m_d);
      POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      m_d->lastMouse = pt;
      CControlUI* control = FindControl(pt);
      if (!control || control->GetManager() != this)
        break;
      if (m_d->focus && m_d->focus != control)
        SetFocus(NULL);
      m_d->click = control;
      ::SetCapture(m_d->hWnd);
      SendEvent(control, uMsg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN : UIEVENT_DBLCLICK, pt, wParam,
                lParam);
      break;
    }

    case WM_LBUTTONUP: {
      POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      m_d->lastMouse = pt;
      CControlUI* control = m_d->click;
      m_d->click = NULL;
      if (::GetCapture() == m_d->hWnd)
        ::ReleaseCapture();
      if (control)
        SendEvent(control, UIEVENT_BUTTONUP, pt, wParam, lParam);
      break;
    }

    case WM_CAPTURECHANGED:
      // The mouse was taken away while a control was pressed: release it without a click.
      if (m_d->click && reinterpret_cast<HWND>(lParam) != m_d->hWnd) {
        CControlUI* control = m_d->click;
        m_d->click = NULL;
        SendEvent(control, UIEVENT_BUTTONUP, POINT{-32768, -32768});
      }
      break;

    case WM_CHAR:
    case WM_KEYDOWN:
      if (m_d->focus)
        SendEvent(m_d->focus, uMsg == WM_CHAR ? UIEVENT_CHAR : UIEVENT_KEYDOWN, m_d->lastMouse,
                  wParam, lParam);
      break;

    case WM_DESTROY:
      HideTooltip(m_d);
      break;

    default:
      break;
  }
  return false;
}

}  // namespace DuiLib
