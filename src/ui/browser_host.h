// The main window's browser host: the browser client (SimpleHandler) that owns the browsers, the
// engine's start with the main browser as a child of the window, the main page, and the close
// and shutdown of the engine. Runs on the UI thread; the client reports back through the
// result callback given at construction.
#pragma once

#include <windows.h>

#include <string>

#include "ui/simple_handler.h"
#include "ui/simple_handler_result_callback.h"

class BrowserHost {
 public:
  explicit BrowserHost(ISimpleHandlerResultCallback* resultCallback);
  BrowserHost(const BrowserHost&) = delete;
  BrowserHost& operator=(const BrowserHost&) = delete;

  // Null once released.
  CefRefPtr<SimpleHandler> Client() const { return m_browserClient; }

  // Starts the engine and requests the main browser below the title band of `parent`, on
  // `url`.
  void Start(HWND parent, const std::wstring& url);

  bool HasMainBrowser() const;
  bool HasAnyBrowser() const;
  bool Closing() const;
  std::string MainFrameUrl() const;  // ANSI code page, for log lines
  void NotifyMainPage(const char* name);
  void NotifyMainPage(const char* name, int value);
  void LoadIntoMainFrame(const std::string& url);
  // Asks the engine to close every browser (on its own thread).
  void CloseAllBrowsers();
  // Drops the client and, when the engine was started, shuts it down.
  void ReleaseClientAndShutDown();
  // Drops the client without touching the engine (the window object's end).
  void ReleaseClient() { m_browserClient = nullptr; }

 private:
  CefRefPtr<SimpleHandler> m_browserClient;
  bool m_engineStarted = false;  // Start ran: the close sequence shuts the engine down
};
