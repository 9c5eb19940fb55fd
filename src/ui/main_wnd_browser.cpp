// Main window: the browser engine's start, the main browser and its page, and the shutdown.
#include <cstdio>

#include "common/encoding.h"
#include "common/module_path.h"
#include "diagnostics/log.h"
#include "ui/main_wnd.h"
#include "ui/view_modes.h"

#include "bridge/browser/client_app_browser.h"
#include "base/endpoints.h"
#include "base/globals.h"
#include "ui/notify_page.h"
#include "include/cef_app.h"
#include "include/cef_browser.h"
#include "ui/engine_settings.h"

// The first page: the edition's web base, "gameLogin.action?opt=" and the login option, each
// byte of it widened to one UTF-16 unit as the game passed it.
std::wstring FirstPageUrl(const std::string& webBase, const std::string& loginOpt) {
  return zarvik::WidenBytes(webBase + "gameLogin.action?opt=" + loginOpt);
}

void CMainWnd::InitBrowser() {
  CefEnableHighDPISupport();
  CefMainArgs mainArgs(::GetModuleHandleW(nullptr));
  CefSettings settings;
  FillEngineSettings(settings, zarvik::ModuleDirectory());
  // A failed start leaves the window empty below the title band.
  CefInitialize(mainArgs, settings, g_appBrowser.get(), nullptr);
  m_engineStarted = true;

  RECT client;
  ::GetClientRect(m_hWnd, &client);
  zarvik::view::BrowserBox box =
      zarvik::view::BrowserBoxFor(client.left, client.top, zarvik::view::kComplete);
  wchar_t text[128];
  std::swprintf(text, 128, L"x=%d,y=%d,right=%d,buttom=%d,width=%d,height=%d\n", box.left, box.top,
                box.left + box.width, box.top + box.height, box.width, box.height);
  OutputDebugStringW(text);

  CefWindowInfo windowInfo;
  windowInfo.SetAsChild(m_hWnd,
                        RECT{box.left, box.top, box.left + box.width, box.top + box.height});
  windowInfo.style = 0x56010000;
  windowInfo.ex_style = 0;

  std::wstring url = FirstPageUrl(g_webBaseUrl[g_editionIndex], g_loginOpt);
  CefBrowserSettings browserSettings;
  CefBrowserHost::CreateBrowser(windowInfo, m_browserClient.get(), url, browserSettings, nullptr,
                                CefRequestContext::GetGlobalContext());
}

bool CMainWnd::HasMainBrowser() const {
  return m_browserClient && m_browserClient->GetBrowser();
}

bool CMainWnd::HasAnyBrowser() const {
  return m_browserClient && m_browserClient->GetBrowserCount() > 0;
}

std::string CMainWnd::MainFrameUrl() const {
  CefRefPtr<CefBrowser> browser = m_browserClient ? m_browserClient->GetBrowser() : nullptr;
  CefRefPtr<CefFrame> frame = browser ? browser->GetMainFrame() : nullptr;
  return frame ? zarvik::WideToAnsi(frame->GetURL().ToWString()) : std::string();
}

void CMainWnd::NotifyMainPage(const char* name) {
  NotifyPage(m_browserClient.get(), name);
}

void CMainWnd::NotifyMainPage(const char* name, int value) {
  NotifyPage(m_browserClient.get(), name, value);
}

bool CMainWnd::BrowsersClosing() const {
  return m_browserClient && m_browserClient->IsClosing();
}

void CMainWnd::CloseAllBrowsers() {
  if (m_browserClient)
    m_browserClient->CloseAllBrowsers(true);
}

void CMainWnd::ReleaseBrowserClientAndShutDown() {
  m_browserClient = nullptr;
  if (m_engineStarted) {
    m_engineStarted = false;
    CefShutdown();
  }
}

void CMainWnd::LoadIntoMainFrame(const std::string& url) {
  CefRefPtr<CefBrowser> browser = m_browserClient ? m_browserClient->GetBrowser() : nullptr;
  CefRefPtr<CefFrame> frame = browser ? browser->GetMainFrame() : nullptr;
  if (frame)
    frame->LoadURL(url);
}
