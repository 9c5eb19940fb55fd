// What the browser client reports back to the main window.
#pragma once

#include <windows.h>

class ISimpleHandlerResultCallback {
 public:
  // A page (URL, zero-terminated, may be null) started or finished loading.
  virtual void OnPageLoad(const wchar_t* url) = 0;
  virtual void OnWindowMessage(const MSG& message) = 0;

 protected:
  ~ISimpleHandlerResultCallback() = default;
};
