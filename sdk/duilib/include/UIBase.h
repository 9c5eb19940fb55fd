// Window base class and the callback interfaces a window implements.
#pragma once

#include "UIDefine.h"

namespace DuiLib {

#define UI_WNDSTYLE_FRAME (WS_VISIBLE | WS_OVERLAPPEDWINDOW)
#define UI_WNDSTYLE_DIALOG \
  (WS_VISIBLE | WS_POPUPWINDOW | WS_CAPTION | WS_DLGFRAME | WS_CLIPSIBLINGS | WS_CLIPCHILDREN)
#define UI_CLASSSTYLE_FRAME (CS_VREDRAW | CS_HREDRAW)
#define UI_CLASSSTYLE_DIALOG (CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS)

// Receives the notifications ("click", ...) of a window's controls.
class DUILIB_API INotifyUI {
 public:
  virtual void Notify(TNotifyUI& msg) = 0;
};

// Sees a window's messages before the paint manager handles them.
class DUILIB_API IMessageFilterUI {
 public:
  virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;
};

// Creates the controls of class names the library does not know while a skin is built.
class DUILIB_API IDialogBuilderCallback {
 public:
  virtual CControlUI* CreateControl(LPCTSTR pstrClass) = 0;
};

// Base of windows that route notifications; kept for the shape of WindowImplBase.
class DUILIB_API CNotifyPump {
 public:
  virtual ~CNotifyPump() {}
};

// A window whose messages go to the virtual HandleMessage of the object.
class DUILIB_API CWindowWnd {
 public:
  CWindowWnd();

  HWND GetHWND() const;
  operator HWND() const;

  bool RegisterWindowClass();
  bool RegisterSuperclass();

  HWND Create(HWND hwndParent,
              LPCTSTR pstrName,
              DWORD dwStyle,
              DWORD dwExStyle,
              const RECT rc,
              HMENU hMenu = NULL);
  HWND Create(HWND hwndParent,
              LPCTSTR pstrName,
              DWORD dwStyle,
              DWORD dwExStyle,
              int x = CW_USEDEFAULT,
              int y = CW_USEDEFAULT,
              int cx = CW_USEDEFAULT,
              int cy = CW_USEDEFAULT,
              HMENU hMenu = NULL);

  void ShowWindow(bool bShow = true, bool bTakeFocus = true);
  // Shows the window and runs a nested message loop until it is destroyed; returns the code
  // given to Close.
  UINT ShowModal();
  // Posts WM_CLOSE with the code; may be called from any thread.
  void Close(UINT nRet = IDOK);
  void CenterWindow();
  void SetIcon(UINT nRes);

  LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0L);
  LRESULT PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0L);
  void ResizeClient(int cx = -1, int cy = -1);

 protected:
  // Virtual operations, in this order.
  virtual LPCTSTR GetWindowClassName() const = 0;
  virtual LPCTSTR GetSuperClassName() const;
  virtual UINT GetClassStyle() const;
  virtual void PreClose(UINT nRet);  // called by Close before WM_CLOSE is posted
  virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
  virtual void OnFinalMessage(HWND hWnd);

 public:
  virtual ~CWindowWnd();

 protected:
  static LRESULT CALLBACK __WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

  HWND m_hWnd;
  WNDPROC m_OldWndProc;
  bool m_bCreated;  // WM_CREATE reached HandleMessage; earlier messages go to the default
};

}  // namespace DuiLib
