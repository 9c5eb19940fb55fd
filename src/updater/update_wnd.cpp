#include "updater/update_wnd.h"

#include <string>

#include "base/game_notify.h"
#include "common/module_path.h"
#include "diagnostics/log.h"
#include "diagnostics/thread_check.h"
#include "updater/installer.h"
#include "updater/update_messages.h"

namespace {

constexpr int kStripWidth = 264;
constexpr int kStripHeight = 22;
constexpr UINT_PTR kFailureTimer = 1000;
constexpr UINT kFailureTextMs = 3000;

const wchar_t kUpdatingText[] = L"Zarvik\u6b63\u5728\u66f4\u65b0";  // "Zarvik正在更新"
const wchar_t kFailedText[] = L"\u66f4\u65b0\u5931\u8d25\uff0c\u8bf7\u7a0d\u540e\u518d\u8bd5.";
const wchar_t kInstallingText[] = L"\u6b63\u5728\u66f4\u65b0\u6587\u4ef6...";  // "正在更新文件..."

}  // namespace

std::wstring ProgressForeImage(int percent) {
  return L"file='ver_update_fg.png' source='0,0," + std::to_wstring(percent * kStripWidth / 100) +
         L",22'";
}

CUpdateWnd::CUpdateWnd(HWND gameWnd, int (*procedure)(HWND))
    : m_gameWnd(gameWnd), m_procedure(procedure ? procedure : &RunUpdate) {}

LPCTSTR CUpdateWnd::GetWindowClassName() const {
  return L"UpdateWindowClass";
}

UINT CUpdateWnd::GetClassStyle() const {
  return CS_DBLCLKS;
}

DuiLib::CDuiString CUpdateWnd::GetSkinFolder() {
  return zarvik::ModuleDirectory().c_str();
}

DuiLib::CDuiString CUpdateWnd::GetSkinFile() {
  return L"zarvik.ui";
}

LRESULT CUpdateWnd::OnNcActivate(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
  // The update worker only posts to the window; a handler entered from another thread would
  // race the paint manager.
  CheckWindowThread(m_hWnd, "CUpdateWnd::OnNcActivate");
  if (::IsIconic(m_hWnd)) {
    bHandled = FALSE;
    return 0;
  }
  return wParam == 0 ? TRUE : FALSE;
}

LRESULT CUpdateWnd::OnNcHitTest(UINT, WPARAM, LPARAM, BOOL&) {
  CheckWindowThread(m_hWnd, "CUpdateWnd::OnNcHitTest");
  return HTCAPTION;  // dragged from anywhere, never resized
}

LRESULT CUpdateWnd::OnSize(UINT, WPARAM, LPARAM, BOOL&) {
  CheckWindowThread(m_hWnd, "CUpdateWnd::OnSize");
  return 0;
}

LRESULT CUpdateWnd::OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
  CheckWindowThread(m_hWnd, "CUpdateWnd::OnCreate");
  LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
  style &= ~WS_CAPTION;
  ::SetWindowLongW(m_hWnd, GWL_STYLE, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);

  m_PaintManager.Init(m_hWnd);
  DuiLib::CDialogBuilder builder;
  DuiLib::CControlUI* root = builder.Create(L"update.xml", (UINT)0, this, &m_PaintManager);
  m_PaintManager.AttachDialog(root);
  m_PaintManager.AddNotifier(this);

  m_progressBar = static_cast<DuiLib::CProgressUI*>(m_PaintManager.FindControl(L"updateprogress"));
  m_progressTip = static_cast<DuiLib::CLabelUI*>(m_PaintManager.FindControl(L"progressTip"));
  if (m_progressTip)
    m_progressTip->SetText((std::wstring(kUpdatingText) + L"0%").c_str());

  ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, ::GetWindowLongW(m_hWnd, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);

  int x, y;
  RECT game;
  if (m_gameWnd && ::GetClientRect(m_gameWnd, &game)) {
    ::ClientToScreen(m_gameWnd, reinterpret_cast<POINT*>(&game.left));
    ::ClientToScreen(m_gameWnd, reinterpret_cast<POINT*>(&game.right));
    x = game.left + (game.right - game.left - kStripWidth) / 2;
    y = game.top + 80;
  } else {
    x = (::GetSystemMetrics(SM_CXSCREEN) - kStripWidth) / 2;
    y = (::GetSystemMetrics(SM_CYSCREEN) - kStripHeight) / 2;
  }
  ::SetWindowPos(m_hWnd, HWND_TOPMOST, x, y, kStripWidth, kStripHeight,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
  ::BringWindowToTop(m_hWnd);

  m_worker.Reset(::CreateThread(nullptr, 0, &UpdateThreadProc, this, 0, nullptr));
  if (!m_worker) {
    // Without a worker nothing would ever close the window: fail the update visibly.
    LogLine(ERROR, "cannot start the update thread, error : ", ::GetLastError());
    m_result = 1;
    ::PostMessageW(m_hWnd, WM_UPDATE_FAILED, 0, 0);
  }
  return 0;
}

