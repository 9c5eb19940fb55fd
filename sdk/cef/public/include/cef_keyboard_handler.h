#pragma once

#include "include/cef_base.h"
#include "include/cef_browser.h"

// Keyboard input of the browser's host window; called on the UI thread.
class CefKeyboardHandler : public virtual CefBaseRefCounted {
 public:
  // Before the page sees the key. True consumes it; setting *is_keyboard_shortcut with false
  // passes it on to OnKeyEvent.
  virtual bool OnPreKeyEvent(CefRefPtr<CefBrowser> browser,
                             const CefKeyEvent& event,
                             CefEventHandle os_event,
                             bool* is_keyboard_shortcut) {
    return false;
  }
  virtual bool OnKeyEvent(CefRefPtr<CefBrowser> browser,
                          const CefKeyEvent& event,
                          CefEventHandle os_event) {
    return false;
  }
};
