// The base control.
#include "internal.h"

namespace DuiLib {

using internal::ParseBool;
using internal::ParseColor;
using internal::ParseInt;
using internal::ParseRect;

CControlUI::CControlUI()
    : m_pManager(NULL),
      m_pParent(NULL),
      m_bUpdateNeeded(true),
      m_bVisible(true),
      m_bInternVisible(true),
      m_bEnabled(true),
      m_bMouseEnabled(true),
      m_bFocused(false),
      m_bFloat(false),
      m_dwBackColor(0),
      m_dwBorderColor(0),
      m_nBorderSize(0) {
  m_rcItem = m_rcPadding = m_rcFloat = m_rcPaint = RECT{0, 0, 0, 0};
  m_cXY = m_cxyFixed = SIZE{0, 0};
}

CControlUI::~CControlUI() {
  if (m_pManager)
    m_pManager->ReapObjects(this);
}

CDuiString CControlUI::GetName() const {
  return m_sName;
}
void CControlUI::SetName(LPCTSTR pstrName) {
  m_sName = pstrName;
}
LPCTSTR CControlUI::GetClass() const {
  return L"ControlUI";
}
LPVOID CControlUI::GetInterface(LPCTSTR pstrName) {
  if (wcscmp(pstrName, DUI_CTR_CONTROL) == 0)
    return this;
  return NULL;
}

CPaintManagerUI* CControlUI::GetManager() const {
  return m_pManager;
}
void CControlUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
  m_pManager = pManager;
  m_pParent = pParent;
  if (bInit)
    Init();
}
CControlUI* CControlUI::GetParent() const {
  return m_pParent;
}

CDuiString CControlUI::GetText() const {
  return m_sText;
}
void CControlUI::SetText(LPCTSTR pstrText) {
  if (m_sText == pstrText)
    return;
  m_sText = pstrText;
  Invalidate();
}
CDuiString CControlUI::GetToolTip() const {
  return m_sToolTip;
}
void CControlUI::SetToolTip(LPCTSTR pstrText) {
  m_sToolTip = pstrText;
}

DWORD CControlUI::GetBkColor() const {
  return m_dwBackColor;
}
void CControlUI::SetBkColor(DWORD dwBackColor) {
  m_dwBackColor = dwBackColor;
  Invalidate();
}
LPCTSTR CControlUI::GetBkImage() {
  return m_sBkImage;
}
void CControlUI::SetBkImage(LPCTSTR pStrImage) {
  m_sBkImage = pStrImage;
  Invalidate();
}
void CControlUI::SetBorderColor(DWORD dwBorderColor) {
  m_dwBorderColor = dwBorderColor;
  Invalidate();
}
void CControlUI::SetBorderSize(int nSize) {
  m_nBorderSize = nSize;
  Invalidate();
}

const RECT& CControlUI::GetPos() const {
  return m_rcItem;
}
void CControlUI::SetPos(RECT rc, bool bNeedInvalidate) {
  if (rc.right < rc.left)
    rc.right = rc.left;
  if (rc.bottom < rc.top)
    rc.bottom = rc.top;
  RECT old = m_rcItem;
  m_rcItem = rc;
  m_bUpdateNeeded = false;
  if (bNeedInvalidate && m_pManager) {
    RECT both;
    ::UnionRect(&both, &old, &m_rcItem);
    m_pManager->Invalidate(both);
  }
}
int CControlUI::GetWidth() const {
  return m_rcItem.right - m_rcItem.left;
}
int CControlUI::GetHeight() const {
  return m_rcItem.bottom - m_rcItem.top;
}
RECT CControlUI::GetPadding() const {
  return m_rcPadding;
}
void CControlUI::SetPadding(RECT rcPadding) {
  m_rcPadding = rcPadding;
  NeedParentUpdate();
}
SIZE CControlUI::GetFixedXY() const {
  return m_cXY;
}
void CControlUI::SetFixedXY(SIZE szXY) {
  m_cXY = szXY;
  m_rcFloat.left = szXY.cx;
  m_rcFloat.top = szXY.cy;
  m_rcFloat.right = szXY.cx + m_cxyFixed.cx;
  m_rcFloat.bottom = szXY.cy + m_cxyFixed.cy;
  NeedParentUpdate();
}
int CControlUI::GetFixedWidth() const {
  return m_cxyFixed.cx;
}
void CControlUI::SetFixedWidth(int cx) {
  if (cx < 0)
    return;
  m_cxyFixed.cx = cx;
  m_rcFloat.right = m_rcFloat.left + cx;
  NeedParentUpdate();
}
int CControlUI::GetFixedHeight() const {
  return m_cxyFixed.cy;
}
void CControlUI::SetFixedHeight(int cy) {
  if (cy < 0)
    return;
  m_cxyFixed.cy = cy;
  m_rcFloat.bottom = m_rcFloat.top + cy;
  NeedParentUpdate();
}
bool CControlUI::IsFloat() const {
  return m_bFloat;
}
void CControlUI::SetFloat(bool bFloat) {
  m_bFloat = bFloat;
  NeedParentUpdate();
}
SIZE CControlUI::EstimateSize(SIZE) {
  return m_cxyFixed;
}

