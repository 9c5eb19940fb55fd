// Label, text, button, progress bar and rich edit.
#include "internal.h"

namespace DuiLib {

using internal::ParseBool;
using internal::ParseColor;
using internal::ParseInt;
using internal::ParseRect;
using internal::ToColorRef;

// ---- label ----

CLabelUI::CLabelUI()
    : m_dwTextColor(0),
      m_dwDisabledTextColor(0),
      m_iFont(-1),
      m_uTextStyle(DT_VCENTER | DT_SINGLELINE) {
  m_rcTextPadding = RECT{0, 0, 0, 0};
}

LPCTSTR CLabelUI::GetClass() const {
  return L"LabelUI";
}
LPVOID CLabelUI::GetInterface(LPCTSTR pstrName) {
  if (wcscmp(pstrName, DUI_CTR_LABEL) == 0)
    return this;
  return CControlUI::GetInterface(pstrName);
}
void CLabelUI::SetTextStyle(UINT uStyle) {
  m_uTextStyle = uStyle;
  Invalidate();
}
UINT CLabelUI::GetTextStyle() const {
  return m_uTextStyle;
}
void CLabelUI::SetTextColor(DWORD dwTextColor) {
  m_dwTextColor = dwTextColor;
  Invalidate();
}
DWORD CLabelUI::GetTextColor() const {
  return m_dwTextColor;
}
void CLabelUI::SetDisabledTextColor(DWORD dwTextColor) {
  m_dwDisabledTextColor = dwTextColor;
  Invalidate();
}
void CLabelUI::SetFont(int index) {
  m_iFont = index;
  Invalidate();
}
int CLabelUI::GetFont() const {
  return m_iFont;
}
RECT CLabelUI::GetTextPadding() const {
  return m_rcTextPadding;
}
void CLabelUI::SetTextPadding(RECT rc) {
  m_rcTextPadding = rc;
  Invalidate();
}

void CLabelUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  CDuiString name(pstrName);
  CDuiString value(pstrValue);
  if (name == L"align") {
    m_uTextStyle &= ~(DT_LEFT | DT_CENTER | DT_RIGHT);
    if (value == L"center")
      m_uTextStyle |= DT_CENTER;
    else if (value == L"right")
      m_uTextStyle |= DT_RIGHT;
  } else if (name == L"valign") {
    m_uTextStyle &= ~(DT_TOP | DT_VCENTER | DT_BOTTOM);
    if (value == L"top")
      m_uTextStyle |= DT_TOP;
    else if (value == L"bottom")
      m_uTextStyle |= DT_BOTTOM;
    else
      m_uTextStyle |= DT_VCENTER;
  } else if (name == L"endellipsis") {
    if (ParseBool(pstrValue))
      m_uTextStyle |= DT_END_ELLIPSIS;
    else
      m_uTextStyle &= ~DT_END_ELLIPSIS;
  } else if (name == L"font") {
    SetFont(ParseInt(pstrValue));
  } else if (name == L"textcolor") {
    SetTextColor(ParseColor(pstrValue));
  } else if (name == L"disabledtextcolor") {
    SetDisabledTextColor(ParseColor(pstrValue));
  } else if (name == L"textpadding") {
    SetTextPadding(ParseRect(pstrValue));
  } else {
    CControlUI::SetAttribute(pstrName, pstrValue);
  }
}

void CLabelUI::DrawTextIn(HDC hDC, RECT rc, DWORD dwColor) {
  if (m_sText.IsEmpty() || !m_pManager)
    return;
  if (dwColor == 0)
    dwColor = m_pManager->GetDefaultFontColor();
  rc.left += m_rcTextPadding.left;
  rc.top += m_rcTextPadding.top;
  rc.right -= m_rcTextPadding.right;
  rc.bottom -= m_rcTextPadding.bottom;
  int saved = ::SaveDC(hDC);
  ::IntersectClipRect(hDC, m_rcPaint.left, m_rcPaint.top, m_rcPaint.right, m_rcPaint.bottom);
  ::SelectObject(hDC, m_pManager->GetFont(m_iFont));
  ::SetBkMode(hDC, TRANSPARENT);
  ::SetTextColor(hDC, ToColorRef(dwColor));
  ::DrawTextW(hDC, m_sText.GetData(), m_sText.GetLength(), &rc, m_uTextStyle | DT_NOPREFIX);
  ::RestoreDC(hDC, saved);
}

