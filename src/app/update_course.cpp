#include "app/update_course.h"

#include <objbase.h>
#include <shellapi.h>

#include "base/endpoints.h"
#include "base/game_notify.h"
#include "base/globals.h"
#include "common/encoding.h"
#include "common/module_path.h"
#include "common/scoped_handle.h"
#include "diagnostics/crash_reporter.h"
#include "diagnostics/log.h"
#include "diagnostics/trace.h"
#include "updater/installer.h"
#include "updater/update_report.h"
#include "updater/update_wnd.h"
#include "updater/version_check.h"
#include "web/server_query.h"

namespace {

// Every right on a process: the other clients are ended while this one installs. Older headers
// give PROCESS_ALL_ACCESS a different value; the system's documented one is used.
constexpr DWORD kAllProcessAccess = STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0xFFFF;
static_assert(kAllProcessAccess == 0x1FFFFF, "PROCESS_ALL_ACCESS of Windows Vista and later");

// The update lock of the running update: never closed, so that it is held until the process
// ends and every other client sees an update in progress.
HANDLE g_updateMutex = nullptr;

void OpenInBrowser(const wchar_t* url) {
  ShellExecuteW(nullptr, L"open", url, nullptr, nullptr, SW_SHOWNORMAL);
}

bool UpdateAllowed(const UpdateCourseSteps& steps) {
  zarvik::trace::Span checkSpan("manifest request and signature check");
  const bool newer = steps.checkNewVersion && steps.checkNewVersion();
  checkSpan.End();
  if (!newer)
    return false;
  zarvik::trace::Span switchSpan("update switch query");
  const bool open = steps.queryUpdateSwitch && steps.queryUpdateSwitch();
  switchSpan.End();
  if (open)
    return true;
  LogLine(INFO, "try to get update privilege.");
  zarvik::trace::Span permissionSpan("update permission query");
  return steps.queryUpdatePermission && steps.queryUpdatePermission();
}

// Creates the update lock with an access list that admits every user of the machine.
HANDLE CreateUpdateMutex(const wchar_t* name, DWORD* error) {
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &descriptor, FALSE};
  HANDLE mutex = CreateMutexW(&attributes, TRUE, name);
  *error = GetLastError();
  return mutex;
}

void RemoveLeftOvers(const UpdateCourseSteps& steps) {
  std::wstring directory = steps.exeDirectory;
  // Another client that holds the update lock is installing right now: its ".old" files are its
  // way back and must stay.
  zarvik::trace::Span mutexSpan("update mutex");
  zarvik::ScopedHandle running(OpenMutexW(SYNCHRONIZE, FALSE, steps.mutexName));
  mutexSpan.End();
  zarvik::trace::Span leftOverSpan("left-overs removed");
  if (running) {
    LogLine(INFO, "another zarvik is updating, keep the update files.");
    return;
  }
  if (steps.deleteOldFiles) {
    std::wstring withoutSeparator = directory;
    if (!withoutSeparator.empty() && withoutSeparator.back() == L'\\')
      withoutSeparator.pop_back();
    steps.deleteOldFiles(withoutSeparator);
  }
  for (const wchar_t* name : {L"zarvik.bin", L"duilib.dll.org", L"update.ini", L"update.ini.sig"}) {
    std::wstring path = directory + name;
    if (zarvik::FileExists(path)) {
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(path.c_str());  // a failure is ignored
    }
  }
}

}  // namespace

UpdateCourseSteps DefaultUpdateCourseSteps() {
  UpdateCourseSteps steps;
  steps.checkNewVersion = &CheckNewVersion;
  steps.queryUpdateSwitch = &QueryUpdateSwitch;
  steps.queryUpdatePermission = &QueryUpdatePermission;
  steps.findOtherInstances = &FindOtherInstances;
  steps.showUpdateWindow = &ShowUpdateWindow;
  steps.sendUpdateReport = &SendUpdateReport;
  steps.openHelpPage = &OpenInBrowser;
  steps.deleteOldFiles = &DeleteOldFiles;
  steps.uninstallCrashReporter = &UninstallCrashReporter;
  steps.exeDirectory = zarvik::ModuleDirectory();
  return steps;
}

bool RunUpdateCourse(bool crashReporterInstalled, const UpdateCourseSteps& steps) {
  if (!UpdateAllowed(steps)) {
    RemoveLeftOvers(steps);
    return false;
  }
  // An update runs: a crash report from here on carries the machine profile.
  WaitForCrashProfile();

  DWORD error = 0;
  zarvik::trace::Span mutexSpan("update mutex");
  zarvik::ScopedHandle mutex(CreateUpdateMutex(steps.mutexName, &error));
  mutexSpan.End();
  LogLine(INFO, "createmutex ret code : ", error);
  if (error == ERROR_ALREADY_EXISTS) {
    PostGameNotify(GAME_NOTIFY_UPDATE_BUSY);
    if (mutex) {
      LogLine(INFO, "release mutex handle obj.");
      ReleaseMutex(mutex.Get());
      mutex.Reset();
    }
    CoUninitialize();
  } else {
    g_updateMutex = mutex.Release();
    PostGameNotify(GAME_NOTIFY_UPDATE_BEGIN);
    std::vector<DWORD> others;
    if (steps.findOtherInstances && steps.findOtherInstances(others)) {
      LogLine(INFO, "begin terminal zarvik instance but this.");
      for (DWORD id : others) {
        zarvik::ScopedHandle process(OpenProcess(kAllProcessAccess, FALSE, id));
        if (process)
          TerminateProcess(process.Get(), 0);
      }
      PostGameNotify(GAME_NOTIFY_INSTANCES_CLOSED);
    }

    int result = steps.showUpdateWindow ? steps.showUpdateWindow(g_gameWnd) : 1;
    LogLine(INFO, "update proc return code : ", result);
    if (result != 0) {
      if (steps.sendUpdateReport)
        steps.sendUpdateReport(true);
      if (steps.openHelpPage)
        steps.openHelpPage(UpdateHelpPageUrl(g_editionIndex));
      PostGameNotify(GAME_NOTIFY_UPDATE_FAIL);
    } else {
      if (steps.sendUpdateReport)
        steps.sendUpdateReport(false);
      LogLine(INFO, "zarvik update success.");
      PostGameNotify(GAME_NOTIFY_UPDATE_OK);
    }
    CoUninitialize();
  }

  if (crashReporterInstalled && steps.uninstallCrashReporter)
    steps.uninstallCrashReporter();
  return true;
}

bool RunUpdateCourse(bool crashReporterInstalled) {
  return RunUpdateCourse(crashReporterInstalled, DefaultUpdateCourseSteps());
}
