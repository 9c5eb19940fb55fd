// The update course of start-up: before the main window exists, decide whether this run installs
// a newer version instead of showing the client. Either the update runs under the update window
// and the process ends, or the left-overs of an earlier update are removed and the normal start
// goes on.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The update lock: held by the process that installs, from before it touches the installation
// until it ends.
constexpr wchar_t kUpdateMutexName[] = L"Global\\ZARVIK_UPMUTEX";

// What the course calls. Start-up fills in the parts that live elsewhere; a missing service
// query answers no, a missing window fails the update, a missing reporter is not uninstalled.
struct UpdateCourseSteps {
  bool (*checkNewVersion)() = nullptr;
  bool (*queryUpdateSwitch)() = nullptr;
  bool (*queryUpdatePermission)() = nullptr;
  bool (*findOtherInstances)(std::vector<DWORD>& processIds) = nullptr;
  // Shows the update window modally over the game's window; its result (0 = new files in place).
  int (*showUpdateWindow)(HWND gameWnd) = nullptr;
  void (*sendUpdateReport)(bool failed) = nullptr;
  void (*openHelpPage)(const wchar_t* url) = nullptr;
  // The clean-up of an earlier update; the directory without a trailing separator.
  void (*deleteOldFiles)(const std::wstring& directory) = nullptr;
  void (*uninstallCrashReporter)() = nullptr;  // the crash reporter's crUninstall
  std::wstring exeDirectory;                   // with a trailing backslash
  const wchar_t* mutexName = kUpdateMutexName;
};

// The steps of the running client.
UpdateCourseSteps DefaultUpdateCourseSteps();

// True when the update course was taken (busy or run) and the process must end; false for the
// normal start. `crashReporterInstalled` is the result of the crash reporter's installation.
bool RunUpdateCourse(bool crashReporterInstalled, const UpdateCourseSteps& steps);
// The course with the client's own steps.
bool RunUpdateCourse(bool crashReporterInstalled);