void CLabelUI::PaintText(HDC hDC) {
  DrawTextIn(hDC, m_rcItem,
             IsEnabled() || m_dwDisabledTextColor == 0 ? m_dwTextColor : m_dwDisabledTextColor);
}

// ---- text ----

CTextUI::CTextUI() {
  m_uTextStyle = DT_WORDBREAK;
}
LPCTSTR CTextUI::GetClass() const {
  return L"TextUI";
}
LPVOID CTextUI::GetInterface(LPCTSTR pstrName) {
  if (wcscmp(pstrName, DUI_CTR_TEXT) == 0)
    return this;
  return CLabelUI::GetInterface(pstrName);
}

// ---- button ----

CButtonUI::CButtonUI() : m_uButtonState(0), m_dwHotTextColor(0), m_dwPushedTextColor(0) {
  m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
}
LPCTSTR CButtonUI::GetClass() const {
  return L"ButtonUI";
}
LPVOID CButtonUI::GetInterface(LPCTSTR pstrName) {
  if (wcscmp(pstrName, DUI_CTR_BUTTON) == 0)
    return this;
  return CLabelUI::GetInterface(pstrName);
}

bool CButtonUI::Activate() {
  if (!IsVisible() || !IsEnabled())
    return false;
  if (m_pManager)
    m_pManager->SendNotify(this, DUI_MSGTYPE_CLICK);
  return true;
}

void CButtonUI::SetEnabled(bool bEnable) {
  CControlUI::SetEnabled(bEnable);
  if (!IsEnabled())
    m_uButtonState = 0;
}

void CButtonUI::DoEvent(TEventUI& event) {
  switch (event.Type) {
    case UIEVENT_MOUSEENTER:
      if (IsEnabled()) {
        m_uButtonState |= UISTATE_HOT;
        Invalidate();
      }
      return;
    case UIEVENT_MOUSELEAVE:
      if (m_uButtonState & UISTATE_HOT) {
        m_uButtonState &= ~UISTATE_HOT;
        Invalidate();
      }
      return;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      if (IsEnabled() && ::PtInRect(&m_rcItem, event.ptMouse)) {
        m_uButtonState |= UISTATE_PUSHED | UISTATE_CAPTURED;
        Invalidate();
      }
      return;
    case UIEVENT_MOUSEMOVE:
      if (m_uButtonState & UISTATE_CAPTURED) {
        // Pressed look only while the pointer stays on the button.
        UINT state = m_uButtonState;
        if (::PtInRect(&m_rcItem, event.ptMouse))
          m_uButtonState |= UISTATE_PUSHED;
        else
          m_uButtonState &= ~UISTATE_PUSHED;
        if (state != m_uButtonState)
          Invalidate();
      }
      return;
    case UIEVENT_BUTTONUP:
      if (m_uButtonState & UISTATE_CAPTURED) {
        bool inside = ::PtInRect(&m_rcItem, event.ptMouse) != FALSE;
        m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
        Invalidate();
        if (inside)
          Activate();  // last: a notifier may change or remove this button
      }
      return;
    default:
      CLabelUI::DoEvent(event);
  }
}

LPCTSTR CButtonUI::GetNormalImage() {
  return m_sNormalImage;
}
void CButtonUI::SetNormalImage(LPCTSTR pStrImage) {
  m_sNormalImage = pStrImage;
  Invalidate();
}
LPCTSTR CButtonUI::GetHotImage() {
  return m_sHotImage;
}
void CButtonUI::SetHotImage(LPCTSTR pStrImage) {
  m_sHotImage = pStrImage;
  Invalidate();
}
LPCTSTR CButtonUI::GetPushedImage() {
  return m_sPushedImage;
}
void CButtonUI::SetPushedImage(LPCTSTR pStrImage) {
  m_sPushedImage = pStrImage;
  Invalidate();
}
LPCTSTR CButtonUI::GetDisabledImage() {
  return m_sDisabledImage;
}
void CButtonUI::SetDisabledImage(LPCTSTR pStrImage) {
  m_sDisabledImage = pStrImage;
  Invalidate();
}
void CButtonUI::SetHotTextColor(DWORD dwColor) {
  m_dwHotTextColor = dwColor;
}
void CButtonUI::SetPushedTextColor(DWORD dwColor) {
  m_dwPushedTextColor = dwColor;
}

void CButtonUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  CDuiString name(pstrName);
  if (name == L"normalimage")
    SetNormalImage(pstrValue);
  else if (name == L"hotimage")
    SetHotImage(pstrValue);
  else if (name == L"pushedimage")
    SetPushedImage(pstrValue);
  else if (name == L"disabledimage")
    SetDisabledImage(pstrValue);
  else if (name == L"hottextcolor")
    SetHotTextColor(ParseColor(pstrValue));
  else if (name == L"pushedtextcolor")
    SetPushedTextColor(ParseColor(pstrValue));
  else
    CLabelUI::SetAttribute(pstrName, pstrValue);
}

void CButtonUI::PaintStatusImage(HDC hDC) {
  // The most specific image of the state that exists; the normal image otherwise.
  if (!IsEnabled() && !m_sDisabledImage.IsEmpty() && DrawImage(hDC, m_sDisabledImage))
    return;
  if ((m_uButtonState & UISTATE_PUSHED) && !m_sPushedImage.IsEmpty() &&
      DrawImage(hDC, m_sPushedImage))
    return;
  if ((m_uButtonState & (UISTATE_HOT | UISTATE_PUSHED)) && !m_sHotImage.IsEmpty() &&
      DrawImage(hDC, m_sHotImage))
    return;
  if (!m_sNormalImage.IsEmpty())
    DrawImage(hDC, m_sNormalImage);
}

void CButtonUI::PaintText(HDC hDC) {
  DWORD color = m_dwTextColor;
  if ((m_uButtonState & UISTATE_PUSHED) && m_dwPushedTextColor)
    color = m_dwPushedTextColor;
  else if ((m_uButtonState & UISTATE_HOT) && m_dwHotTextColor)
    color = m_dwHotTextColor;
  else if (!IsEnabled() && m_dwDisabledTextColor)
    color = m_dwDisabledTextColor;
  DrawTextIn(hDC, m_rcItem, color);
}

// ---- progress ----

CProgressUI::CProgressUI() : m_bHorizontal(true), m_nMax(100), m_nMin(0), m_nValue(0) {
  m_uTextStyle = DT_SINGLELINE | DT_CENTER | DT_VCENTER;
}
LPCTSTR CProgressUI::GetClass() const {
  return L"ProgressUI";
}
LPVOID CProgressUI::GetInterface(LPCTSTR pstrName) {
  if (wcscmp(pstrName, DUI_CTR_PROGRESS) == 0)
    return this;
  return CLabelUI::GetInterface(pstrName);
}
bool CProgressUI::IsHorizontal() {
  return m_bHorizontal;
}
void CProgressUI::SetHorizontal(bool bHorizontal) {
  m_bHorizontal = bHorizontal;
  Invalidate();
}
int CProgressUI::GetMinValue() const {
  return m_nMin;
}
void CProgressUI::SetMinValue(int nMin) {
  m_nMin = nMin;
  Invalidate();
}
int CProgressUI::GetMaxValue() const {
  return m_nMax;
}
void CProgressUI::SetMaxValue(int nMax) {
  m_nMax = nMax;
  Invalidate();
}
int CProgressUI::GetValue() const {
  return m_nValue;
}
void CProgressUI::SetValue(int nValue) {
  m_nValue = nValue;
  Invalidate();
}
LPCTSTR CProgressUI::GetForeImage() const {
  return m_sForeImage;
}
void CProgressUI::SetForeImage(LPCTSTR pStrImage) {
  m_sForeImage = pStrImage;
  Invalidate();
}

void CProgressUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  CDuiString name(pstrName);
  if (name == L"foreimage")
    SetForeImage(pstrValue);
  else if (name == L"hor")
    SetHorizontal(ParseBool(pstrValue));
  else if (name == L"min")
    SetMinValue(ParseInt(pstrValue));
  else if (name == L"max")
    SetMaxValue(ParseInt(pstrValue));
  else if (name == L"value")
    SetValue(ParseInt(pstrValue));
  else
    CLabelUI::SetAttribute(pstrName, pstrValue);
}

void CProgressUI::PaintStatusImage(HDC hDC) {
  if (m_sForeImage.IsEmpty())
    return;
  int range = m_nMax > m_nMin ? m_nMax - m_nMin : 1;
  int value = m_nValue < m_nMin ? m_nMin : (m_nValue > m_nMax ? m_nMax : m_nValue);
  int width = m_rcItem.right - m_rcItem.left;
  int height = m_rcItem.bottom - m_rcItem.top;
  RECT part = {0, 0, width, height};
  if (m_bHorizontal)
    part.right = (value - m_nMin) * width / range;
  else
    part.top = height - (value - m_nMin) * height / range;
  if (part.right <= part.left || part.bottom <= part.top)
    return;
  // The covered part of the bar; without a source of its own the same part of the image.
  internal::ImageDescription desc;
  internal::ResetImageDescription(desc);
  internal::ParseImageDescription(m_sForeImage, desc);
  CDuiString modify;
  if (desc.hasSource)
    modify.Format(L"dest='%ld,%ld,%ld,%ld'", part.left, part.top, part.right, part.bottom);
  else
    modify.Format(L"dest='%ld,%ld,%ld,%ld' source='%ld,%ld,%ld,%ld'", part.left, part.top,
                  part.right, part.bottom, part.left, part.top, part.right, part.bottom);
  DrawImage(hDC, m_sForeImage, modify);
}

