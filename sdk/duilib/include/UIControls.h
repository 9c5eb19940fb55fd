// Leaf controls: label, text, button, progress bar and a small rich edit.
#pragma once

#include "UIControl.h"

namespace DuiLib {

class DUILIB_API CLabelUI : public CControlUI {
 public:
  CLabelUI();
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;

  void SetTextStyle(UINT uStyle);
  UINT GetTextStyle() const;
  void SetTextColor(DWORD dwTextColor);
  DWORD GetTextColor() const;
  void SetDisabledTextColor(DWORD dwTextColor);
  void SetFont(int index);
  int GetFont() const;
  RECT GetTextPadding() const;
  void SetTextPadding(RECT rc);

  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void PaintText(HDC hDC) override;

 protected:
  void DrawTextIn(HDC hDC, RECT rc, DWORD dwColor);

  DWORD m_dwTextColor;
  DWORD m_dwDisabledTextColor;
  int m_iFont;
  UINT m_uTextStyle;
  RECT m_rcTextPadding;
};

class DUILIB_API CTextUI : public CLabelUI {
 public:
  CTextUI();
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;
};

class DUILIB_API CButtonUI : public CLabelUI {
 public:
  CButtonUI();
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;

  // Raises "click" to the window's notifiers.
  virtual bool Activate();
  void SetEnabled(bool bEnable = true) override;
  void DoEvent(TEventUI& event) override;

  LPCTSTR GetNormalImage();
  void SetNormalImage(LPCTSTR pStrImage);
  LPCTSTR GetHotImage();
  void SetHotImage(LPCTSTR pStrImage);
  LPCTSTR GetPushedImage();
  void SetPushedImage(LPCTSTR pStrImage);
  LPCTSTR GetDisabledImage();
  void SetDisabledImage(LPCTSTR pStrImage);
  void SetHotTextColor(DWORD dwColor);
  void SetPushedTextColor(DWORD dwColor);
  UINT GetButtonState() const { return m_uButtonState; }

  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void PaintText(HDC hDC) override;
  void PaintStatusImage(HDC hDC) override;

 protected:
  UINT m_uButtonState;
  DWORD m_dwHotTextColor;
  DWORD m_dwPushedTextColor;
  CDuiString m_sNormalImage;
  CDuiString m_sHotImage;
  CDuiString m_sPushedImage;
  CDuiString m_sDisabledImage;
};

class DUILIB_API CProgressUI : public CLabelUI {
 public:
  CProgressUI();
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;

  bool IsHorizontal();
  void SetHorizontal(bool bHorizontal = true);
  int GetMinValue() const;
  void SetMinValue(int nMin);
  int GetMaxValue() const;
  void SetMaxValue(int nMax);
  int GetValue() const;
  void SetValue(int nValue);
  LPCTSTR GetForeImage() const;
  // An image description; its "source" (if any) is the part of the image drawn, its width the
  // part of the bar covered by the current value.
  void SetForeImage(LPCTSTR pStrImage);

  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void PaintStatusImage(HDC hDC) override;

 protected:
  bool m_bHorizontal;
  int m_nMax;
  int m_nMin;
  int m_nValue;
  CDuiString m_sForeImage;
};

// Single-line edit field drawn by the library: takes the focus, keeps and shows its text.
class DUILIB_API CRichEditUI : public CLabelUI {
 public:
  CRichEditUI();
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;

  void SetReadOnly(bool bReadOnly = true);
  bool IsReadOnly() const;
  int GetLimitText() const;
  void SetLimitText(int iChars);

  void DoEvent(TEventUI& event) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  void PaintText(HDC hDC) override;
  void PaintBorder(HDC hDC) override;

 protected:
  bool m_bReadOnly;
  int m_iLimitText;
  DWORD m_dwFocusBorderColor;
};

}  // namespace DuiLib
