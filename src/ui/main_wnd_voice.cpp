// Main window: the calls into the voice window. The slot stays empty until the voice window
// exists; a join request then answers 0.
#include "diagnostics/log.h"
#include "ui/main_wnd.h"

// TODO(voice): call CVCastWnd::JoinChannel(0, &params) with a JoinParams block built from
// `fields`, LeaveChannel and the window's visibility once the voice window is in the tree.
int CMainWnd::JoinVoiceChannel(const JoinTextFields& fields) {
  if (!m_voiceWnd)
    return 0;
  return 0;
}

void CMainWnd::LeaveVoiceChannel() {}

bool CMainWnd::IsVoiceWindowVisible() const {
  return false;
}
