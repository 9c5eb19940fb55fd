// Base of the client's skinned windows over the UI library's plain window class: one paint
// manager per window, a creation hook, a custom-message hook and the default dispatch that
// offers every message to the paint manager before the system's handling.
#pragma once

#include <windows.h>

#include "toolkit/ui_library.h"

class CWindowBase : public DuiLib::CWindowWnd,
                    public DuiLib::INotifyUI,
                    public DuiLib::IDialogBuilderCallback {
 public:
  CWindowBase() = default;
  ~CWindowBase() override = default;
  CWindowBase(const CWindowBase&) = delete;
  CWindowBase& operator=(const CWindowBase&) = delete;

  // Skins use only the library's own control classes.
  DuiLib::CControlUI* CreateControl(LPCTSTR pstrClass) override { return nullptr; }
  void Notify(DuiLib::TNotifyUI& msg) override {}

  DuiLib::CPaintManagerUI& PaintManager() { return m_PaintManager; }

 protected:
  UINT GetClassStyle() const override { return CS_DBLCLKS; }
  // WM_CREATE goes to OnCreate; then HandleCustomMessage, the paint manager and the system.
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  void OnFinalMessage(HWND hWnd) override {}

  virtual void InitWindow() {}
  virtual LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

  DuiLib::CPaintManagerUI m_PaintManager;
};
