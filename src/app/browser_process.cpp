#include "app/browser_process.h"

#include <cstdio>
#include <string>

#include "app/process_scope.h"
#include "app/start_args.h"
#include "app/startup.h"
#include "app/update_course.h"
#include "base/endpoints.h"
#include "base/game_notify.h"
#include "base/globals.h"
#include "common/encoding.h"
#include "common/module_path.h"
#include "diagnostics/crash_reporter.h"
#include "diagnostics/log.h"
#include "diagnostics/trace.h"
#include "toolkit/ui_library.h"
#include "ui/main_wnd.h"
#include "ui/main_wnd_styles.h"
#include "ui/view_modes.h"
#include "ui/wnd_shadow.h"
#include "voice/vcast_wnd.h"

namespace {

// The main window opens in the complete view, centred on the work area.
static_assert(zarvik::view::kCompleteWidth == 1480 && zarvik::view::kCompleteHeight == 890,
              "the main window opens at 1480 x 890");

// The UI library's problems (missing skins or images) go into the client's log.
void CALLBACK LogUiLibraryProblem(LPCTSTR text) {
  LogLine(ERROR, "ui library: ", zarvik::WideToAnsi(text ? text : L""));
}

void StartLog(const std::wstring& exeDirectory, CURLcode curlReady) {
  CLog::Instance(PrepareLogFile(exeDirectory), true);
  LogLine(INFO, "start zarvik...");
  CLog::WriteHeldLines();  // what the settle of an earlier update found (early_settle.h)
  if (curlReady != CURLE_OK)
    LogLine(ERROR, "libcurl could not be set up: ", curl_easy_strerror(curlReady));
}

// The UI library: this module's resources, the skins in "zarvik.ui" beside the executable.
void SetUpUiLibrary(HINSTANCE instance) {
  // The library is delay-loaded: this first call loads it, so the log route below finds it.
  DuiLib::CPaintManagerUI::SetInstance(instance);
  zarvik::RouteUiLibraryLog(LogUiLibraryProblem);
  DuiLib::CWndShadow::InitShadowSupport(instance);
  DuiLib::CPaintManagerUI::SetResourcePath(DuiLib::CPaintManagerUI::GetInstancePath());
  DuiLib::CPaintManagerUI::SetResourceZip(L"zarvik.ui", false);
}

void FindTheGameWindow() {
  g_gameWnd = FindGameWindow(g_gamePid);
  wchar_t debugText[128];
  std::swprintf(debugText, 128, L"game window handle : %08X,game pid : %d",
                static_cast<unsigned>(reinterpret_cast<UINT_PTR>(g_gameWnd)),
                static_cast<int>(g_gamePid));
  OutputDebugStringW(debugText);
}

// Where the complete view is centred on the work area.
POINT MainWindowOrigin() {
  RECT workArea = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
  return POINT{zarvik::view::CenteredOrigin(workArea.right - workArea.left,
                                            zarvik::view::kCompleteWidth, false),
               zarvik::view::CenteredOrigin(workArea.bottom - workArea.top,
                                            zarvik::view::kCompleteHeight, false)};
}

// Creates and shows the main window at `origin`, then starts the main browser in it.
void OpenMainWindow(CMainWnd& mainWnd, POINT origin) {
  // The machine profile was read meanwhile; a crash report from the first window on carries it.
  zarvik::trace::Span profileSpan("machine profile awaited");
  WaitForCrashProfile();
  profileSpan.End();
  zarvik::trace::Span createSpan("main window created");
  mainWnd.Create(nullptr, L"Zarvik", kMainWndCreateStyle, 0, origin.x, origin.y,
                 zarvik::view::kCompleteWidth, zarvik::view::kCompleteHeight, nullptr);
  createSpan.End();
  zarvik::trace::Span shownSpan("window shown");
  mainWnd.ShowWindow(true, true);
  mainWnd.CenterWindow();
  shownSpan.End();
  mainWnd.InitBrowser();
}

}  // namespace

int RunBrowserProcess(HINSTANCE instance, CURLcode curlReady, ProcessScope& process) {
  std::wstring exeDirectory = zarvik::ModuleDirectory(instance);
  zarvik::trace::Span logSpan("log opened");
  StartLog(exeDirectory, curlReady);
  logSpan.End();

  zarvik::trace::Span argumentSpan("start arguments");
  const bool argumentsGood = ParseStartArguments();
  argumentSpan.End();
  if (!argumentsGood) {
    LogLine(ERROR, "invalid start argument.");
    CLog::Destroy();
    return 0;
  }

  // The machine profile is read meanwhile, on a thread of its own; it joins the reporter's
  // properties before the main window is created.
  StartCrashProfile();
  // The update course uninstalls the reporter only when this installed it.
  zarvik::trace::Span reporterSpan("crash reporter installed");
  const bool crashReporterInstalled =
      InstallCrashReporter(zarvik::AnsiToWide(g_webBaseUrl[g_editionIndex]));
  reporterSpan.End();
  zarvik::trace::Span uiSpan("UI library and skin");
  SetUpUiLibrary(instance);
  uiSpan.End();
  zarvik::trace::Span gameSpan("game window lookup");
  FindTheGameWindow();
  gameSpan.End();

  // Update course: either an update runs (or another process is running one) and this process
  // ends, or the left-overs of an earlier update are removed and the normal start goes on. The
  // log is left to the process's end, and COM with it.
  zarvik::trace::Span courseSpan("update course");
  const bool updateCourseTaken = RunUpdateCourse(crashReporterInstalled);
  courseSpan.End();
  if (updateCourseTaken) {
    process.KeepComOnExit();
    return 0;
  }

  zarvik::trace::Span placeholderSpan("placeholder command interpreter");
  SetPlaceholderCommandInterpreter(exeDirectory);
  placeholderSpan.End();

  // The main window lives in this frame until the process ends itself.
  POINT origin = MainWindowOrigin();
  zarvik::trace::Span constructSpan("main window object");
  CMainWnd mainWnd;
  constructSpan.End();
  g_browserClient = mainWnd.GetBrowserClient();
  OpenMainWindow(mainWnd, origin);

  // The voice window, hidden over the main window until remote video arrives.
  zarvik::trace::Span voiceSpan("voice window");
  if (!mainWnd.GetVoiceWnd())
    mainWnd.SetVoiceWnd(CreateVoiceWindow(mainWnd.GetHWND()));
  voiceSpan.End();
  zarvik::trace::Instant("message loop");

  DuiLib::CPaintManagerUI::MessageLoop();

  LogLine(INFO, "exit.");
  PostGameNotify(GAME_NOTIFY_EXIT);
  CLog::Destroy();
  process.UninitializeCom();
  TerminateSelf();
}
