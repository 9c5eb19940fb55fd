// The browser process's engine: settings, the UI thread with its task runner, the browsers, the
// renderer host and the engine log.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "include/cef_app.h"
#include "src/common/threads.h"

namespace cefimpl {

class BrowserImpl;
class RendererHost;
class NetFetcher;

struct EngineSettings {
  bool multiThreaded = false;
  std::wstring cachePath;
  std::wstring locale;
  std::wstring logFile;  // full path; empty when logging is off
  std::wstring userAgent;
  std::wstring acceptLanguage;
  std::wstring subprocessPath;
};

class Engine {
 public:
  // The running engine, or none before CefInitialize and after CefShutdown.
  static Engine* Get();

  EngineSettings settings;
  CefRefPtr<CefApp> app;
  CefRefPtr<CefBrowserProcessHandler> processHandler;
  CefRefPtr<CefCommandLine> commandLine;  // the process's switches after the application's changes
  std::unique_ptr<RendererHost> renderer;
  std::unique_ptr<NetFetcher> fetcher;

  // UI thread only.
  std::map<int, CefRefPtr<BrowserImpl>> browsers;
  int nextBrowserId = 1;
  int rendererStarts = 0;  // counts the renderers EnsureRenderer has tried to start
  CefRefPtr<BrowserImpl> FindBrowser(int id);
  // The renderer, started on first use (UI thread).
  RendererHost* EnsureRenderer();
};

// Writes one line of the engine's own to its log file.
void EngineLog(cef_log_severity_t severity, const std::string& text);
// A page's console message, as "message", source: url (line).
void EngineConsoleLog(cef_log_severity_t severity,
                      const std::string& message,
                      const std::string& source,
                      int line);

}  // namespace cefimpl
