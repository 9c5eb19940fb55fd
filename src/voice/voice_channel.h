// The voice window's channel work, apart from the window class itself: joining and leaving the
// voice channel, placing the window over its owner, and handling the engine's event messages.
// Everything here runs on the UI thread.
#pragma once

#include <windows.h>

#include "IAgoraRtcEngine.h"
#include "diagnostics/thread_check.h"
#include "voice/join_params.h"

// The voice window's place over its owner, the main window: this far from the owner's client
// origin, at this size.
constexpr int kVoiceWndLeft = 476;
constexpr int kVoiceWndTop = 90;
constexpr int kVoiceWndWidth = 480;
constexpr int kVoiceWndHeight = 360;

class CVoiceChannel {
 public:
  CVoiceChannel() = default;
  // Gives the audio device manager back to the engine.
  ~CVoiceChannel();
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
  // The steps of a join.
  bool HasMicrophone(agora::rtc::IRtcEngine* engine);
  void SetDirect2DRendering(agora::rtc::IRtcEngine* engine);
  int JoinEngineChannel(agora::rtc::IRtcEngine* engine, const JoinParams& params);

  // One handler per engine event; each takes the record posted with it.
  void OnJoinSuccess(WPARAM wParam);
  void OnRejoinSuccess(WPARAM wParam);
  void OnEngineError(WPARAM wParam);
  void OnFirstLocalFrame(WPARAM wParam);
  void OnFirstRemoteFrame(WPARAM wParam);
  void OnUserOffline(WPARAM wParam);
  void OnStreamPublishState(bool published, WPARAM wParam);

  ThreadCheck m_thread;  // the UI thread, which creates the voice window
  HWND m_window = nullptr;
  HWND m_ownerWnd = nullptr;
  int m_requestedCid = 0;
  agora::rtc::IAudioDeviceManager* m_audioDeviceManager = nullptr;  // kept between joins
};
