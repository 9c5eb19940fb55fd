// Around an update: the search for other running instances of the client, and the update report
// sent by the separate program "report.exe".
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Fills `processIds` with the other running "zarvik.exe" processes (exact, case-sensitive
// name); true when there is at least one.
bool FindOtherInstances(std::vector<DWORD>& processIds);

// Starts "report.exe" beside the executable with the report URL of the manifest when the
// manifest asks for a report (the manifest the version check accepted, else the file beside the
// executable); does not wait for it.
void SendUpdateReport(bool failed);

namespace zarvik {

struct UpdateManifest;

// The process search for another executable name (the tests use their own).
bool FindInstancesNamed(const std::wstring& exeName, std::vector<DWORD>& processIds);

// "<ReportURL>?oldVersion=..&newVersion=..&errcode=0|1&guid=..", nothing escaped.
std::wstring UpdateReportCommandLine(const std::wstring& reportUrl,
                                     const std::wstring& oldVersion,
                                     const std::wstring& newVersion,
                                     bool failed,
                                     const std::wstring& guid);

// SendUpdateReport for the installation `directory` (with trailing backslash) from its manifest
// file; true when report.exe was started.
bool SendUpdateReportFrom(const std::wstring& directory, bool failed);
// The same from the manifest the version check accepted ("Report", "ReportURL").
bool SendUpdateReportFor(const std::wstring& directory,
                         const UpdateManifest& manifest,
                         bool failed);

}  // namespace zarvik
