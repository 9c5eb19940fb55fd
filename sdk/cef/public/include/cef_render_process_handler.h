#pragma once

#include "include/cef_base.h"
#include "include/cef_browser.h"
#include "include/cef_load_handler.h"
#include "include/cef_process_message.h"
#include "include/cef_v8.h"

// The renderer side of the application; every call on the render thread.
class CefRenderProcessHandler : public virtual CefBaseRefCounted {
 public:
  virtual void OnWebKitInitialized() {}
  virtual void OnBrowserCreated(CefRefPtr<CefBrowser> browser,
                                CefRefPtr<CefDictionaryValue> extra_info) {}
  virtual void OnBrowserDestroyed(CefRefPtr<CefBrowser> browser) {}
  virtual CefRefPtr<CefLoadHandler> GetLoadHandler() { return nullptr; }
  // A new document's script context, before any of its scripts runs (the context is entered).
  virtual void OnContextCreated(CefRefPtr<CefBrowser> browser,
                                CefRefPtr<CefFrame> frame,
                                CefRefPtr<CefV8Context> context) {}
  virtual void OnContextReleased(CefRefPtr<CefBrowser> browser,
                                 CefRefPtr<CefFrame> frame,
                                 CefRefPtr<CefV8Context> context) {}
  virtual void OnUncaughtException(CefRefPtr<CefBrowser> browser,
                                   CefRefPtr<CefFrame> frame,
                                   CefRefPtr<CefV8Context> context,
                                   void* exception,
                                   void* stackTrace) {}
  virtual void OnFocusedNodeChanged(CefRefPtr<CefBrowser> browser,
                                    CefRefPtr<CefFrame> frame,
                                    void* node) {}
  // Messages from the browser process, in the order they were sent. True when handled.
  virtual bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser,
                                        CefRefPtr<CefFrame> frame,
                                        CefProcessId source_process,
                                        CefRefPtr<CefProcessMessage> message) {
    return false;
  }
};