LRESULT CUpdateWnd::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
  CheckWindowThread(m_hWnd, "CUpdateWnd::HandleCustomMessage");
  switch (uMsg) {
    case WM_UPDATE_PROGRESS:
      if (lParam >= 1 && lParam <= 100 && m_progressBar) {
        int percent = static_cast<int>(lParam);
        if (m_progressTip)
          m_progressTip->SetText(
              (std::wstring(kUpdatingText) + std::to_wstring(percent) + L"%").c_str());
        m_progressBar->SetForeImage(ProgressForeImage(percent).c_str());
        m_progressBar->SetValue(percent);
      }
      return 0;
    case WM_UPDATE_FAILED:
      if (m_progressBar) {
        m_progressBar->SetForeImage(L"");
        m_progressBar->SetValue(0);
        if (m_progressTip)
          m_progressTip->SetText(kFailedText);
        m_result = 1;
      }
      ::SetTimer(m_hWnd, kFailureTimer, kFailureTextMs, nullptr);
      return 0;
    case WM_UPDATE_INSTALLING:
      if (m_progressBar && m_progressTip)
        m_progressTip->SetText(kInstallingText);
      return 0;
    case WM_TIMER:
      if (wParam == kFailureTimer) {
        ::KillTimer(m_hWnd, kFailureTimer);
        Close(1);
        return 0;
      }
      break;
    case GAME_NOTIFY_UPDATE_FAIL:
      ::PostMessageW(m_gameWnd, GAME_NOTIFY_UPDATE_FAIL, wParam, lParam);
      ::PostMessageW(m_gameWnd, GAME_NOTIFY_UPDATE_BEGIN, wParam, lParam);
      return 0;
    case GAME_NOTIFY_UPDATE_BEGIN:
      ::PostMessageW(m_gameWnd, GAME_NOTIFY_UPDATE_BEGIN, wParam, lParam);
      return 0;
  }
  bHandled = FALSE;
  return 0;
}

DWORD WINAPI UpdateThreadProc(LPVOID parameter) {
  CUpdateWnd* window = static_cast<CUpdateWnd*>(parameter);
  if (!window)
    return 0;
  HWND hwnd = window->GetHWND();
  int result = window->m_procedure(hwnd);
  window->m_result = result;
  if (result != 0)
    ::PostMessageW(hwnd, WM_UPDATE_FAILED, 0, 0);
  else
    window->Close(1);
  return 0;
}

void CUpdateWnd::WaitForWorker() {
  if (m_worker) {
    ::WaitForSingleObject(m_worker.Get(), INFINITE);
    m_worker.Reset();
  }
}

int ShowUpdateWindow(HWND gameWnd) {
  // The skin archive beside the executable, unless start-up pointed the library elsewhere.
  if (DuiLib::CPaintManagerUI::GetResourcePath().IsEmpty()) {
    DuiLib::CPaintManagerUI::SetResourcePath(DuiLib::CPaintManagerUI::GetInstancePath());
    DuiLib::CPaintManagerUI::SetResourceZip(L"zarvik.ui", false);
  }
  CUpdateWnd window(gameWnd);
  if (!window.Create(nullptr, L"UpdateWnd", 0x10CE0000, 0, 0, 0, kStripWidth, kStripHeight))
    return 1;
  window.ShowModal();
  window.WaitForWorker();
  return window.Result();
}
