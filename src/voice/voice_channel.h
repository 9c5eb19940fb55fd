// The voice window's channel work, apart from the window class itself: joining and leaving the
// voice channel, placing the window over its owner, and handling the engine's event messages.
// Everything here runs on the UI thread.
#pragma once

#include <windows.h>

#include "IAgoraRtcEngine.h"
#include "voice/join_params.h"

class CVoiceChannel {
 public:
  CVoiceChannel() = default;
  CVoiceChannel(const CVoiceChannel&) = delete;
  CVoiceChannel& operator=(const CVoiceChannel&) = delete;

  // The voice window itself (event receiver, video view) and its owner, the main window.
  void SetWindow(HWND window) { m_window = window; }
  HWND GetWindow() const { return m_window; }
  void SetOwnerWindow(HWND owner) { m_ownerWnd = owner; }
  HWND GetOwnerWindow() const { return m_ownerWnd; }
  int GetRequestedCid() const { return m_requestedCid; }

  // 0 accepted, 1 no microphone, 2 refused by the engine, 65535 no request or cid below 1.
  int JoinChannel(const JoinParams* params);
  void LeaveChannel();
  // Shows the window topmost at the owner's client origin + (476, 90), 480 x 360, or hides it.
  void ShowOnOwner(HWND owner, bool show);
  // Handles one of the engine's event messages (true), or leaves the message alone (false).
  bool HandleEngineEvent(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  HWND m_window = nullptr;
  HWND m_ownerWnd = nullptr;
  int m_requestedCid = 0;
  agora::rtc::IAudioDeviceManager* m_audioDeviceManager = nullptr;  // kept between joins
};
