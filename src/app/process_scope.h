// What every copy of the executable holds from the start of wWinMain until it returns: COM on
// this thread, the engine's sandbox information, the engine's command line and the application
// object of this process's role. They are given back in one place, whichever way the process
// ends early; a normal run of the browser process ends itself without returning.
#pragma once

#include <windows.h>

#include "app/process_role.h"
#include "include/cef_app.h"

class ProcessScope {
 public:
  // Called once COM has been initialised on this thread: enables high-DPI support, creates the
  // sandbox information, reads the command line and creates the application object of the role
  // it names (the browser's is also kept in g_appBrowser).
  explicit ProcessScope(HINSTANCE instance);
  // Uninitialises COM unless that was done or declined already, releases the command line and
  // the application objects (g_appBrowser too) and destroys the sandbox information.
  ~ProcessScope();
  ProcessScope(const ProcessScope&) = delete;
  ProcessScope& operator=(const ProcessScope&) = delete;

  ProcessRole role() const { return m_role; }

  // Runs this process's engine role when it is a sub-process: its exit code (0 or more) once it
  // has finished, or a negative value in the browser process.
  int ExecuteSubProcess();

  // Uninitialises COM now (the browser process's shutdown, which does not return).
  void UninitializeCom();
  // Leaves COM initialised when the scope ends (the update course's return).
  void KeepComOnExit() { m_comInitialized = false; }

 private:
  HINSTANCE m_instance;
  bool m_comInitialized = true;
  void* m_sandboxInfo = nullptr;
  wchar_t m_processIdText[64] = {};
  CefRefPtr<CefCommandLine> m_commandLine;
  ProcessRole m_role = ProcessRole::kBrowser;
  CefRefPtr<CefApp> m_app;
};
