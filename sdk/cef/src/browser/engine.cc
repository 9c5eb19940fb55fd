#include "src/browser/engine.h"

#include <curl/curl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <mutex>

#include "src/browser/browser_impl.h"
#include "src/browser/net_fetch.h"
#include "src/browser/renderer_host.h"
#include "src/common/http_get.h"
#include "src/common/library_names.h"
#include "src/common/scoped_handle.h"
#include "src/common/text.h"
#include "src/common/threads.h"

namespace cefimpl {

namespace {

Engine* g_engine = nullptr;
std::mutex g_logLock;
std::wstring g_logPath;
ScopedHandle g_uiThread;
HANDLE g_uiReady = nullptr;  // owned by cef_initialize while the UI thread starts
WindowTaskRunner* g_uiRunner = nullptr;
bool g_quitLoop = false;
// CefShutdown waits this long for the engine's UI thread to close its browsers and end.
const DWORD kUiThreadEndWaitMs = 15000;

std::wstring ExeDirectory() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path);
  size_t slash = dir.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : dir.substr(0, slash + 1);
}

// A relative path from the settings is taken beside the executable.
std::wstring BesideExecutable(const std::wstring& path) {
  if (path.empty() || !PathIsRelativeW(path.c_str()))
    return path;
  return ExeDirectory() + path;
}

const char* SeverityName(cef_log_severity_t severity) {
  switch (severity) {
    case LOGSEVERITY_WARNING:
      return "WARNING";
    case LOGSEVERITY_ERROR:
      return "ERROR";
    case LOGSEVERITY_FATAL:
      return "FATAL";
    case LOGSEVERITY_VERBOSE:
      return "VERBOSE";
    default:
      return "INFO";
  }
}

void WriteLogLine(cef_log_severity_t severity, const std::string& where, const std::string& text) {
  std::lock_guard<std::mutex> lock(g_logLock);
  if (g_logPath.empty())
    return;
  SYSTEMTIME t;
  GetLocalTime(&t);
  char head[128];
  snprintf(head, sizeof(head), "[%lu:%lu:%02d%02d/%02d%02d%02d.%03d:%s:%s] ", GetCurrentProcessId(),
           GetCurrentThreadId(), t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds,
           SeverityName(severity), where.c_str());
  std::string line = head + text + "\n";
  ScopedFileHandle file(CreateFileW(g_logPath.c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return;  // a log that cannot be opened loses the line, nothing else
  DWORD written = 0;
  WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

DWORD WINAPI UiThreadMain(void*) {
  g_uiRunner = new WindowTaskRunner();
  SetThreadRunner(TID_UI, g_uiRunner);
  SetEvent(g_uiReady);
  if (g_engine->processHandler)
    g_engine->processHandler->OnContextInitialized();
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  SetThreadRunner(TID_UI, nullptr);
  delete g_uiRunner;
  g_uiRunner = nullptr;
  return 0;
}

// Waits for |handle| while answering messages sent to this thread: a host window that is
// destroyed on the engine's thread notifies its parent, which may live on this thread.
void WaitAnsweringSentMessages(HANDLE handle, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs)
      return;
    DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, timeoutMs - elapsed, QS_SENDMESSAGE);
    if (r != WAIT_OBJECT_0 + 1)
      return;
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

// UI thread: destroys the host windows still open, which ends each browser with OnBeforeClose.
void CloseRemainingBrowsers() {
  std::map<int, CefRefPtr<BrowserImpl>> browsers = g_engine->browsers;
  for (auto& entry : browsers)
    entry.second->DestroyHostWindow();
}

}  // namespace

Engine* Engine::Get() {
  return g_engine;
}

CefRefPtr<BrowserImpl> Engine::FindBrowser(int id) {
  auto it = browsers.find(id);
  return it == browsers.end() ? nullptr : it->second;
}

RendererHost* Engine::EnsureRenderer() {
  if (!renderer || renderer->HasEnded()) {
    // A new renderer learns of every open browser before anything else.
    renderer.reset(new RendererHost());
    int start = ++rendererStarts;
    if (!renderer->Launch()) {
      // The browsers hear of it as of a renderer that died (after the current handler call), so
      // no load waits for a renderer that is not there; the next document tries again.
      CefPostTask(TID_UI, FunctionTask([start] {
                    Engine* engine = Engine::Get();
                    if (engine && engine->rendererStarts == start)  // not a later renderer's
                      OnRendererGone(TS_ABNORMAL_TERMINATION);
                  }));
      return renderer.get();
    }
    for (auto& entry : browsers) {
      IpcWriter w;
      w.Int(entry.second->IsPopup() ? 1 : 0);
      renderer->Send(MakeIpc(IPC_BROWSER_CREATED, entry.first, entry.second->FrameId(), w));
    }
  }
  return renderer.get();
}

void EngineLog(cef_log_severity_t severity, const std::string& text) {
  WriteLogLine(severity, "engine", text);
}

void EngineConsoleLog(cef_log_severity_t severity,
                      const std::string& message,
                      const std::string& source,
                      int line) {
  WriteLogLine(severity, "CONSOLE(" + std::to_string(line) + ")",
               "\"" + message + "\", source: " + source + " (" + std::to_string(line) + ")");
}

}  // namespace cefimpl

