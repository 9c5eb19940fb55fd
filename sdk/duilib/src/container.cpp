// Containers and the two linear layouts.
#include "internal.h"

namespace DuiLib {

using internal::ParseBool;
using internal::ParseInt;
using internal::ParseRect;

CContainerUI::CContainerUI()
    : m_items(NULL), m_count(0), m_capacity(0), m_iChildPadding(0), m_bMouseChildEnabled(true) {
  m_rcInset = RECT{0, 0, 0, 0};
}

CContainerUI::~CContainerUI() {
  RemoveAll();
  delete[] m_items;
}

LPCTSTR CContainerUI::GetClass() const {
  return L"ContainerUI";
}

LPVOID CContainerUI::GetInterface(LPCTSTR pstrName) {
  if (wcscmp(pstrName, DUI_CTR_CONTAINER) == 0)
    return this;
  return CControlUI::GetInterface(pstrName);
}

CControlUI* CContainerUI::GetItemAt(int iIndex) const {
  return iIndex >= 0 && iIndex < m_count ? m_items[iIndex] : NULL;
}

int CContainerUI::GetItemIndex(CControlUI* pControl) const {
  for (int i = 0; i < m_count; ++i)
    if (m_items[i] == pControl)
      return i;
  return -1;
}

int CContainerUI::GetCount() const {
  return m_count;
}

bool CContainerUI::Add(CControlUI* pControl) {
  return AddAt(pControl, m_count);
}

bool CContainerUI::AddAt(CControlUI* pControl, int iIndex) {
  if (!pControl || iIndex < 0 || iIndex > m_count)
    return false;
  if (m_count == m_capacity) {
    int capacity = m_capacity * 2 + 4;
    CControlUI** items = new CControlUI*[capacity];
    for (int i = 0; i < m_count; ++i)
      items[i] = m_items[i];
    delete[] m_items;
    m_items = items;
    m_capacity = capacity;
  }
  for (int i = m_count; i > iIndex; --i)
    m_items[i] = m_items[i - 1];
  m_items[iIndex] = pControl;
  ++m_count;
  if (m_pManager)
    m_pManager->InitControls(pControl, this);
  else
    pControl->SetManager(NULL, this, false);
  pControl->SetInternVisible(IsVisible());
  NeedUpdate();
  return true;
}

bool CContainerUI::Remove(CControlUI* pControl) {
  int index = GetItemIndex(pControl);
  if (index < 0)
    return false;
  for (int i = index; i < m_count - 1; ++i)
    m_items[i] = m_items[i + 1];
  --m_count;
  delete pControl;
  NeedUpdate();
  return true;
}

void CContainerUI::RemoveAll() {
  while (m_count > 0) {
    CControlUI* last = m_items[--m_count];
    delete last;
  }
}

RECT CContainerUI::GetInset() const {
  return m_rcInset;
}
void CContainerUI::SetInset(RECT rcInset) {
  m_rcInset = rcInset;
  NeedUpdate();
}
int CContainerUI::GetChildPadding() const {
  return m_iChildPadding;
}
void CContainerUI::SetChildPadding(int iPadding) {
  m_iChildPadding = iPadding;
  NeedUpdate();
}
void CContainerUI::SetMouseChildEnabled(bool bEnable) {
  m_bMouseChildEnabled = bEnable;
}
bool CContainerUI::IsMouseChildEnabled() const {
  return m_bMouseChildEnabled;
}

void CContainerUI::SetVisible(bool bVisible) {
  CControlUI::SetVisible(bVisible);
  for (int i = 0; i < m_count; ++i)
    m_items[i]->SetInternVisible(IsVisible());
}

void CContainerUI::SetInternVisible(bool bVisible) {
  CControlUI::SetInternVisible(bVisible);
  for (int i = 0; i < m_count; ++i)
    m_items[i]->SetInternVisible(IsVisible());
}

void CContainerUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
  for (int i = 0; i < m_count; ++i)
    m_items[i]->SetManager(pManager, this, bInit);
  CControlUI::SetManager(pManager, pParent, bInit);
}

