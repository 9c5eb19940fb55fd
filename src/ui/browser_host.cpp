#include "ui/browser_host.h"

#include <cstdio>

#include "base/globals.h"
#include "bridge/browser/client_app_browser.h"
#include "common/encoding.h"
#include "common/module_path.h"
#include "diagnostics/trace.h"
#include "include/cef_app.h"
#include "include/cef_browser.h"
#include "ui/engine_settings.h"
#include "ui/notify_page.h"
#include "ui/view_modes.h"

namespace {

// A visible child that clips its siblings and children, with a tab stop.
constexpr DWORD kBrowserWindowStyle =
    WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_TABSTOP;
static_assert(kBrowserWindowStyle == 0x56010000, "the main browser's window style is 0x56010000");

}  // namespace

BrowserHost::BrowserHost(ISimpleHandlerResultCallback* resultCallback)
    : m_browserClient(new SimpleHandler(resultCallback)) {}

void BrowserHost::Start(HWND parent, const std::wstring& url) {
  CefEnableHighDPISupport();
  CefMainArgs mainArgs(::GetModuleHandleW(nullptr));
  CefSettings settings;
  FillEngineSettings(settings, zarvik::ModuleDirectory());
  // A failed start leaves the window empty below the title band.
  zarvik::trace::Span engineSpan("engine initialised");
  CefInitialize(mainArgs, settings, g_appBrowser.get(), nullptr);
  engineSpan.End();
  m_engineStarted = true;

  RECT client;
  ::GetClientRect(parent, &client);
  zarvik::view::BrowserBox box =
      zarvik::view::BrowserBoxFor(client.left, client.top, zarvik::view::kComplete);
  wchar_t text[128];
  std::swprintf(text, 128, L"x=%d,y=%d,right=%d,buttom=%d,width=%d,height=%d\n", box.left, box.top,
                box.left + box.width, box.top + box.height, box.width, box.height);
  OutputDebugStringW(text);

  CefWindowInfo windowInfo;
  windowInfo.SetAsChild(parent,
                        RECT{box.left, box.top, box.left + box.width, box.top + box.height});
  windowInfo.style = kBrowserWindowStyle;
  windowInfo.ex_style = 0;

  CefBrowserSettings browserSettings;
  zarvik::trace::Span browserSpan("browser created");
  CefBrowserHost::CreateBrowser(windowInfo, m_browserClient.get(), url, browserSettings, nullptr,
                                CefRequestContext::GetGlobalContext());
}

bool BrowserHost::HasMainBrowser() const {
  return m_browserClient && m_browserClient->GetBrowser();
}

bool BrowserHost::HasAnyBrowser() const {
  return m_browserClient && m_browserClient->GetBrowserCount() > 0;
}

bool BrowserHost::Closing() const {
  return m_browserClient && m_browserClient->IsClosing();
}

std::string BrowserHost::MainFrameUrl() const {
  CefRefPtr<CefBrowser> browser = m_browserClient ? m_browserClient->GetBrowser() : nullptr;
  CefRefPtr<CefFrame> frame = browser ? browser->GetMainFrame() : nullptr;
  return frame ? zarvik::WideToAnsi(frame->GetURL().ToWString()) : std::string();
}

void BrowserHost::NotifyMainPage(const char* name) {
  NotifyPage(m_browserClient.get(), name);
}

void BrowserHost::NotifyMainPage(const char* name, int value) {
  NotifyPage(m_browserClient.get(), name, value);
}

void BrowserHost::LoadIntoMainFrame(const std::string& url) {
  CefRefPtr<CefBrowser> browser = m_browserClient ? m_browserClient->GetBrowser() : nullptr;
  CefRefPtr<CefFrame> frame = browser ? browser->GetMainFrame() : nullptr;
  if (frame)
    frame->LoadURL(url);
}

void BrowserHost::CloseAllBrowsers() {
  if (m_browserClient)
    m_browserClient->CloseAllBrowsers(true);
}

void BrowserHost::ReleaseClientAndShutDown() {
  m_browserClient = nullptr;
  if (m_engineStarted) {
    m_engineStarted = false;
    CefShutdown();
  }
}
