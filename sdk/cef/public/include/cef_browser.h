// A browser and, in the browser process, its host.
#pragma once

#include <vector>

#include "include/cef_base.h"
#include "include/cef_frame.h"
#include "include/cef_request_context.h"
#include "include/cef_values.h"

class CefBrowserHost;
class CefClient;

class CefBrowser : public virtual CefBaseRefCounted {
 public:
  // Browser process only; none in the renderer.
  virtual CefRefPtr<CefBrowserHost> GetHost() = 0;
  virtual bool CanGoBack() = 0;
  virtual void GoBack() = 0;
  virtual bool CanGoForward() = 0;
  virtual void GoForward() = 0;
  virtual bool IsLoading() = 0;
  virtual void Reload() = 0;
  virtual void ReloadIgnoreCache() = 0;
  virtual void StopLoad() = 0;
  virtual int GetIdentifier() = 0;
  virtual bool IsSame(CefRefPtr<CefBrowser> that) = 0;
  virtual bool IsPopup() = 0;
  virtual bool HasDocument() = 0;
  virtual CefRefPtr<CefFrame> GetMainFrame() = 0;
  virtual CefRefPtr<CefFrame> GetFocusedFrame() = 0;
  virtual CefRefPtr<CefFrame> GetFrame(int64 identifier) = 0;
  virtual CefRefPtr<CefFrame> GetFrame(const CefString& name) = 0;
  virtual size_t GetFrameCount() = 0;
};

class CefBrowserHost : public virtual CefBaseRefCounted {
 public:
  // Creates the browser on the engine's UI thread and returns at once; the client hears of it
  // in CefLifeSpanHandler::OnAfterCreated.
  static bool CreateBrowser(const CefWindowInfo& windowInfo,
                            CefRefPtr<CefClient> client,
                            const CefString& url,
                            const CefBrowserSettings& settings,
                            CefRefPtr<CefDictionaryValue> extra_info,
                            CefRefPtr<CefRequestContext> request_context);
  // The same without extra information, as older callers write it.
  static bool CreateBrowser(const CefWindowInfo& windowInfo,
                            CefRefPtr<CefClient> client,
                            const CefString& url,
                            const CefBrowserSettings& settings,
                            CefRefPtr<CefRequestContext> request_context);
  // UI thread only: creates the browser and returns it.
  static CefRefPtr<CefBrowser> CreateBrowserSync(const CefWindowInfo& windowInfo,
                                                 CefRefPtr<CefClient> client,
                                                 const CefString& url,
                                                 const CefBrowserSettings& settings,
                                                 CefRefPtr<CefDictionaryValue> extra_info,
                                                 CefRefPtr<CefRequestContext> request_context);

  virtual CefRefPtr<CefBrowser> GetBrowser() = 0;
  // Asks the client (DoClose) and, unless it handles the close itself, sends WM_CLOSE to the
  // browser's top-level window. The browser is gone when its host window is destroyed.
  virtual void CloseBrowser(bool force_close) = 0;
  // Starts the close and answers false, or true when the browser is already closed.
  virtual bool TryCloseBrowser() = 0;
  virtual void SetFocus(bool focus) = 0;
  virtual CefWindowHandle GetWindowHandle() = 0;
  virtual CefWindowHandle GetOpenerWindowHandle() = 0;
  virtual CefRefPtr<CefClient> GetClient() = 0;
  virtual CefRefPtr<CefRequestContext> GetRequestContext() = 0;
  virtual void WasResized() = 0;
  virtual void Invalidate() = 0;
};
