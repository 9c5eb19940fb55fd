// Entry point of zarvik.exe. The game starts it with five start arguments; this decides the
// process role and, in the browser process, runs start-up, the message loop and the shutdown.
#include <windows.h>
#include <objbase.h>

#include <curl/curl.h>

#include <cstdio>
#include <string>

#include "bridge/browser/client_app_browser.h"
#include "base/endpoints.h"
#include "base/game_notify.h"
#include "base/globals.h"
#include "app/start_args.h"
#include "app/process_role.h"
#include "app/startup.h"
#include "app/update_course.h"
#include "common/encoding.h"
#include "common/module_path.h"
#include "diagnostics/crash_reporter.h"
#include "diagnostics/log.h"
#include "include/cef_app.h"
#include "include/cef_sandbox_win.h"
#include "ui/main_wnd.h"
#include "toolkit/ui_library.h"
#include "ui/wnd_shadow.h"
#include "voice/vcast_wnd.h"

namespace {

// The UI library's problems (missing skins or images) go into the client's log.
void CALLBACK LogUiLibraryProblem(LPCTSTR text) {
  LogLine(ERROR, "ui library: ", zarvik::WideToAnsi(text ? text : L""));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  if (FAILED(CoInitialize(nullptr)))
    return 0;
  // libcurl's global set-up is not thread-safe: it runs here, once, before the engine, the crash
  // reporter and the update course start the threads that make transfers.
  const CURLcode curlReady = curl_global_init(CURL_GLOBAL_DEFAULT);

  // Every copy of the executable: the engine's process role decides what runs.
  CefEnableHighDPISupport();
  void* sandboxInfo = cef_sandbox_info_create();
  wchar_t processIdText[64];
  swprintf(processIdText, 64, L"CurrentProccessId : %d", static_cast<int>(GetCurrentProcessId()));

  CefMainArgs mainArgs(instance);
  CefRefPtr<CefCommandLine> commandLine = CefCommandLine::CreateCommandLine();
  commandLine->InitFromString(GetCommandLineW());

  ProcessRole role = ChooseProcessRole(commandLine);
  CefRefPtr<CefApp> app = CreateApplicationObject(role);
  if (role == ProcessRole::kBrowser) {
    g_appBrowser = static_cast<ClientAppBrowser*>(app.get());
  } else {
    OutputDebugStringW(commandLine->GetSwitchValue("type").ToWString().c_str());
  }

  int subProcessResult = CefExecuteProcess(mainArgs, app, sandboxInfo);
  OutputDebugStringW(processIdText);
  if (subProcessResult >= 0) {
    CoUninitialize();
    commandLine = nullptr;
    app = nullptr;
    cef_sandbox_info_destroy(sandboxInfo);
    return subProcessResult;
  }

  std::wstring exeDirectory = zarvik::ModuleDirectory(instance);
  CLog::Instance(PrepareLogFile(exeDirectory), true);
  LogLine(INFO, "start zarvik...");
  if (curlReady != CURLE_OK)
    LogLine(ERROR, "libcurl could not be set up: ", curl_easy_strerror(curlReady));

  if (!ParseStartArguments()) {
    LogLine(ERROR, "invalid start argument.");
    CLog::Destroy();
    CoUninitialize();
    commandLine = nullptr;
    app = nullptr;
    g_appBrowser = nullptr;
    cef_sandbox_info_destroy(sandboxInfo);
    return 0;
  }

  // The update course uninstalls the reporter only when this installed it.
  const bool crashReporterInstalled =
      InstallCrashReporter(zarvik::AnsiToWide(g_webBaseUrl[g_editionIndex]));

  // The UI library: this module's resources, the skins in "zarvik.ui" beside the executable.
  DuiLib::CPaintManagerUI::SetInstance(instance);
  zarvik::RouteUiLibraryLog(LogUiLibraryProblem);
  DuiLib::CWndShadow::InitShadowSupport(instance);
  DuiLib::CPaintManagerUI::SetResourcePath(DuiLib::CPaintManagerUI::GetInstancePath());
  DuiLib::CPaintManagerUI::SetResourceZip(L"zarvik.ui", false);

  g_gameWnd = FindGameWindow(g_gamePid);
  wchar_t debugText[128];
  swprintf(debugText, 128, L"game window handle : %08X,game pid : %d",
           static_cast<unsigned>(reinterpret_cast<UINT_PTR>(g_gameWnd)),
           static_cast<int>(g_gamePid));
  OutputDebugStringW(debugText);

  // Update course: either an update runs (or another process is running one) and this process
  // ends, or the left-overs of an earlier update are removed and the normal start goes on.
  if (RunUpdateCourse(crashReporterInstalled))
    return 0;

  SetPlaceholderCommandInterpreter(exeDirectory);

  // The main window, centred on the work area, and the main browser in it.
  RECT workArea = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
  int x = (workArea.right - workArea.left - 1480) / 2;
  int y = (workArea.bottom - workArea.top - 890) / 2;
  CMainWnd mainWnd;
  g_browserClient = mainWnd.GetBrowserClient();
  mainWnd.Create(nullptr, L"Zarvik", 0x10CE0000, 0, x, y, 1480, 890, nullptr);
  mainWnd.ShowWindow(true, true);
  mainWnd.CenterWindow();
  mainWnd.InitBrowser();

  // The voice window, hidden over the main window until remote video arrives.
  if (!mainWnd.GetVoiceWnd())
    mainWnd.SetVoiceWnd(CreateVoiceWindow(mainWnd.GetHWND()));

  DuiLib::CPaintManagerUI::MessageLoop();

  LogLine(INFO, "exit.");
  PostGameNotify(GAME_NOTIFY_EXIT);
  CLog::Destroy();
  CoUninitialize();
  TerminateSelf();
}
