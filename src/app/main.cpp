// Entry point of zarvik.exe. The game starts it with five start arguments; this decides the
// process role and, in the browser process, runs start-up, the message loop and the shutdown.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>

#include "app/client_app_browser.h"
#include "app/endpoints.h"
#include "app/game_notify.h"
#include "app/globals.h"
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

namespace {

// Main window messages accepted from other processes.
constexpr UINT WM_CLIENT_EXIT = 0x7E8;

// Until the UI library's main window exists, a plain window of the main window's class stands
// in, so the game can find the client and tell it to end.
LRESULT CALLBACK SkeletonWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLIENT_EXIT:
      LogLine(INFO, "OnRecive Exit Message.");
      PostMessageW(hwnd, WM_CLOSE, 0, 0);
      PostQuitMessage(0);
      return 0;
    case WM_CLOSE:
      LogLine(INFO, "close...");
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      LogLine(INFO, "destroy...");
      PostMessageW(hwnd, WM_QUIT, 0, 0);
      return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND CreateSkeletonMainWindow(HINSTANCE instance) {
  WNDCLASSEXW wc = {sizeof(wc)};
  wc.lpfnWndProc = SkeletonWndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"ZarvikMainWindow";
  RegisterClassExW(&wc);
  RECT work = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  int x = (work.right - work.left - 1480) / 2;
  int y = (work.bottom - work.top - 890) / 2;
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Zarvik", 0x10CE0000, x, y, 1480, 890, nullptr,
                              nullptr, instance, nullptr);
  if (hwnd)
    ShowWindow(hwnd, SW_SHOW);
  return hwnd;
}

void RunMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  if (FAILED(CoInitialize(nullptr)))
    return 0;

  // Every copy of the executable: the engine's process role decides what runs.
  cef_enable_highdpi_support();
  void* sandboxInfo = cef_sandbox_info_create();
  wchar_t processIdText[64];
  swprintf(processIdText, 64, L"CurrentProccessId : %d", static_cast<int>(GetCurrentProcessId()));

  CefMainArgs mainArgs(instance);
  CefRefPtr<CefCommandLine> commandLine = cef_command_line_create();
  commandLine->InitFromString(GetCommandLineW());

  ProcessRole role = ChooseProcessRole(commandLine);
  CefRefPtr<CefApp> app = CreateApplicationObject(role);
  if (role == ProcessRole::kBrowser) {
    g_appBrowser = static_cast<ClientAppBrowser*>(app.get());
  } else {
    OutputDebugStringW(commandLine->GetSwitchValue("type").ToWString().c_str());
  }

  int subProcessResult = cef_execute_process(&mainArgs, app, sandboxInfo);
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

  CreateSkeletonMainWindow(instance);
  RunMessageLoop();

  LogLine(INFO, "exit.");
  PostGameNotify(GAME_NOTIFY_EXIT);
  CLog::Destroy();
  CoUninitialize();
  TerminateSelf();
}
