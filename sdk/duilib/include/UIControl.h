// The base control: position, attributes, background, text, visibility, focus and painting.
#pragma once

#include "UIDefine.h"

namespace DuiLib {

class DUILIB_API CControlUI {
 public:
  CControlUI();
  virtual ~CControlUI();

  virtual CDuiString GetName() const;
  virtual void SetName(LPCTSTR pstrName);
  virtual LPCTSTR GetClass() const;
  virtual LPVOID GetInterface(LPCTSTR pstrName);

  virtual CPaintManagerUI* GetManager() const;
  virtual void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true);
  virtual CControlUI* GetParent() const;

  // Text and tooltip.
  virtual CDuiString GetText() const;
  virtual void SetText(LPCTSTR pstrText);
  virtual CDuiString GetToolTip() const;
  virtual void SetToolTip(LPCTSTR pstrText);

  // Background and border.
  DWORD GetBkColor() const;
  void SetBkColor(DWORD dwBackColor);
  LPCTSTR GetBkImage();
  void SetBkImage(LPCTSTR pStrImage);
  void SetBorderColor(DWORD dwBorderColor);
  void SetBorderSize(int nSize);

  // Position: the rectangle in the window's client coordinates after layout.
  virtual const RECT& GetPos() const;
  virtual void SetPos(RECT rc, bool bNeedInvalidate = true);
  virtual int GetWidth() const;
  virtual int GetHeight() const;
  virtual RECT GetPadding() const;
  virtual void SetPadding(RECT rcPadding);
  virtual SIZE GetFixedXY() const;
  virtual void SetFixedXY(SIZE szXY);
  virtual int GetFixedWidth() const;
  virtual void SetFixedWidth(int cx);
  virtual int GetFixedHeight() const;
  virtual void SetFixedHeight(int cy);
  virtual bool IsFloat() const;
  virtual void SetFloat(bool bFloat = true);
  // Fixed size wanted by the control (0 = stretch); layouts ask it.
  virtual SIZE EstimateSize(SIZE szAvailable);

  // State.
  virtual bool IsVisible() const;
  virtual void SetVisible(bool bVisible = true);
  virtual void SetInternVisible(bool bVisible = true);  // visibility of the parents
  virtual bool IsEnabled() const;
  virtual void SetEnabled(bool bEnable = true);
  virtual bool IsMouseEnabled() const;
  virtual void SetMouseEnabled(bool bEnable = true);
  virtual bool IsFocused() const;
  virtual void SetFocus();

  // Tree search.
  virtual CControlUI* FindControlAt(POINT pt);
  virtual CControlUI* FindControlByName(LPCTSTR pstrName);

  void Invalidate();
  bool IsUpdateNeeded() const;
  void NeedUpdate();
  void NeedParentUpdate();

  virtual void Init();
  virtual void DoInit();
  virtual void Event(TEventUI& event);
  virtual void DoEvent(TEventUI& event);

  virtual void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue);
  CControlUI* ApplyAttributeList(LPCTSTR pstrList);

  // Painting into any device context, clipped to rcPaint.
  virtual void DoPaint(HDC hDC, const RECT& rcPaint);
  virtual void PaintBkColor(HDC hDC);
  virtual void PaintBkImage(HDC hDC);
  virtual void PaintStatusImage(HDC hDC);
  virtual void PaintText(HDC hDC);
  virtual void PaintBorder(HDC hDC);

  // Draws an image description into this control's rectangle; false when the image is missing.
  bool DrawImage(HDC hDC, LPCTSTR pStrImage, LPCTSTR pStrModify = NULL);

 protected:
  CPaintManagerUI* m_pManager;
  CControlUI* m_pParent;
  CDuiString m_sName;
  CDuiString m_sText;
  CDuiString m_sToolTip;
  CDuiString m_sBkImage;
  bool m_bUpdateNeeded;
  bool m_bVisible;
  bool m_bInternVisible;
  bool m_bEnabled;
  bool m_bMouseEnabled;
  bool m_bFocused;
  bool m_bFloat;
  RECT m_rcItem;
  RECT m_rcPadding;
  SIZE m_cXY;
  SIZE m_cxyFixed;
  RECT m_rcFloat;  // "pos" of a floating control, relative to its parent
  RECT m_rcPaint;
  DWORD m_dwBackColor;
  DWORD m_dwBorderColor;
  int m_nBorderSize;
};

}  // namespace DuiLib