using cefimpl::Engine;

bool CefInitialize(const CefMainArgs& args,
                   const CefSettings& settings,
                   CefRefPtr<CefApp> application,
                   void* windows_sandbox_info) {
  return cef_initialize(&args, &settings, application, windows_sandbox_info) != 0;
}

int cef_initialize(const cef_main_args_t*,
                   const cef_settings_t* settings,
                   CefApp* application,
                   void*) {
  if (cefimpl::g_engine || !settings)
    return 0;
  Engine* e = new Engine();
  e->app = application;
  if (application)
    e->processHandler = application->GetBrowserProcessHandler();
  e->commandLine = CefCommandLine::CreateCommandLine();
  e->commandLine->InitFromString(GetCommandLineW());
  if (application)
    application->OnBeforeCommandLineProcessing(CefString(), e->commandLine);

  cefimpl::EngineSettings& s = e->settings;
  s.multiThreaded = settings->multi_threaded_message_loop != 0;
  s.cachePath = cefimpl::BesideExecutable(CefString(&settings->cache_path).ToWString());
  s.locale = CefString(&settings->locale).ToWString();
  if (s.locale.empty())
    s.locale = L"en-US";
  s.acceptLanguage = CefString(&settings->accept_language_list).ToWString();
  if (s.acceptLanguage.empty()) {
    s.acceptLanguage = s.locale;
    size_t dash = s.locale.find(L'-');
    if (dash != std::wstring::npos)
      s.acceptLanguage += L"," + s.locale.substr(0, dash);
  }
  s.userAgent = CefString(&settings->user_agent).ToWString();
  if (s.userAgent.empty())
    s.userAgent = cefimpl::Utf8ToWide(cefimpl::kDefaultUserAgent);
  s.subprocessPath = CefString(&settings->browser_subprocess_path).ToWString();
  if (settings->log_severity != LOGSEVERITY_DISABLE) {
    std::wstring name = CefString(&settings->log_file).ToWString();
    s.logFile = cefimpl::BesideExecutable(name.empty() ? L"debug.log" : name);
  }
  {
    std::lock_guard<std::mutex> lock(cefimpl::g_logLock);
    cefimpl::g_logPath = s.logFile;
  }
  if (!s.cachePath.empty()) {
    int rc = SHCreateDirectoryExW(nullptr, s.cachePath.c_str(), nullptr);
    if (rc != ERROR_SUCCESS && rc != ERROR_ALREADY_EXISTS && rc != ERROR_FILE_EXISTS)
      cefimpl::EngineLog(LOGSEVERITY_ERROR, "cannot create the cache folder " +
                                                cefimpl::WideToUtf8(s.cachePath) + ", error " +
                                                std::to_string(rc));
  }
  curl_global_init(CURL_GLOBAL_DEFAULT);
  cefimpl::g_engine = e;
  e->fetcher.reset(new cefimpl::NetFetcher(2));
  cefimpl::EngineLog(LOGSEVERITY_INFO,
                     "engine started: locale " + cefimpl::WideToUtf8(s.locale) + ", cache " +
                         cefimpl::WideToUtf8(s.cachePath) + ", " +
                         (s.multiThreaded ? "own UI thread" : "UI on the calling thread"));

  if (s.multiThreaded) {
    cefimpl::ScopedHandle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    cefimpl::g_uiReady = ready.Get();
    if (ready)
      cefimpl::g_uiThread.Reset(
          CreateThread(nullptr, 0, cefimpl::UiThreadMain, nullptr, 0, nullptr));
    if (!cefimpl::g_uiThread) {
      // Without its thread the engine would wait for it for ever: it does not start instead.
      cefimpl::EngineLog(LOGSEVERITY_ERROR, "cannot start the engine's UI thread, error " +
                                                std::to_string(GetLastError()));
      cefimpl::g_uiReady = nullptr;
      e->fetcher.reset();
      cefimpl::g_engine = nullptr;
      delete e;
      return 0;
    }
    WaitForSingleObject(ready.Get(), INFINITE);
    cefimpl::g_uiReady = nullptr;
  } else {
    cefimpl::g_uiRunner = new cefimpl::WindowTaskRunner();
    cefimpl::SetThreadRunner(TID_UI, cefimpl::g_uiRunner);
    if (e->processHandler) {
      CefRefPtr<CefBrowserProcessHandler> handler = e->processHandler;
      CefPostTask(TID_UI, cefimpl::FunctionTask([handler] { handler->OnContextInitialized(); }));
    }
  }
  return 1;
}

