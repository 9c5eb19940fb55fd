// Containers: children stacked on each other (container), in a column or in a row (layouts).
#pragma once

#include "UIControl.h"

namespace DuiLib {

class DUILIB_API CContainerUI : public CControlUI {
 public:
  CContainerUI();
  ~CContainerUI() override;

  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;

  CControlUI* GetItemAt(int iIndex) const;
  int GetItemIndex(CControlUI* pControl) const;
  int GetCount() const;
  bool Add(CControlUI* pControl);
  bool AddAt(CControlUI* pControl, int iIndex);
  bool Remove(CControlUI* pControl);  // deletes the control
  void RemoveAll();

  virtual RECT GetInset() const;
  virtual void SetInset(RECT rcInset);
  virtual int GetChildPadding() const;
  virtual void SetChildPadding(int iPadding);
  virtual void SetMouseChildEnabled(bool bEnable = true);
  virtual bool IsMouseChildEnabled() const;

  void SetVisible(bool bVisible = true) override;
  void SetInternVisible(bool bVisible = true) override;
  void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
  void DoPaint(HDC hDC, const RECT& rcPaint) override;
  void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
  CControlUI* FindControlAt(POINT pt) override;
  CControlUI* FindControlByName(LPCTSTR pstrName) override;

 protected:
  // Places the floating children relative to this container.
  void SetFloatPos(int iIndex);
  RECT InnerRect(RECT rc) const;

  CControlUI** m_items;
  int m_count;
  int m_capacity;
  RECT m_rcInset;
  int m_iChildPadding;
  bool m_bMouseChildEnabled;
};

class DUILIB_API CVerticalLayoutUI : public CContainerUI {
 public:
  CVerticalLayoutUI();
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
};

class DUILIB_API CHorizontalLayoutUI : public CContainerUI {
 public:
  CHorizontalLayoutUI();
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR pstrName) override;
  void SetPos(RECT rc, bool bNeedInvalidate = true) override;
};

}  // namespace DuiLib
