// The voice window: a small top-level pop-up beside the main window that drives the voice
// engine. It is created hidden at start-up, joins and leaves the channel on the main window's
// request, receives the engine's events and shows the remote user's video.
#pragma once

#include <windows.h>

#include <functional>

#include "toolkit/ui_library.h"
#include "voice/join_params.h"
#include "voice/voice_channel.h"

class CVCastWnd : public DuiLib::WindowImplBase {
 public:
  // Sets the voice engine up (initialise, audio, video, log file, profile, role).
  CVCastWnd();

  // The main window: target of WM_VOICE_CLOSE_MIC and reference for the window's position.
  void SetOwnerWindow(HWND owner) { m_channel.SetOwnerWindow(owner); }
  HWND GetOwnerWindow() const { return m_channel.GetOwnerWindow(); }
  int GetRequestedCid() const { return m_channel.GetRequestedCid(); }

  // Called on the UI thread just before the object deletes itself (its window was destroyed:
  // Alt+F4, WM_CLOSE, or its owner going away), so a holder can drop its pointer. Empty: none.
  void SetGoneCallback(std::function<void(CVCastWnd*)> gone) { m_gone = std::move(gone); }

  // Channel control, on the UI thread. wParam is not used.
  int JoinChannel(WPARAM wParam, const JoinParams* params);
  void LeaveChannel();
  void ShowOnOwner(HWND owner, bool show);

  // CWindowWnd / WindowImplBase, in slot order.
  LPCTSTR GetWindowClassName() const override;
  UINT GetClassStyle() const override;
  void OnFinalMessage(HWND hWnd) override;
  void InitWindow() override;
  LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT OnNcActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT OnLButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT OnLButtonUp(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT OnMouseMove(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;

 protected:
  DuiLib::CDuiString GetSkinFolder() override;
  DuiLib::CDuiString GetSkinFile() override;

 private:
  ~CVCastWnd() override = default;  // only OnFinalMessage deletes it

  CVoiceChannel m_channel;
  std::function<void(CVCastWnd*)> m_gone;
};

// Start-up's voice window: a new CVCastWnd created with the desktop as parent, named "视频",
// style 0x90880000, owned by mainWindow, then placed topmost at the main window's client origin
// + (476, 90), 480 x 360 and hidden. Returns the window object (it deletes itself when its
// window is destroyed).
CVCastWnd* CreateVoiceWindow(HWND mainWindow);
