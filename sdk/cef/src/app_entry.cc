// The engine's entry for every process: sub-processes (switch "type") run their role here.
#include "include/cef_app.h"
#include "src/common/ipc_messages.h"
#include "src/common/library_names.h"
#include "src/renderer/render_thread.h"

int CefExecuteProcess(const CefMainArgs& args,
                      CefRefPtr<CefApp> application,
                      void* windows_sandbox_info) {
  return cef_execute_process(&args, application, windows_sandbox_info);
}

int cef_execute_process(const cef_main_args_t*, CefApp* application, void*) {
  CefRefPtr<CefCommandLine> line = CefCommandLine::CreateCommandLine();
  line->InitFromString(GetCommandLineW());
  if (!line->HasSwitch(cefimpl::kProcessTypeSwitch))
    return -1;  // the browser process
  // Any copy started with "type" is a sub-process, an empty value included: it never goes on
  // as a second browser process.
  CefString type = line->GetSwitchValue(cefimpl::kProcessTypeSwitch);
  if (application)
    application->OnBeforeCommandLineProcessing(type, line);
  if (type.ToString() == cefimpl::kRendererProcessType)
    return cefimpl::RunRendererProcess(application, line);
  return 0;  // helper roles this engine does not have end at once
}