bool CControlUI::IsVisible() const {
  return m_bVisible && m_bInternVisible;
}
void CControlUI::SetVisible(bool bVisible) {
  if (m_bVisible == bVisible)
    return;
  bool wasVisible = IsVisible();
  m_bVisible = bVisible;
  if (m_bFocused && !IsVisible() && m_pManager)
    m_pManager->SetFocus(NULL);
  if (IsVisible() != wasVisible)
    NeedParentUpdate();
}
void CControlUI::SetInternVisible(bool bVisible) {
  m_bInternVisible = bVisible;
  if (m_bFocused && !IsVisible() && m_pManager)
    m_pManager->SetFocus(NULL);
}
bool CControlUI::IsEnabled() const {
  return m_bEnabled;
}
void CControlUI::SetEnabled(bool bEnable) {
  if (m_bEnabled == bEnable)
    return;
  m_bEnabled = bEnable;
  Invalidate();
}
bool CControlUI::IsMouseEnabled() const {
  return m_bMouseEnabled;
}
void CControlUI::SetMouseEnabled(bool bEnable) {
  m_bMouseEnabled = bEnable;
}
bool CControlUI::IsFocused() const {
  return m_bFocused;
}
void CControlUI::SetFocus() {
  if (m_pManager)
    m_pManager->SetFocus(this);
}

CControlUI* CControlUI::FindControlAt(POINT pt) {
  if (!IsVisible() || !m_bMouseEnabled)
    return NULL;
  return ::PtInRect(&m_rcItem, pt) ? this : NULL;
}

CControlUI* CControlUI::FindControlByName(LPCTSTR pstrName) {
  return m_sName == pstrName ? this : NULL;
}

void CControlUI::Invalidate() {
  if (!IsVisible() || !m_pManager)
    return;
  RECT rc = m_rcItem;
  m_pManager->Invalidate(rc);
}

bool CControlUI::IsUpdateNeeded() const {
  return m_bUpdateNeeded;
}
void CControlUI::NeedUpdate() {
  m_bUpdateNeeded = true;
  if (m_pManager)
    m_pManager->NeedUpdate();
}
void CControlUI::NeedParentUpdate() {
  if (m_pParent)
    m_pParent->NeedUpdate();
  else
    NeedUpdate();
}

void CControlUI::Init() {
  DoInit();
}
void CControlUI::DoInit() {}

void CControlUI::Event(TEventUI& event) {
  DoEvent(event);
}

void CControlUI::DoEvent(TEventUI& event) {
  switch (event.Type) {
    case UIEVENT_SETFOCUS:
      m_bFocused = true;
      Invalidate();
      return;
    case UIEVENT_KILLFOCUS:
      m_bFocused = false;
      Invalidate();
      return;
    default:
      break;
  }
  // Unhandled mouse events go up to the container (a label inside a band, ...).
  if (m_pParent && event.Type != UIEVENT_MOUSEENTER && event.Type != UIEVENT_MOUSELEAVE)
    m_pParent->DoEvent(event);
}

void CControlUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  CDuiString name(pstrName);
  if (name == L"pos") {
    RECT rc = ParseRect(pstrValue);
    m_rcFloat = rc;
    m_cXY.cx = rc.left;
    m_cXY.cy = rc.top;
    m_cxyFixed.cx = rc.right - rc.left;
    m_cxyFixed.cy = rc.bottom - rc.top;
    NeedParentUpdate();
  } else if (name == L"float") {
    SetFloat(ParseBool(pstrValue));
  } else if (name == L"padding") {
    SetPadding(ParseRect(pstrValue));
  } else if (name == L"bkcolor" || name == L"bkcolor1") {
    SetBkColor(ParseColor(pstrValue));
  } else if (name == L"bordercolor") {
    SetBorderColor(ParseColor(pstrValue));
  } else if (name == L"bordersize") {
    SetBorderSize(ParseInt(pstrValue));
  } else if (name == L"bkimage") {
    SetBkImage(pstrValue);
  } else if (name == L"width") {
    SetFixedWidth(ParseInt(pstrValue));
  } else if (name == L"height") {
    SetFixedHeight(ParseInt(pstrValue));
  } else if (name == L"name") {
    SetName(pstrValue);
  } else if (name == L"text") {
    SetText(pstrValue);
  } else if (name == L"tooltip") {
    SetToolTip(pstrValue);
  } else if (name == L"visible") {
    SetVisible(ParseBool(pstrValue));
  } else if (name == L"enabled") {
    SetEnabled(ParseBool(pstrValue));
  } else if (name == L"mouse") {
    SetMouseEnabled(ParseBool(pstrValue));
  } else {
    CPaintManagerUI::Log(L"%s: unknown attribute %s", GetClass(), pstrName);
  }
}

CControlUI* CControlUI::ApplyAttributeList(LPCTSTR pstrList) {
  // name="value" pairs, as the skins' Default elements write them.
  const wchar_t* p = pstrList;
  while (p && *p) {
    while (*p == L' ')
      ++p;
    const wchar_t* nameStart = p;
    while (*p && *p != L'=' && *p != L' ')
      ++p;
    CDuiString name(nameStart, static_cast<int>(p - nameStart));
    if (*p != L'=')
      break;
    ++p;
    wchar_t quote = *p;
    if (quote != L'"' && quote != L'\'')
      break;
    const wchar_t* valueStart = ++p;
    while (*p && *p != quote)
      ++p;
    CDuiString value(valueStart, static_cast<int>(p - valueStart));
    if (*p)
      ++p;
    SetAttribute(name, value);
  }
  return this;
}

void CControlUI::DoPaint(HDC hDC, const RECT& rcPaint) {
  if (!::IntersectRect(&m_rcPaint, &rcPaint, &m_rcItem))
    return;
  PaintBkColor(hDC);
  PaintBkImage(hDC);
  PaintStatusImage(hDC);
  PaintText(hDC);
  PaintBorder(hDC);
}

void CControlUI::PaintBkColor(HDC hDC) {
  if (m_dwBackColor != 0)
    internal::FillColor(hDC, m_rcPaint, m_dwBackColor);
}

void CControlUI::PaintBkImage(HDC hDC) {
  if (m_sBkImage.IsEmpty())
    return;
  DrawImage(hDC, m_sBkImage);
}

void CControlUI::PaintStatusImage(HDC) {}
void CControlUI::PaintText(HDC) {}

void CControlUI::PaintBorder(HDC hDC) {
  if (m_dwBorderColor == 0 || m_nBorderSize <= 0)
    return;
  for (int i = 0; i < m_nBorderSize; ++i) {
    RECT edges[4] = {
        {m_rcItem.left, m_rcItem.top + i, m_rcItem.right, m_rcItem.top + i + 1},
        {m_rcItem.left, m_rcItem.bottom - i - 1, m_rcItem.right, m_rcItem.bottom - i},
        {m_rcItem.left + i, m_rcItem.top, m_rcItem.left + i + 1, m_rcItem.bottom},
        {m_rcItem.right - i - 1, m_rcItem.top, m_rcItem.right - i, m_rcItem.bottom},
    };
    for (RECT& edge : edges) {
      RECT visible;
      if (::IntersectRect(&visible, &edge, &m_rcPaint))
        internal::FillColor(hDC, visible, m_dwBorderColor);
    }
  }
}

bool CControlUI::DrawImage(HDC hDC, LPCTSTR pStrImage, LPCTSTR pStrModify) {
  return internal::DrawImage(hDC, m_pManager, m_rcItem, m_rcPaint, pStrImage, pStrModify);
}

}  // namespace DuiLib
