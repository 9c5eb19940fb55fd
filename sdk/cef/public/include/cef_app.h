// The application object of each process and the engine's process-wide functions.
#pragma once

#include "include/cef_base.h"
#include "include/cef_browser_process_handler.h"
#include "include/cef_command_line.h"
#include "include/cef_render_process_handler.h"

class CefSchemeRegistrar {
 public:
  virtual ~CefSchemeRegistrar() {}
};
class CefResourceBundleHandler : public virtual CefBaseRefCounted {};

class CefApp : public virtual CefBaseRefCounted {
 public:
  // Called in every process before the engine reads its command line; |process_type| is empty
  // in the browser process.
  virtual void OnBeforeCommandLineProcessing(const CefString& process_type,
                                             CefRefPtr<CefCommandLine> command_line) {}
  virtual void OnRegisterCustomSchemes(CefRawPtr<CefSchemeRegistrar> registrar) {}
  virtual CefRefPtr<CefResourceBundleHandler> GetResourceBundleHandler() { return nullptr; }
  virtual CefRefPtr<CefBrowserProcessHandler> GetBrowserProcessHandler() { return nullptr; }
  virtual CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() { return nullptr; }
};

// In a sub-process (switch "type"), runs its role and returns its exit code (0 or more); in the
// browser process returns -1 at once.
int CefExecuteProcess(const CefMainArgs& args,
                      CefRefPtr<CefApp> application,
                      void* windows_sandbox_info);
// Starts the engine in the browser process. With multi_threaded_message_loop the engine runs
// its own UI thread; otherwise the calling thread is the UI thread (CefRunMessageLoop).
bool CefInitialize(const CefMainArgs& args,
                   const CefSettings& settings,
                   CefRefPtr<CefApp> application,
                   void* windows_sandbox_info);
// Closes what is left of the browsers, ends the renderer and the engine's threads. Call on the
// thread that called CefInitialize.
void CefShutdown();
void CefRunMessageLoop();
// Ends CefRunMessageLoop; nothing to do with the engine's own message-loop thread.
void CefQuitMessageLoop();
void CefDoMessageLoopWork();
void CefEnableHighDPISupport();
