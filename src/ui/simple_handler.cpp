#include "ui/simple_handler.h"

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/encoding.h"
#include "diagnostics/log.h"
#include "include/base/cef_bind.h"
#include "include/cef_app.h"
#include "include/wrapper/cef_closure_task.h"
#include "include/wrapper/cef_helpers.h"
#include "ui/browser_error_page.h"
#include "ui/main_wnd_ids.h"
#include "ui/shell_links.h"
#include "ui/topmost.h"

CefRefPtr<SimpleHandler> g_browserClient;

namespace {

// The main window's rectangle while a page is in full-screen.
RECT g_savedWindowRect = {0, 0, 0, 0};

// Moves every window of the first-child chain below `top` to the rectangle, without repainting.
void MoveFirstChildChain(HWND top, int x, int y, int width, int height, bool traceSizes) {
  for (HWND child = ::GetWindow(top, GW_CHILD); child; child = ::GetWindow(child, GW_CHILD)) {
    ::MoveWindow(child, x, y, width, height, FALSE);
    if (traceSizes) {
      wchar_t text[128];
      std::swprintf(text, 128, L"left = %d,top = %d,width = %d,height = %d\n", x, y, width, height);
      OutputDebugStringW(text);
    }
  }
}

}  // namespace

SimpleHandler::SimpleHandler(ISimpleHandlerResultCallback* resultCallback)
    : m_resultCallback(resultCallback) {}

SimpleHandler::~SimpleHandler() {
  LogLine(INFO, "call SimpleHandler.");
}

CefRefPtr<CefBrowser> SimpleHandler::GetBrowser() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_browserList.empty() ? nullptr : m_browserList.front();
}

size_t SimpleHandler::GetBrowserCount() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_browserList.size();
}

bool SimpleHandler::IsClosing() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_isClosing;
}

void SimpleHandler::CloseAllBrowsers(bool forceClose) {
  if (!CefCurrentlyOn(TID_UI)) {
    // The bound task holds a counted reference to this handler until it has run.
    CefPostTask(TID_UI, base::Bind(&SimpleHandler::CloseAllBrowsers, this, forceClose));
    LogLine(INFO, "close browser(on tid_ui).");
    return;
  }
  // The list is copied: closing a browser calls back into DoClose, which takes the lock.
  std::vector<CefRefPtr<CefBrowser>> browsers;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    browsers.assign(m_browserList.begin(), m_browserList.end());
  }
  for (size_t i = 0; i < browsers.size(); ++i) {
    browsers[i]->GetHost()->CloseBrowser(forceClose);
    LogLine(INFO, "close browser : ", i);
  }
}

// CefDisplayHandler

void SimpleHandler::OnFullscreenModeChange(CefRefPtr<CefBrowser> browser, bool fullscreen) {
  CEF_REQUIRE_UI_THREAD();
  HWND browserWnd;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    browserWnd = m_browserWnd;
  }
  if (!browserWnd)
    return;
  HWND mainWnd = ::GetParent(browserWnd);
  wchar_t text[160];
  if (fullscreen) {
    int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    ::GetWindowRect(mainWnd, &g_savedWindowRect);
    SetWindowPosTopmost(mainWnd, true, 0, 0, screenWidth, screenHeight + 1,
                        SWP_NOSENDCHANGING | SWP_NOACTIVATE);
    std::swprintf(text, 160, L"mainwnd : width = %d,height = %d\n", screenWidth, screenHeight + 1);
    OutputDebugStringW(text);
    ::MoveWindow(browserWnd, 0, 0, screenWidth, screenHeight + 1, FALSE);
    std::swprintf(text, 160, L"browser :left = %d\uFF0Ctop = %d width = %d,height = %d\n", 0, 0,
                  screenWidth, screenHeight + 1);
    OutputDebugStringW(text);
    MoveFirstChildChain(browserWnd, 0, 0, screenWidth, screenHeight + 1, true);
    OutputDebugStringW(L"SimpleHandler::OnFullscreenModeChange fullscreen\n");
    return;
  }
  int width = g_savedWindowRect.right - g_savedWindowRect.left;
  int height = g_savedWindowRect.bottom - g_savedWindowRect.top;
  if (width <= 0 || height <= 0)
    return;
  SetWindowPosTopmost(mainWnd, false, g_savedWindowRect.left, g_savedWindowRect.top, width, height,
                      SWP_NOACTIVATE);
  POINT topLeft = {g_savedWindowRect.left, g_savedWindowRect.top};
  ::ScreenToClient(mainWnd, &topLeft);
  g_savedWindowRect.left = topLeft.x;
  g_savedWindowRect.top = topLeft.y;
  ::MoveWindow(browserWnd, topLeft.x, topLeft.y + 40, width, height - 40, FALSE);
  OutputDebugStringW(L"SimpleHandler::OnFullscreenModeChange exit fullscreen\n");
}

