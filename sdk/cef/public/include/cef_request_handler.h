#pragma once

#include "include/cef_base.h"
#include "include/cef_browser.h"
#include "include/cef_request.h"

// Navigation decisions; called on the UI thread.
class CefRequestHandler : public virtual CefBaseRefCounted {
 public:
  typedef cef_termination_status_t TerminationStatus;
  typedef cef_window_open_disposition_t WindowOpenDisposition;

  // Before every navigation of a frame, and again for each server redirect (is_redirect). True
  // cancels the navigation.
  virtual bool OnBeforeBrowse(CefRefPtr<CefBrowser> browser,
                              CefRefPtr<CefFrame> frame,
                              CefRefPtr<CefRequest> request,
                              bool user_gesture,
                              bool is_redirect) {
    return false;
  }
  virtual void OnRenderProcessTerminated(CefRefPtr<CefBrowser> browser, TerminationStatus status) {}
};
