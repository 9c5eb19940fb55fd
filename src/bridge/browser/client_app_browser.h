// The browser process's engine application object: adds the client's switches to every engine
// command line and answers the engine's browser-process callbacks.
#pragma once

#include "include/cef_app.h"

// The switches the client adds, in order. The last one is passed without leading dashes.
struct EngineSwitch {
  const char* name;
  const char* value;  // null for a switch without value
};
extern const EngineSwitch kClientEngineSwitches[10];

class ClientAppBrowser : public CefApp, public CefBrowserProcessHandler {
 public:
  ClientAppBrowser() = default;

  // CefApp
  void OnBeforeCommandLineProcessing(const CefString& process_type,
                                     CefRefPtr<CefCommandLine> command_line) override;
  void OnRegisterCustomSchemes(CefRawPtr<CefSchemeRegistrar> registrar) override;
  CefRefPtr<CefResourceBundleHandler> GetResourceBundleHandler() override;
  CefRefPtr<CefBrowserProcessHandler> GetBrowserProcessHandler() override;
  CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override;

  // CefBrowserProcessHandler
  void OnContextInitialized() override;
  void OnBeforeChildProcessLaunch(CefRefPtr<CefCommandLine> command_line) override;
  CefRefPtr<CefPrintHandler> GetPrintHandler() override;
  void OnScheduleMessagePumpWork(int64 delay_ms) override;

 private:
  IMPLEMENT_REFCOUNTING(ClientAppBrowser);
};
