#pragma once

#include "include/cef_base.h"
#include "include/cef_browser.h"

// Page state shown by the client; called on the UI thread.
class CefDisplayHandler : public virtual CefBaseRefCounted {
 public:
  virtual void OnAddressChange(CefRefPtr<CefBrowser> browser,
                               CefRefPtr<CefFrame> frame,
                               const CefString& url) {}
  virtual void OnTitleChange(CefRefPtr<CefBrowser> browser, const CefString& title) {}
  virtual void OnFullscreenModeChange(CefRefPtr<CefBrowser> browser, bool fullscreen) {}
  // True keeps the message out of the engine's log.
  virtual bool OnConsoleMessage(CefRefPtr<CefBrowser> browser,
                                cef_log_severity_t level,
                                const CefString& message,
                                const CefString& source,
                                int line) {
    return false;
  }
};
