#include "app/process_scope.h"

#include <objbase.h>

#include <cstdio>

#include "base/globals.h"
#include "bridge/browser/client_app_browser.h"
#include "diagnostics/trace.h"
#include "include/cef_sandbox_win.h"

ProcessScope::ProcessScope(HINSTANCE instance) : m_instance(instance) {
  CefEnableHighDPISupport();
  m_sandboxInfo = cef_sandbox_info_create();
  // Written to the debugger output once the role has run (or not).
  std::swprintf(m_processIdText, 64, L"CurrentProccessId : %d",
                static_cast<int>(GetCurrentProcessId()));

  m_commandLine = CefCommandLine::CreateCommandLine();
  m_commandLine->InitFromString(GetCommandLineW());
  m_role = ChooseProcessRole(m_commandLine);
  zarvik::trace::NameProcess(m_role == ProcessRole::kBrowser    ? "zarvik browser"
                             : m_role == ProcessRole::kRenderer ? "zarvik renderer"
                                                                : "zarvik sub-process");
  zarvik::trace::NameThread("main");
  m_app = CreateApplicationObject(m_role);
  if (m_role == ProcessRole::kBrowser)
    g_appBrowser = static_cast<ClientAppBrowser*>(m_app.get());
  else
    OutputDebugStringW(m_commandLine->GetSwitchValue("type").ToWString().c_str());
}

ProcessScope::~ProcessScope() {
  UninitializeCom();
  m_commandLine = nullptr;
  m_app = nullptr;
  g_appBrowser = nullptr;
  cef_sandbox_info_destroy(m_sandboxInfo);
}

int ProcessScope::ExecuteSubProcess() {
  CefMainArgs mainArgs(m_instance);
  int result = CefExecuteProcess(mainArgs, m_app, m_sandboxInfo);
  OutputDebugStringW(m_processIdText);
  return result;
}

void ProcessScope::UninitializeCom() {
  if (m_comInitialized)
    CoUninitialize();
  m_comInitialized = false;
}