// ---- rich edit ----

CRichEditUI::CRichEditUI() : m_bReadOnly(false), m_iLimitText(1024), m_dwFocusBorderColor(0) {
  m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_LEFT;
  m_rcTextPadding = RECT{4, 0, 4, 0};
}
LPCTSTR CRichEditUI::GetClass() const {
  return L"RichEditUI";
}
LPVOID CRichEditUI::GetInterface(LPCTSTR pstrName) {
  if (wcscmp(pstrName, DUI_CTR_RICHEDIT) == 0)
    return this;
  return CLabelUI::GetInterface(pstrName);
}
void CRichEditUI::SetReadOnly(bool bReadOnly) {
  m_bReadOnly = bReadOnly;
}
bool CRichEditUI::IsReadOnly() const {
  return m_bReadOnly;
}
int CRichEditUI::GetLimitText() const {
  return m_iLimitText;
}
void CRichEditUI::SetLimitText(int iChars) {
  m_iLimitText = iChars;
}

void CRichEditUI::DoEvent(TEventUI& event) {
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      if (IsEnabled())
        SetFocus();
      return;
    case UIEVENT_CHAR: {
      if (m_bReadOnly || !IsEnabled())
        return;
      TCHAR ch = event.chKey;
      if (ch == L'\b') {
        if (!m_sText.IsEmpty())
          m_sText = m_sText.Left(m_sText.GetLength() - 1);
      } else if (ch >= 0x20 && m_sText.GetLength() < m_iLimitText) {
        m_sText += ch;
      } else {
        return;
      }
      Invalidate();
      if (m_pManager)
        m_pManager->SendNotify(this, DUI_MSGTYPE_TEXTCHANGED);
      return;
    }
    default:
      CLabelUI::DoEvent(event);
  }
}

void CRichEditUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  CDuiString name(pstrName);
  if (name == L"readonly")
    SetReadOnly(ParseBool(pstrValue));
  else if (name == L"maxchar")
    SetLimitText(ParseInt(pstrValue));
  else if (name == L"focusbordercolor")
    m_dwFocusBorderColor = ParseColor(pstrValue);
  else if (name == L"multiline" || name == L"wantreturn" || name == L"rich")
    ;  // one line of plain text is all this edit keeps
  else
    CLabelUI::SetAttribute(pstrName, pstrValue);
}

void CRichEditUI::PaintText(HDC hDC) {
  CLabelUI::PaintText(hDC);
  if (!m_bFocused || !m_pManager)
    return;
  // Caret after the text.
  HDC dc = hDC;
  int saved = ::SaveDC(dc);
  ::SelectObject(dc, m_pManager->GetFont(m_iFont));
  SIZE extent = {0, 0};
  ::GetTextExtentPoint32W(dc, m_sText.GetData(), m_sText.GetLength(), &extent);
  ::RestoreDC(dc, saved);
  int x = m_rcItem.left + m_rcTextPadding.left + extent.cx + 1;
  int h = m_pManager->GetFontInfo(m_iFont)->tm.tmHeight;
  if (h <= 0)
    h = 14;
  int top = (m_rcItem.top + m_rcItem.bottom - h) / 2;
  RECT caret = {x, top, x + 1, top + h};
  RECT visible;
  DWORD color = m_dwTextColor ? m_dwTextColor : m_pManager->GetDefaultFontColor();
  if (::IntersectRect(&visible, &caret, &m_rcPaint))
    internal::FillColor(hDC, visible, color | 0xFF000000);
}

void CRichEditUI::PaintBorder(HDC hDC) {
  DWORD saved = m_dwBorderColor;
  if (m_bFocused && m_dwFocusBorderColor)
    m_dwBorderColor = m_dwFocusBorderColor;
  CLabelUI::PaintBorder(hDC);
  m_dwBorderColor = saved;
}

}  // namespace DuiLib