// CefLifeSpanHandler

bool SimpleHandler::OnBeforePopup(CefRefPtr<CefBrowser> browser,
                                  CefRefPtr<CefFrame> frame,
                                  const CefString& target_url,
                                  const CefString&,
                                  CefLifeSpanHandler::WindowOpenDisposition target_disposition,
                                  bool,
                                  const CefPopupFeatures&,
                                  CefWindowInfo&,
                                  CefRefPtr<CefClient>&,
                                  CefBrowserSettings&,
                                  CefRefPtr<CefDictionaryValue>&,
                                  bool*) {
  switch (target_disposition) {
    case WOD_NEW_FOREGROUND_TAB:
    case WOD_NEW_BACKGROUND_TAB:
    case WOD_NEW_POPUP:
    case WOD_NEW_WINDOW:
      // Links that would open a tab or window load in the main browser instead.
      browser->GetMainFrame()->LoadURL(target_url);
      return true;
    default:
      return false;
  }
}

void SimpleHandler::OnAfterCreated(CefRefPtr<CefBrowser> browser) {
  CEF_REQUIRE_UI_THREAD();
  HWND browserWnd = browser->GetHost()->GetWindowHandle();
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_browserList.push_back(browser);
    m_browserWnd = browserWnd;
  }
  LogLine(INFO, "create browser object id : ", browser->GetIdentifier());
  OutputDebugStringW(L"call SimpleHandler::OnAfterCreated.\n");
  RECT client;
  if (browserWnd && ::GetClientRect(browserWnd, &client))
    MoveFirstChildChain(browserWnd, client.left, client.top, client.right - client.left,
                        client.bottom - client.top, false);
}

bool SimpleHandler::DoClose(CefRefPtr<CefBrowser> browser) {
  CEF_REQUIRE_UI_THREAD();
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_browserList.size() == 1)
    m_isClosing = true;
  // The engine then sends WM_CLOSE to the main window again, which shuts the engine down.
  return false;
}

void SimpleHandler::OnBeforeClose(CefRefPtr<CefBrowser> browser) {
  CEF_REQUIRE_UI_THREAD();
  bool empty;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    for (auto it = m_browserList.begin(); it != m_browserList.end(); ++it) {
      if ((*it)->IsSame(browser)) {
        m_browserList.erase(it);
        break;
      }
    }
    empty = m_browserList.empty();
  }
  if (empty)
    CefQuitMessageLoop();  // no effect with the engine's own message-loop thread
}

// CefLoadHandler

void SimpleHandler::OnLoadStart(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame> frame, TransitionType) {
  CEF_REQUIRE_UI_THREAD();
  m_loadStartTick = ::GetTickCount();
  std::wstring url = frame->GetURL().ToWString();
  std::wstring text = L"begin to load web page(url) : " + url;
  LogLine(INFO, zarvik::WideToAnsi(text));
  OutputDebugStringW(text.c_str());
  if (m_resultCallback)
    m_resultCallback->OnPageLoad(url.c_str());
}

