#pragma once

#include "include/cef_base.h"
#include "include/cef_command_line.h"

class CefPrintHandler : public virtual CefBaseRefCounted {};

// The browser process side of the application; called on the UI thread.
class CefBrowserProcessHandler : public virtual CefBaseRefCounted {
 public:
  virtual void OnContextInitialized() {}
  // Before a sub-process starts, with its command line.
  virtual void OnBeforeChildProcessLaunch(CefRefPtr<CefCommandLine> command_line) {}
  virtual CefRefPtr<CefPrintHandler> GetPrintHandler() { return nullptr; }
  virtual void OnScheduleMessagePumpWork(int64 delay_ms) {}
};
