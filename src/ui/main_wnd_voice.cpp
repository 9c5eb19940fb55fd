// Main window: the calls into the voice window. While the slot is empty a join request
// answers 0 and nothing else happens. The voice window deletes itself when its window is
// destroyed (Alt+F4 while it has the focus, a WM_CLOSE from anywhere), so it tells the main
// window, which empties the slot; a join after that is refused and logged.
#include "diagnostics/log.h"
#include "ui/main_wnd.h"
#include "voice/join_params.h"
#include "voice/vcast_wnd.h"

void CMainWnd::SetVoiceWnd(CVCastWnd* voiceWnd) {
  if (m_voiceWnd && m_voiceWnd != voiceWnd)
    m_voiceWnd->SetGoneCallback(nullptr);
  m_voiceWnd = voiceWnd;
  m_voiceWndGone = false;
  if (!voiceWnd)
    return;
  voiceWnd->SetGoneCallback([this](CVCastWnd* gone) {
    if (m_voiceWnd != gone)
      return;
    m_voiceWnd = nullptr;
    m_voiceWndGone = true;
    LogLine(INFO, "the voice window was destroyed; the voice channel is no longer available.");
  });
}

int CMainWnd::JoinVoiceChannel(const JoinTextFields& fields) {
  if (!m_voiceWnd) {
    if (!m_voiceWndGone)
      return 0;
    LogLine(ERROR, "join refused: the voice window was closed.");
    return kJoinRefused;
  }
  // The block lives only for the call; the voice window keeps nothing of it.
  std::unique_ptr<JoinParams> params = MakeJoinParams(fields);
  return m_voiceWnd->JoinChannel(0, params.get());
}

void CMainWnd::LeaveVoiceChannel() {
  if (m_voiceWnd)
    m_voiceWnd->LeaveChannel();
}

bool CMainWnd::IsVoiceWindowVisible() const {
  return m_voiceWnd && ::IsWindowVisible(m_voiceWnd->GetHWND());
}