void SimpleHandler::OnLoadEnd(CefRefPtr<CefBrowser>,
                              CefRefPtr<CefFrame> frame,
                              int httpStatusCode) {
  CEF_REQUIRE_UI_THREAD();
  std::wstring url = frame->GetURL().ToWString();
  char elapsed[48];
  std::snprintf(elapsed, sizeof(elapsed), " elapsed %d ms",
                static_cast<int>(::GetTickCount() - m_loadStartTick));
  LogLine(INFO, "the web page(url) : ", zarvik::WideToAnsi(url),
          " had load completed,and the http stutas code is : ", httpStatusCode, elapsed);
  if (m_resultCallback)
    m_resultCallback->OnPageLoad(url.c_str());
}

void SimpleHandler::OnLoadError(CefRefPtr<CefBrowser>,
                                CefRefPtr<CefFrame> frame,
                                ErrorCode errorCode,
                                const CefString& errorText,
                                const CefString& failedUrl) {
  CEF_REQUIRE_UI_THREAD();
  if (errorCode == ERR_ABORTED)
    return;  // a new navigation replaced the load
  std::string page = zarvik::BuildLoadErrorPage(failedUrl.ToString(), errorText.ToString(),
                                                static_cast<int>(errorCode));
  frame->LoadString(CefString(page), failedUrl);
}

// CefRequestHandler

bool SimpleHandler::OnBeforeBrowse(CefRefPtr<CefBrowser> browser,
                                   CefRefPtr<CefFrame>,
                                   CefRefPtr<CefRequest> request,
                                   bool,
                                   bool) {
  CEF_REQUIRE_UI_THREAD();
  std::wstring url = request->GetURL().ToWString();
  LogLine(INFO, "navigate to the url : ", zarvik::WideToAnsi(url));
  if (url.find(L"about:blank") != std::wstring::npos) {
    HWND host = browser->GetHost()->GetWindowHandle();
    ::PostMessageW(::GetParent(host), WM_BROWSER_BLANK, 0, 0);
    return false;
  }
  if (url.find(L"ispopup=true") != std::wstring::npos) {
    // Such links belong in the system's browser; a failure to start it is ignored. Anything but
    // a web address (file:, a share, another protocol) is not handed to the shell at all.
    if (zarvik::IsShellWebUrl(url))
      ::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    else
      LogLine(ERROR, "refused to open a link that is not http or https : ",
              zarvik::WideToAnsi(url));
    return true;
  }
  return false;
}

// CefKeyboardHandler

bool SimpleHandler::OnPreKeyEvent(CefRefPtr<CefBrowser> browser,
                                  const CefKeyEvent& event,
                                  CefEventHandle os_event,
                                  bool* is_keyboard_shortcut) {
  CEF_REQUIRE_UI_THREAD();
  if (!os_event)
    return false;
  wchar_t text[96];
  std::swprintf(text, 96, L"SimpleHandler::OnPreKeyEvent uMsg = %08X,envent : %0x",
                os_event->message, static_cast<unsigned>(os_event->wParam));
  OutputDebugStringW(text);
  if (event.type == KEYEVENT_RAWKEYDOWN && event.windows_key_code == VK_ESCAPE) {
    CefRefPtr<CefFrame> frame = browser->GetMainFrame();
    frame->ExecuteJavaScript("{document.webkitExitFullscreen()}", frame->GetURL(), 0);
    if (is_keyboard_shortcut)
      *is_keyboard_shortcut = true;
    return true;
  }
  return false;
}

// CefDragHandler

bool SimpleHandler::OnDragEnter(CefRefPtr<CefBrowser>, CefRefPtr<CefDragData>, DragOperationsMask) {
  return true;  // nothing may be dropped onto the pages
}

// CefContextMenuHandler

void SimpleHandler::OnBeforeContextMenu(CefRefPtr<CefBrowser>,
                                        CefRefPtr<CefFrame>,
                                        CefRefPtr<CefContextMenuParams>,
                                        CefRefPtr<CefMenuModel> model) {
  model->Clear();
}

