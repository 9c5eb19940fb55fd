// The update window: a small always-on-top progress strip over the game's window. It runs the
// update procedure on a worker thread as soon as it exists, shows the download percentage, keeps
// a failure text on screen for three seconds, passes the procedure's retry notifications on to
// the game, and closes when the procedure ends.
#pragma once

#include <windows.h>

#include <string>

#include "common/scoped_handle.h"
#include "toolkit/ui_library.h"

class CUpdateWnd : public DuiLib::WindowImplBase {
 public:
  // `procedure` runs on the worker thread with the window's handle; RunUpdate unless a test
  // gives another.
  explicit CUpdateWnd(HWND gameWnd, int (*procedure)(HWND) = nullptr);

  // The procedure's result, 1 after a failure shown by the window; read after ShowModal.
  int Result() const { return m_result; }
  // Waits until the worker has ended: a window closed from outside must not end the process
  // (or this object) under a running installation.
  void WaitForWorker();

  // WindowImplBase
  LPCTSTR GetWindowClassName() const override;
  UINT GetClassStyle() const override;
  DuiLib::CDuiString GetSkinFolder() override;
  DuiLib::CDuiString GetSkinFile() override;
  LRESULT OnNcActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;

 private:
  friend DWORD WINAPI UpdateThreadProc(LPVOID parameter);

  DuiLib::CLabelUI* m_progressTip = nullptr;
  DuiLib::CProgressUI* m_progressBar = nullptr;
  HWND m_gameWnd = nullptr;
  int (*m_procedure)(HWND) = nullptr;
  zarvik::ScopedHandle m_worker;
  volatile LONG m_result = 0;  // written by the worker before it posts or closes
};

// The worker thread: runs the procedure and ends the window with its outcome.
DWORD WINAPI UpdateThreadProc(LPVOID parameter);

// Creates the update window over `gameWnd`, runs it modally and returns its result.
int ShowUpdateWindow(HWND gameWnd);

// "file='ver_update_fg.png' source='0,0,<percent * 264 / 100>,22'"
std::wstring ProgressForeImage(int percent);