RECT CContainerUI::InnerRect(RECT rc) const {
  rc.left += m_rcInset.left;
  rc.top += m_rcInset.top;
  rc.right -= m_rcInset.right;
  rc.bottom -= m_rcInset.bottom;
  if (rc.right < rc.left)
    rc.right = rc.left;
  if (rc.bottom < rc.top)
    rc.bottom = rc.top;
  return rc;
}

void CContainerUI::SetFloatPos(int iIndex) {
  CControlUI* control = m_items[iIndex];
  SIZE xy = control->GetFixedXY();
  int cx = control->GetFixedWidth();
  int cy = control->GetFixedHeight();
  RECT rc = {m_rcItem.left + xy.cx, m_rcItem.top + xy.cy, m_rcItem.left + xy.cx + cx,
             m_rcItem.top + xy.cy + cy};
  control->SetPos(rc, false);
}

void CContainerUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CControlUI::SetPos(rc, bNeedInvalidate);
  RECT inner = InnerRect(rc);
  // Children lie on top of each other, each filling the inner rectangle (or its fixed size).
  for (int i = 0; i < m_count; ++i) {
    CControlUI* child = m_items[i];
    if (!child->IsVisible())
      continue;
    if (child->IsFloat()) {
      SetFloatPos(i);
      continue;
    }
    RECT pad = child->GetPadding();
    RECT place = {inner.left + pad.left, inner.top + pad.top, inner.right - pad.right,
                  inner.bottom - pad.bottom};
    SIZE sz = child->EstimateSize(SIZE{place.right - place.left, place.bottom - place.top});
    if (sz.cx > 0 && place.left + sz.cx < place.right)
      place.right = place.left + sz.cx;
    if (sz.cy > 0 && place.top + sz.cy < place.bottom)
      place.bottom = place.top + sz.cy;
    child->SetPos(place, false);
  }
}

void CContainerUI::DoPaint(HDC hDC, const RECT& rcPaint) {
  RECT paint;
  if (!::IntersectRect(&paint, &rcPaint, &m_rcItem))
    return;
  CControlUI::DoPaint(hDC, rcPaint);
  if (m_count == 0)
    return;
  int saved = ::SaveDC(hDC);
  ::IntersectClipRect(hDC, paint.left, paint.top, paint.right, paint.bottom);
  for (int i = 0; i < m_count; ++i) {
    CControlUI* child = m_items[i];
    if (!child->IsVisible())
      continue;
    RECT childPaint;
    if (::IntersectRect(&childPaint, &paint, &child->GetPos()))
      child->DoPaint(hDC, childPaint);
  }
  ::RestoreDC(hDC, saved);
}

void CContainerUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
  if (wcscmp(pstrName, L"inset") == 0)
    SetInset(ParseRect(pstrValue));
  else if (wcscmp(pstrName, L"childpadding") == 0)
    SetChildPadding(ParseInt(pstrValue));
  else if (wcscmp(pstrName, L"mousechild") == 0)
    SetMouseChildEnabled(ParseBool(pstrValue));
  else
    CControlUI::SetAttribute(pstrName, pstrValue);
}

CControlUI* CContainerUI::FindControlAt(POINT pt) {
  if (!IsVisible() || !::PtInRect(&m_rcItem, pt))
    return NULL;
  if (m_bMouseChildEnabled) {
    // The last child is drawn on top: ask it first.
    for (int i = m_count - 1; i >= 0; --i) {
      CControlUI* found = m_items[i]->FindControlAt(pt);
      if (found)
        return found;
    }
  }
  return IsMouseEnabled() ? this : NULL;
}

CControlUI* CContainerUI::FindControlByName(LPCTSTR pstrName) {
  if (m_sName == pstrName)
    return this;
  for (int i = 0; i < m_count; ++i) {
    CControlUI* found = m_items[i]->FindControlByName(pstrName);
    if (found)
      return found;
  }
  return NULL;
}

// ---- layouts ----

CVerticalLayoutUI::CVerticalLayoutUI() {}

LPCTSTR CVerticalLayoutUI::GetClass() const {
  return L"VerticalLayoutUI";
}

LPVOID CVerticalLayoutUI::GetInterface(LPCTSTR pstrName) {
  if (wcscmp(pstrName, DUI_CTR_VERTICALLAYOUT) == 0)
    return this;
  return CContainerUI::GetInterface(pstrName);
}

void CVerticalLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CControlUI::SetPos(rc, bNeedInvalidate);
  RECT inner = InnerRect(rc);
  int available = inner.bottom - inner.top;
  // First pass: fixed heights, paddings and how many children share the rest.
  int fixed = 0, adjustable = 0, placed = 0;
  for (int i = 0; i < m_count; ++i) {
    CControlUI* child = m_items[i];
    if (!child->IsVisible() || child->IsFloat())
      continue;
    SIZE sz = child->EstimateSize(SIZE{inner.right - inner.left, available});
    RECT pad = child->GetPadding();
    fixed += pad.top + pad.bottom + (placed > 0 ? m_iChildPadding : 0);
    if (sz.cy > 0)
      fixed += sz.cy;
    else
      ++adjustable;
    ++placed;
  }
  int rest = available - fixed;
  if (rest < 0)
    rest = 0;
  int y = inner.top;
  int shared = 0;
  placed = 0;
  for (int i = 0; i < m_count; ++i) {
    CControlUI* child = m_items[i];
    if (!child->IsVisible())
      continue;
    if (child->IsFloat()) {
      SetFloatPos(i);
      continue;
    }
    if (placed++ > 0)
      y += m_iChildPadding;
    SIZE sz = child->EstimateSize(SIZE{inner.right - inner.left, available});
    RECT pad = child->GetPadding();
    int height = sz.cy;
    if (height <= 0) {
      ++shared;
      height =
          shared == adjustable ? rest - (rest / adjustable) * (adjustable - 1) : rest / adjustable;
    }
    int left = inner.left + pad.left;
    int right = sz.cx > 0 ? left + sz.cx : inner.right - pad.right;
    if (right > inner.right - pad.right && sz.cx <= 0)
      right = inner.right - pad.right;
    y += pad.top;
    child->SetPos(RECT{left, y, right, y + height}, false);
    y += height + pad.bottom;
  }
}

CHorizontalLayoutUI::CHorizontalLayoutUI() {}

LPCTSTR CHorizontalLayoutUI::GetClass() const {
  return L"HorizontalLayoutUI";
}

LPVOID CHorizontalLayoutUI::GetInterface(LPCTSTR pstrName) {
  if (wcscmp(pstrName, DUI_CTR_HORIZONTALLAYOUT) == 0)
    return this;
  return CContainerUI::GetInterface(pstrName);
}

void CHorizontalLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) {
  CControlUI::SetPos(rc, bNeedInvalidate);
  RECT inner = InnerRect(rc);
  int available = inner.right - inner.left;
  int fixed = 0, adjustable = 0, placed = 0;
  for (int i = 0; i < m_count; ++i) {
    CControlUI* child = m_items[i];
    if (!child->IsVisible() || child->IsFloat())
      continue;
    SIZE sz = child->EstimateSize(SIZE{available, inner.bottom - inner.top});
    RECT pad = child->GetPadding();
    fixed += pad.left + pad.right + (placed > 0 ? m_iChildPadding : 0);
    if (sz.cx > 0)
      fixed += sz.cx;
    else
      ++adjustable;
    ++placed;
  }
  int rest = available - fixed;
  if (rest < 0)
    rest = 0;
  int x = inner.left;
  int shared = 0;
  placed = 0;
  for (int i = 0; i < m_count; ++i) {
    CControlUI* child = m_items[i];
    if (!child->IsVisible())
      continue;
    if (child->IsFloat()) {
      SetFloatPos(i);
      continue;
    }
    if (placed++ > 0)
      x += m_iChildPadding;
    SIZE sz = child->EstimateSize(SIZE{available, inner.bottom - inner.top});
    RECT pad = child->GetPadding();
    int width = sz.cx;
    if (width <= 0) {
      ++shared;
      width =
          shared == adjustable ? rest - (rest / adjustable) * (adjustable - 1) : rest / adjustable;
    }
    int top = inner.top + pad.top;
    int bottom = sz.cy > 0 ? top + sz.cy : inner.bottom - pad.bottom;
    x += pad.left;
    child->SetPos(RECT{x, top, x + width, bottom}, false);
    x += width + pad.right;
  }
}

}  // namespace DuiLib
