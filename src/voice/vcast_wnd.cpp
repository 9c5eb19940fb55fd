#include "voice/vcast_wnd.h"

#include <stdio.h>

#include "common/module_path.h"
#include "diagnostics/log.h"
#include "voice/voice_engine.h"

CVCastWnd::CVCastWnd() {
  SetUpVoiceEngine();
}

int CVCastWnd::JoinChannel(WPARAM wParam, const JoinParams* params) {
  (void)wParam;
  return m_channel.JoinChannel(params);
}

void CVCastWnd::LeaveChannel() {
  m_channel.LeaveChannel();
}

void CVCastWnd::ShowOnOwner(HWND owner, bool show) {
  if (show && IsWindow(owner)) {
    m_channel.ShowOnOwner(owner, true);
  } else {
    ShowWindow(false, false);
  }
}

LPCTSTR CVCastWnd::GetWindowClassName() const {
  return L"LiveCastWindowClass";
}

UINT CVCastWnd::GetClassStyle() const {
  return CS_DBLCLKS;
}

void CVCastWnd::OnFinalMessage(HWND hWnd) {
  WindowImplBase::OnFinalMessage(hWnd);
  std::function<void(CVCastWnd*)> gone;
  gone.swap(m_gone);
  if (gone)
    gone(this);
  delete this;
}

void CVCastWnd::InitWindow() {}

DuiLib::CDuiString CVCastWnd::GetSkinFolder() {
  return DuiLib::CDuiString(zarvik::ModuleDirectory().c_str());
}

DuiLib::CDuiString CVCastWnd::GetSkinFile() {
  return DuiLib::CDuiString(L"zarvik.ui");
}

LRESULT CVCastWnd::OnClose(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  LeaveChannel();
  bHandled = FALSE;
  return 0;
}

LRESULT CVCastWnd::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  LeaveChannel();
  bHandled = FALSE;
  return 0;
}

LRESULT CVCastWnd::OnNcActivate(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
  if (::IsIconic(m_hWnd))
    bHandled = FALSE;
  return wParam == 0 ? TRUE : FALSE;
}

LRESULT CVCastWnd::OnNcHitTest(UINT, WPARAM, LPARAM, BOOL&) {
  return HTCAPTION;  // every point drags the window
}

LRESULT CVCastWnd::OnSize(UINT, WPARAM, LPARAM, BOOL&) {
  return 0;
}

LRESULT CVCastWnd::OnSysCommand(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  return 0;
}

LRESULT CVCastWnd::OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
  m_channel.SetWindow(m_hWnd);
  LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
  style &= ~WS_CAPTION;
  ::SetWindowLongW(m_hWnd, GWL_STYLE, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);

  m_PaintManager.Init(m_hWnd);
  DuiLib::CDialogBuilder builder;
  DuiLib::CControlUI* root =
      builder.Create(L"vcast.xml", static_cast<UINT>(0), this, &m_PaintManager);
  if (root) {
    m_PaintManager.AttachDialog(root);
    m_PaintManager.AddNotifier(this);
  } else {
    LogLine(ERROR, SourceFileName(__FILE__),
            " the voice window's skin vcast.xml could not be built.");
  }

  ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, ::GetWindowLongW(m_hWnd, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
  return 0;
}

LRESULT CVCastWnd::OnLButtonDown(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  OutputDebugStringA("OnLButtonDown\n");
  bHandled = FALSE;
  return 0;
}

LRESULT CVCastWnd::OnLButtonUp(UINT, WPARAM, LPARAM, BOOL& bHandled) {
  OutputDebugStringA("OnLButtonUp\n");
  bHandled = FALSE;
  return 0;
}

LRESULT CVCastWnd::OnMouseMove(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
  (void)uMsg;
  OutputDebugStringA("OnMouseMove\n");
  if (wParam & MK_LBUTTON) {
    OutputDebugStringA("SendMessage WM_NCHITTEST\n");
    ::SendMessageW(m_hWnd, WM_NCHITTEST, wParam, lParam);
  }
  bHandled = FALSE;
  return 0;
}

LRESULT CVCastWnd::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
  bHandled = m_channel.HandleEngineEvent(uMsg, wParam, lParam) ? TRUE : FALSE;
  return 0;
}

CVCastWnd* CreateVoiceWindow(HWND mainWindow) {
  auto* voice = new CVCastWnd();
  voice->Create(::GetDesktopWindow(), L"视频", 0x90880000, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                CW_USEDEFAULT, CW_USEDEFAULT, nullptr);
  voice->SetOwnerWindow(mainWindow);

  RECT client = {};
  ::GetClientRect(mainWindow, &client);
  char text[96];
  snprintf(text, sizeof(text), "left = %d,top = %d\n", static_cast<int>(client.left),
           static_cast<int>(client.top));
  OutputDebugStringA(text);
  POINT topLeft = {client.left, client.top};
  POINT bottomRight = {client.right, client.bottom};
  ::ClientToScreen(mainWindow, &topLeft);
  ::ClientToScreen(mainWindow, &bottomRight);
  snprintf(text, sizeof(text), "ClientToScreen -> left = %d,top = %d\n",
           static_cast<int>(topLeft.x), static_cast<int>(topLeft.y));
  OutputDebugStringA(text);
  ::SetWindowPos(voice->GetHWND(), HWND_TOPMOST, topLeft.x + kVoiceWndLeft,
                 topLeft.y + kVoiceWndTop, kVoiceWndWidth, kVoiceWndHeight, SWP_HIDEWINDOW);
  return voice;
}
