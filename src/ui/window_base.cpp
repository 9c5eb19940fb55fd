#include "ui/window_base.h"

LRESULT CWindowBase::OnCreate(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT CWindowBase::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT CWindowBase::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  BOOL handled = FALSE;
  if (uMsg == WM_CREATE) {
    handled = TRUE;
    LRESULT result = OnCreate(uMsg, wParam, lParam, handled);
    if (handled)
      return result;
  }
  LRESULT result = HandleCustomMessage(uMsg, wParam, lParam, handled);
  if (handled)
    return result;
  if (m_PaintManager.MessageHandler(uMsg, wParam, lParam, result))
    return result;
  return DuiLib::CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}