void CefShutdown() {
  cef_shutdown();
}

void cef_shutdown() {
  Engine* e = cefimpl::g_engine;
  if (!e)
    return;
  cefimpl::EngineLog(LOGSEVERITY_INFO, "engine shutting down");
  if (e->settings.multiThreaded) {
    CefPostTask(TID_UI, cefimpl::FunctionTask([] {
                  cefimpl::CloseRemainingBrowsers();
                  PostQuitMessage(0);
                }));
    cefimpl::WaitAnsweringSentMessages(cefimpl::g_uiThread.Get(), cefimpl::kUiThreadEndWaitMs);
    cefimpl::g_uiThread.Reset();
  } else {
    cefimpl::CloseRemainingBrowsers();
    cefimpl::SetThreadRunner(TID_UI, nullptr);
    delete cefimpl::g_uiRunner;
    cefimpl::g_uiRunner = nullptr;
  }
  e->browsers.clear();
  e->renderer.reset();  // ends the renderer process
  e->fetcher.reset();   // stops the loads still running
  cefimpl::EngineLog(LOGSEVERITY_INFO, "engine shut down");
  cefimpl::g_engine = nullptr;
  delete e;
}

void CefRunMessageLoop() {
  cef_run_message_loop();
}

void cef_run_message_loop() {
  cefimpl::g_quitLoop = false;
  MSG msg;
  while (!cefimpl::g_quitLoop && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void CefQuitMessageLoop() {
  cef_quit_message_loop();
}

void cef_quit_message_loop() {
  Engine* e = cefimpl::g_engine;
  if (!e || e->settings.multiThreaded)
    return;  // the engine's own thread is ended by CefShutdown
  cefimpl::g_quitLoop = true;
  PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

void CefDoMessageLoopWork() {
  cef_do_message_loop_work();
}

void cef_do_message_loop_work() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void CefEnableHighDPISupport() {
  cef_enable_highdpi_support();
}

void cef_enable_highdpi_support() {
  typedef BOOL(WINAPI * SetDpiAwareFn)();
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  auto fn = user32 ? reinterpret_cast<SetDpiAwareFn>(
                         reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDPIAware")))
                   : nullptr;
  if (fn)
    fn();
}
