#include "updater/update_report.h"

#include <tlhelp32.h>

#include <cstdio>

#include "base/globals.h"
#include "common/encoding.h"
#include "common/module_path.h"
#include "common/scoped_handle.h"
#include "diagnostics/log.h"
#include "updater/version_check.h"

namespace zarvik {

namespace {

// Starts report.exe of `directory` when the manifest asks for a report.
bool StartReport(const std::wstring& directory,
                 int report,
                 const std::wstring& reportUrl,
                 bool failed) {
  if (report == 0 || reportUrl.empty())
    return false;
  std::wstring commandLine =
      UpdateReportCommandLine(reportUrl, LocalVersion, NewestVersion, failed, g_guid);
  const std::wstring program = directory + L"report.exe";
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION process = {};
  // A failure to start the report program is not the user's concern.
  if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &process))
    return false;
  // The report runs on by itself; nothing here waits for it.
  ScopedHandle thread(process.hThread);
  ScopedHandle reportProcess(process.hProcess);
  return true;
}

}  // namespace

bool FindInstancesNamed(const std::wstring& exeName, std::vector<DWORD>& processIds) {
  LogLine(INFO, "check the other zarvik instance is runing.");
  processIds.clear();
  // A failed snapshot is INVALID_HANDLE_VALUE, which the owner never closes.
  ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) {
    LogLine(INFO, "check task finished & the instance number is : ", 0);
    return false;
  }
  const DWORD self = GetCurrentProcessId();
  PROCESSENTRY32W entry = {sizeof(entry)};
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == self || exeName != entry.szExeFile)
      continue;
    wchar_t debugText[400];
    swprintf(debugText, 400,
             L"processEntry32.th32ProcessID = %d processEntry32.szExeFile = %ls currentpid=%d",
             static_cast<int>(entry.th32ProcessID), entry.szExeFile, static_cast<int>(self));
    OutputDebugStringW(debugText);
    processIds.push_back(entry.th32ProcessID);
  }
  LogLine(INFO, "check task finished & the instance number is : ", processIds.size());
  return !processIds.empty();
}

std::wstring UpdateReportCommandLine(const std::wstring& reportUrl,
                                     const std::wstring& oldVersion,
                                     const std::wstring& newVersion,
                                     bool failed,
                                     const std::wstring& guid) {
  return reportUrl + L"?oldVersion=" + oldVersion + L"&newVersion=" + newVersion + L"&errcode=" +
         (failed ? L"1" : L"0") + L"&guid=" + guid;
}

bool SendUpdateReportFrom(const std::wstring& directory, bool failed) {
  const std::wstring manifest = directory + L"update.ini";
  if (!FileExists(manifest))
    return false;
  wchar_t reportUrl[260] = {};
  GetPrivateProfileStringW(L"UPDATE", L"ReportURL", L"", reportUrl, 260, manifest.c_str());
  return StartReport(directory, GetPrivateProfileIntW(L"UPDATE", L"Report", 0, manifest.c_str()),
                     reportUrl, failed);
}

bool SendUpdateReportFor(const std::wstring& directory,
                         const UpdateManifest& manifest,
                         bool failed) {
  return StartReport(directory, manifest.report, manifest.reportUrl, failed);
}

}  // namespace zarvik

bool FindOtherInstances(std::vector<DWORD>& processIds) {
  return zarvik::FindInstancesNamed(L"zarvik.exe", processIds);
}

void SendUpdateReport(bool failed) {
  // The manifest the check accepted, when there is one: the copy on disk may have been replaced
  // since (another client start writes it).
  if (const zarvik::UpdateManifest* manifest = zarvik::AcceptedManifest())
    zarvik::SendUpdateReportFor(zarvik::ModuleDirectory(), *manifest, failed);
  else
    zarvik::SendUpdateReportFrom(zarvik::ModuleDirectory(), failed);
}
