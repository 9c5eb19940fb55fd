#include "bridge/browser/client_app_browser.h"

#include <windows.h>

#include "base/globals.h"

// Defined beside the class: the smart pointer needs its whole type.
CefRefPtr<ClientAppBrowser> g_appBrowser;

const EngineSwitch kClientEngineSwitches[10] = {
    {"--disable-web-security", nullptr},
    {"--disable-direct-write", nullptr},
    {"--disable-site-isolation-trial-opt-out", nullptr},
    {"--force-device-scale-factor", "1"},
    {"--renderer-process-limit", "1"},
    {"--ppapi-flash-path", "ppflash/pepflashplayer.dll"},
    {"--ppapi-flash-version", "28.0.0.137"},
    {"--disable-gpu", nullptr},
    {"--disable-gpu-compositing", nullptr},
    {"enable-begin-frame-scheduling", nullptr},
};

// The same list for every process type; the type is not looked at.
void ClientAppBrowser::OnBeforeCommandLineProcessing(const CefString&,
                                                     CefRefPtr<CefCommandLine> command_line) {
  if (!command_line)
    return;
  for (const EngineSwitch& s : kClientEngineSwitches) {
    if (s.value)
      command_line->AppendSwitchWithValue(s.name, s.value);
    else
      command_line->AppendSwitch(s.name);
  }
}

void ClientAppBrowser::OnRegisterCustomSchemes(CefRawPtr<CefSchemeRegistrar>) {}

CefRefPtr<CefResourceBundleHandler> ClientAppBrowser::GetResourceBundleHandler() {
  return nullptr;
}

CefRefPtr<CefBrowserProcessHandler> ClientAppBrowser::GetBrowserProcessHandler() {
  return this;
}

CefRefPtr<CefRenderProcessHandler> ClientAppBrowser::GetRenderProcessHandler() {
  return nullptr;
}

void ClientAppBrowser::OnContextInitialized() {
  OutputDebugStringW(L"ClientAppBrowser::OnContextInitialized()");
}

void ClientAppBrowser::OnBeforeChildProcessLaunch(CefRefPtr<CefCommandLine>) {}

CefRefPtr<CefPrintHandler> ClientAppBrowser::GetPrintHandler() {
  return nullptr;
}

void ClientAppBrowser::OnScheduleMessagePumpWork(int64) {}
