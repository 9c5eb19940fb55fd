// The crash reporter (CrashRpt1402.dll) as the client installs it: name and version, the crash
// servlet URL, the report folder, a screenshot of the client's windows and the machine profile.
#pragma once

#include <string>
#include <utility>
#include <vector>

// Installs the reporter for this process; true when it is active. Runs once on the start-up
// thread after COM is initialised. The machine profile's five properties are read on a thread
// of their own (started here unless StartCrashProfile started it) and added to the reporter by
// WaitForCrashProfile.
bool InstallCrashReporter(const std::wstring& webBaseUrl);
// Starts reading the machine profile on a thread of its own (once per process).
void StartCrashProfile();
// Waits (at most 30 s) for the machine profile and adds its properties, in their order, to the
// installed reporter. Start-up calls it before the main window is created.
void WaitForCrashProfile();
// Removes the reporter again (the update course, when InstallCrashReporter returned true), after
// the machine profile's thread has ended.
void UninstallCrashReporter();

// The folder the reports go to, created with every missing level:
// <common application data>\hollmere\Client\Lm\CrashRpt.
std::wstring GetCrashReportDir();

namespace zarvik {
// webBaseUrl + "c/crashServlet?&ip=&version=<version>&detail=&title=&callStack=&osVersion=<os>
// &browserVersion=&terminal=1", nothing escaped.
std::wstring BuildCrashUrl(const std::wstring& webBaseUrl,
                           const std::wstring& version,
                           const std::wstring& osName);
// base + "\hollmere\Client\Lm\CrashRpt", each level created when missing.
std::wstring MakeCrashReportDir(const std::wstring& base);
// The five report properties in the order they are added.
std::vector<std::pair<std::wstring, std::wstring>> CollectCrashProperties(
    const std::wstring& version);
}  // namespace zarvik
