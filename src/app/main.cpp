// Entry point of zarvik.exe. Every copy of the executable starts here: the game starts the
// browser process with five start arguments, the engine starts its sub-processes with the switch
// "type". The entry decides the role and hands over.
#include <windows.h>
#include <objbase.h>

#include <curl/curl.h>

#include "app/browser_process.h"
#include "app/early_settle.h"
#include "app/process_scope.h"
#include "app/update_course.h"
#include "common/module_path.h"
#include "diagnostics/trace.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  // The start-up trace (ZARVIK_TRACE), off unless asked for: this process's start so far.
  zarvik::trace::SinceProcessStart("process start");
  const bool browserProcess = StartsBrowserProcess(GetCommandLineW());

  // Before anything else, and before any stand-in DLL is loaded: the browser process settles
  // what an earlier update left (early_settle.h). Its log lines wait for the log file.
  if (browserProcess) {
    zarvik::trace::Span span("earlier update settled");
    SettleUpdateFirst(zarvik::ModuleDirectory(instance), kUpdateMutexName);
  }

  if (FAILED(CoInitialize(nullptr)))
    return 0;
  // libcurl's global set-up is not thread-safe: it runs here, once, before the engine, the crash
  // reporter and the update course start the threads that make transfers.
  const CURLcode curlReady = curl_global_init(CURL_GLOBAL_DEFAULT);

  ProcessScope process(instance);
  int subProcessResult = process.ExecuteSubProcess();
  if (subProcessResult >= 0)
    return subProcessResult;  // a sub-process that has finished
  return RunBrowserProcess(instance, curlReady, process);
}
