// Main window: the calls into the voice window. While the slot is empty a join request
// answers 0 and nothing else happens.
#include "diagnostics/log.h"
#include "ui/main_wnd.h"
#include "voice/join_params.h"
#include "voice/vcast_wnd.h"

int CMainWnd::JoinVoiceChannel(const JoinTextFields& fields) {
  if (!m_voiceWnd)
    return 0;
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
