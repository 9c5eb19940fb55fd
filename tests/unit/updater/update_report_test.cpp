#include "updater/update_report.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/globals.h"
#include "common/encoding.h"
#include "common/module_path.h"
#include "support/child_process.h"
#include "support/loopback_http_server.h"
#include "support/temp_dir.h"
#include "updater/version_check.h"

using zarvik_test::LoopbackHttpServer;
using zarvik_test::TempDir;

namespace {

// Starts a copy of this test program under `name`, suspended: a process by that name that does
// nothing until it is terminated.
bool StartSuspendedAs(const std::wstring& folder,
                      const std::wstring& name,
                      zarvik_test::ChildProcess* process) {
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring exe = folder + name;
  CopyFileW(zarvik::ModuleFilePath().c_str(), exe.c_str(), FALSE);
  return process->Start(exe, L"", CREATE_SUSPENDED);
}

TEST(OtherInstances, OnlyTheExactNameCounts) {
  TempDir temp;
  const std::wstring name = L"zarvik-instance-probe.exe";
  std::vector<DWORD> ids = {42};
  EXPECT_FALSE(zarvik::FindInstancesNamed(name, ids));
  EXPECT_TRUE(ids.empty());

  zarvik_test::ChildProcess exact, upper;
  ASSERT_TRUE(StartSuspendedAs(temp.File(L"a\\"), name, &exact));
  ASSERT_TRUE(StartSuspendedAs(temp.File(L"b\\"), L"ZARVIK-INSTANCE-PROBE.EXE", &upper));
  bool found = zarvik::FindInstancesNamed(name, ids);
  exact.Kill();
  upper.Kill();
  EXPECT_TRUE(found);
  EXPECT_EQ(ids, std::vector<DWORD>{exact.id()});

  // The own process never counts, whatever its name.
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring ownName = wcsrchr(self, L'\\') + 1;
  zarvik::FindInstancesNamed(ownName, ids);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), GetCurrentProcessId()), 0);
}

TEST(UpdateReport, ReportProgramRequestsTheUrlWithVersionsAndOutcome) {
  EXPECT_EQ(
      zarvik::UpdateReportCommandLine(L"http://h/r", L"1.0.6.18", L"1.0.6.19", true, L"{AB CD}&x"),
      L"http://h/r?oldVersion=1.0.6.18&newVersion=1.0.6.19&errcode=1&guid={AB CD}&x");

  LoopbackHttpServer server;
  ASSERT_TRUE(server.IsListening());
  TempDir temp;
  const std::wstring dir = temp.path();
  ASSERT_TRUE(CopyFileW((zarvik::ModuleDirectory() + L"report.exe").c_str(),
                        (dir + L"report.exe").c_str(), FALSE));
  LocalVersion = L"1.0.6.18";
  NewestVersion = L"1.0.6.19";
  g_guid = L"{0E4C1D2B-55AA-4F00-9C11-ABCDEF012345}";

  struct Case {
    const char* manifest;  // empty: no manifest at all
    bool started;
  } silent[] = {
      {"", false},
      {"[UPDATE]\r\nReport=0\r\nReportURL=http://127.0.0.1:1/r\r\n", false},
      {"[UPDATE]\r\nReportURL=http://127.0.0.1:1/r\r\n", false},
      {"[UPDATE]\r\nReport=1\r\nReportURL=\r\n", false},
  };
  for (const Case& c : silent) {
    SCOPED_TRACE(c.manifest);
    DeleteFileW((dir + L"update.ini").c_str());
    if (*c.manifest) {
      ASSERT_TRUE(zarvik_test::WriteFileBytes(dir + L"update.ini", c.manifest));
    }
    EXPECT_EQ(zarvik::SendUpdateReportFrom(dir, true), c.started);
  }

  ASSERT_TRUE(zarvik_test::WriteFileBytes(
      dir + L"update.ini", "[UPDATE]\r\nReport=1\r\nReportURL=" + server.Url("/report") + "\r\n"));
  ASSERT_TRUE(zarvik::SendUpdateReportFrom(dir, false));
  // report.exe runs on its own; wait for its request.
  for (int i = 0; i < 200 && server.Requests().empty(); ++i)
    Sleep(50);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].requestLine,
            "GET /report?oldVersion=1.0.6.18&newVersion=1.0.6.19&errcode=0"
            "&guid={0E4C1D2B-55AA-4F00-9C11-ABCDEF012345} HTTP/1.1");

  // From the manifest the check accepted, whatever the file on disk says now.
  zarvik::UpdateManifest accepted;
  accepted.report = 0;
  accepted.reportUrl = zarvik::AnsiToWide(server.Url("/accepted"));
  EXPECT_FALSE(zarvik::SendUpdateReportFor(dir, accepted, true));
  accepted.report = 1;
  ASSERT_TRUE(zarvik::SendUpdateReportFor(dir, accepted, true));
  for (int i = 0; i < 200 && server.Requests().size() < 2; ++i)
    Sleep(50);
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(server.Requests()[1].requestLine.rfind("GET /accepted?oldVersion=1.0.6.18&", 0), 0u)
      << server.Requests()[1].requestLine;
  // Let report.exe end before its folder goes.
  for (int i = 0; i < 100 && !DeleteFileW((dir + L"report.exe").c_str()); ++i)
    Sleep(50);
  g_guid.clear();
}

}  // namespace
