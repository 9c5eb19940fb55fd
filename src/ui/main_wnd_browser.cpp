// Main window: the browser engine's start on the window with the main browser on the first page,
// and the calls into the browser host.
#include "base/endpoints.h"
#include "base/globals.h"
#include "common/encoding.h"
#include "ui/main_wnd.h"

// The first page: the edition's web base, "gameLogin.action?opt=" and the login option, each
// byte of it widened to one UTF-16 unit as the game passed it.
std::wstring FirstPageUrl(const std::string& webBase, const std::string& loginOpt) {
  return zarvik::WidenBytes(webBase + "gameLogin.action?opt=" + loginOpt);
}

void CMainWnd::InitBrowser() {
  m_browserHost.Start(m_hWnd, FirstPageUrl(g_webBaseUrl[g_editionIndex], g_loginOpt));
}

bool CMainWnd::HasMainBrowser() const {
  return m_browserHost.HasMainBrowser();
}

bool CMainWnd::HasAnyBrowser() const {
  return m_browserHost.HasAnyBrowser();
}

std::string CMainWnd::MainFrameUrl() const {
  return m_browserHost.MainFrameUrl();
}

void CMainWnd::NotifyMainPage(const char* name) {
  m_browserHost.NotifyMainPage(name);
}

void CMainWnd::NotifyMainPage(const char* name, int value) {
  m_browserHost.NotifyMainPage(name, value);
}

bool CMainWnd::BrowsersClosing() const {
  return m_browserHost.Closing();
}

void CMainWnd::CloseAllBrowsers() {
  m_browserHost.CloseAllBrowsers();
}

void CMainWnd::ReleaseBrowserClientAndShutDown() {
  m_browserHost.ReleaseClientAndShutDown();
}

void CMainWnd::LoadIntoMainFrame(const std::string& url) {
  m_browserHost.LoadIntoMainFrame(url);
}
