// CrashRpt1402.dll as a process sees it: the exported calls, and real crashes of a host process
// (crashrpt-probe.exe) with the report folder its sender writes.
#include <windows.h>

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "CrashRpt.h"
#include "common/module_path.h"
#include "support/temp_dir.h"

namespace {

using zarvik_test::ReadFileBytes;
using zarvik_test::TempDir;

std::wstring ProbePath() {
  return zarvik::ModuleDirectory() + L"crashrpt-probe.exe";
}

// Runs the probe with a pipe on its output; Start waits until it printed its first line.
class Probe {
 public:
  ~Probe() {
    if (m_process.hProcess) {
      TerminateProcess(m_process.hProcess, 99);
      WaitForSingleObject(m_process.hProcess, 10000);
      CloseHandle(m_process.hProcess);
      CloseHandle(m_process.hThread);
    }
    if (m_output)
      CloseHandle(m_output);
    if (m_input)
      CloseHandle(m_input);
  }

  std::string Start(const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE write = nullptr, read = nullptr;
    if (!CreatePipe(&m_output, &write, &inherit, 0) || !CreatePipe(&read, &m_input, &inherit, 0))
      return "no pipe";
    SetHandleInformation(m_output, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(m_input, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {sizeof(startup)};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = read;
    startup.hStdOutput = write;
    startup.hStdError = write;
    std::wstring commandLine = L"\"" + ProbePath() + L"\" " + arguments;
    BOOL started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &m_process);
    CloseHandle(write);
    CloseHandle(read);
    if (!started)
      return "not started";
    std::string line;
    char c;
    DWORD count = 0;
    while (ReadFile(m_output, &c, 1, &count, nullptr) && count == 1 && c != '\n')
      line += c;
    return line;
  }

  // Lets a probe started with --raise go on.
  void Go() {
    DWORD written = 0;
    WriteFile(m_input, "\n", 1, &written, nullptr);
  }

  DWORD Pid() const { return m_process.dwProcessId; }

  // Waits for the end of the process; returns its exit code.
  DWORD WaitExit() {
    if (WaitForSingleObject(m_process.hProcess, 60000) != WAIT_OBJECT_0)
      return STILL_ACTIVE;
    DWORD code = 0;
    GetExitCodeProcess(m_process.hProcess, &code);
    return code;
  }

  HANDLE Process() const { return m_process.hProcess; }

 private:
  PROCESS_INFORMATION m_process = {};
  HANDLE m_output = nullptr;
  HANDLE m_input = nullptr;
};

// "--host "<folder>"": without the trailing backslash, which would escape the closing quote.
std::wstring HostArguments(const TempDir& reports) {
  std::wstring folder = reports.path();
  folder.pop_back();
  return L"--host \"" + folder + L"\"";
}

// Threads of the process that fault at address 1 as soon as they run; all are created before
// the first one runs.
void CrashThreadsAtAddressOne(HANDLE process, int count) {
  std::vector<HANDLE> threads;
  for (int i = 0; i < count; ++i) {
    HANDLE thread =
        CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(1),
                           nullptr, CREATE_SUSPENDED, nullptr);
    EXPECT_NE(thread, nullptr) << GetLastError();
    if (thread)
      threads.push_back(thread);
  }
  for (HANDLE thread : threads) {
    ResumeThread(thread);
    CloseHandle(thread);
  }
}

std::vector<std::wstring> SubFolders(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE)
    return names;
  do {
    std::wstring name = data.cFileName;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..")
      names.push_back(name);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

// The sender the probe started; null when there is none.
HANDLE OpenSenderOf(DWORD parentPid) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE)
    return nullptr;
  HANDLE sender = nullptr;
  PROCESSENTRY32W entry = {sizeof(entry)};
  for (BOOL ok = Process32FirstW(snapshot, &entry); ok && !sender;
       ok = Process32NextW(snapshot, &entry)) {
    if (entry.th32ParentProcessID == parentPid &&
        lstrcmpiW(entry.szExeFile, L"CrashSender1402.exe") == 0)
      sender = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return sender;
}

// The sender writes the description after the crashed process has ended; wait for its last line.
std::string WaitForSenderLog(const std::wstring& folder, const char* lastLine) {
  std::string log;
  for (int i = 0; i < 300; ++i) {
    std::vector<std::wstring> reports = SubFolders(folder);
    if (reports.size() == 1) {
      log = ReadFileBytes(folder + reports[0] + L"\\sender.log");
      if (log.find(lastLine) != std::string::npos)
        break;
    }
    Sleep(100);
  }
  return log;
}

TEST(ReporterCalls, RefuseBadRecordsAndCallsWithoutInstallation) {
  EXPECT_NE(crInstallW(nullptr), 0);
  CR_INSTALL_INFOW info = {};
  info.cb = 50;  // an older, shorter record
  EXPECT_NE(crInstallW(&info), 0);
  EXPECT_EQ(crAddPropertyW(L"CPU", L"x"), 1);
  EXPECT_EQ(crAddScreenshot2(CR_AS_PROCESS_WINDOWS, 10), 1);
  EXPECT_EQ(crUninstall(), 1);
}

TEST(ReporterCalls, InstallFailsWithoutTheSender) {
  TempDir empty;
  CR_INSTALL_INFOW info = {};
  info.cb = sizeof(info);
  info.pszCrashSenderPath = empty.path().c_str();
  info.dwFlags = CR_INST_ALL_POSSIBLE_HANDLERS;
  EXPECT_NE(crInstallW(&info), 0);
  EXPECT_EQ(crUninstall(), 1);  // nothing stayed installed
}

TEST(ReporterCalls, InstallAndUninstallRestoreTheProcess) {
  TempDir reports;
  LPTOP_LEVEL_EXCEPTION_FILTER before = SetUnhandledExceptionFilter(nullptr);
  SetUnhandledExceptionFilter(before);

  CR_INSTALL_INFOW info = {};
  info.cb = sizeof(info);
  info.pszAppName = L"Test";
  info.pszErrorReportSaveDir = reports.path().c_str();
  info.dwFlags = CR_INST_ALL_POSSIBLE_HANDLERS;
  ASSERT_EQ(crInstallW(&info), 0);
  EXPECT_NE(crInstallW(&info), 0);  // once per process
  EXPECT_EQ(crAddPropertyW(L"CPU", L"x"), 0);
  EXPECT_NE(crAddPropertyW(nullptr, L"x"), 0);
  EXPECT_EQ(crAddScreenshot2(CR_AS_PROCESS_WINDOWS | CR_AS_USE_JPEG_FORMAT, 10), 0);
  EXPECT_NE(crAddScreenshot2(CR_AS_PROCESS_WINDOWS, 101), 0);
  EXPECT_NE(SetUnhandledExceptionFilter(nullptr), before);  // ours was installed
  SetUnhandledExceptionFilter(before);
  EXPECT_EQ(crUninstall(), 0);
  EXPECT_EQ(crUninstall(), 1);
  EXPECT_EQ(SubFolders(reports.path()).size(), 0u);  // no crash, no report
}

TEST(ReporterCrash, ThreadsCrashingTogetherGiveOneReport) {
  TempDir reports;
  Probe probe;
  std::wstring flags = std::to_wstring(CR_INST_ALL_POSSIBLE_HANDLERS | CR_INST_DONT_SEND_REPORT);
  ASSERT_EQ(probe.Start(HostArguments(reports) + L" " + flags), "ready\r");
  CrashThreadsAtAddressOne(probe.Process(), 2);
  EXPECT_EQ(probe.WaitExit(), 0xC0000005u);

  std::string log = WaitForSenderLog(reports.path(), "description written");
  std::vector<std::wstring> folders = SubFolders(reports.path());
  ASSERT_EQ(folders.size(), 1u);
  std::wstring folder = reports.path() + folders[0] + L"\\";
  EXPECT_NE(log.find("minidump written"), std::string::npos) << log;
  EXPECT_EQ(log.find("restarted"), std::string::npos) << log;
  EXPECT_EQ(ReadFileBytes(folder + L"crashdump.dmp").substr(0, 4), "MDMP");

  std::string xml = ReadFileBytes(folder + L"crashrpt.xml");
  for (const char* piece :
       {"<AppName>Probe</AppName>", "<AppVersion>1.2.3.4</AppVersion>",
        "<ExceptionType>0</ExceptionType>", "<ExceptionCode>0xC0000005</ExceptionCode>",
        "<ExceptionAddress>0x00000001</ExceptionAddress>", "<Prop name=\"First\" value=\"one\"/>",
        u8"<Prop name=\"Second\" value=\"&lt;two &amp; 声&gt;\"/>",
        "<FileItem name=\"crashdump.dmp\""}) {
    SCOPED_TRACE(piece);
    EXPECT_NE(xml.find(piece), std::string::npos) << xml;
  }
  EXPECT_NE(xml.find("<ProcessId>" + std::to_string(probe.Pid()) + "</ProcessId>"),
            std::string::npos);
}

TEST(ReporterCrash, SignalIsReportedWithItsKind) {
  TempDir reports;
  Probe probe;
  std::wstring flags = std::to_wstring(CR_INST_ALL_POSSIBLE_HANDLERS | CR_INST_DONT_SEND_REPORT);
  ASSERT_EQ(
      probe.Start(HostArguments(reports) + L" " + flags + L" --raise " + std::to_wstring(SIGTERM)),
      "ready\r");
  probe.Go();
  EXPECT_EQ(probe.WaitExit(), 3u);
  WaitForSenderLog(reports.path(), "description written");
  std::vector<std::wstring> folders = SubFolders(reports.path());
  ASSERT_EQ(folders.size(), 1u);
  std::string xml = ReadFileBytes(reports.path() + folders[0] + L"\\crashrpt.xml");
  EXPECT_NE(xml.find("<ExceptionType>12</ExceptionType>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<ExceptionTypeName>SIGTERM</ExceptionTypeName>"), std::string::npos);
}

TEST(ReporterCrash, WithoutTheSignalFlagTheSignalIsNotReported) {
  TempDir reports;
  Probe probe;
  std::wstring flags =
      std::to_wstring(CR_INST_STRUCTURED_EXCEPTION_HANDLER | CR_INST_DONT_SEND_REPORT);
  ASSERT_EQ(
      probe.Start(HostArguments(reports) + L" " + flags + L" --raise " + std::to_wstring(SIGTERM)),
      "ready\r");
  HANDLE sender = OpenSenderOf(probe.Pid());
  ASSERT_NE(sender, nullptr);
  probe.Go();
  // The sender ends with its process, and would have written any report before that.
  EXPECT_EQ(WaitForSingleObject(sender, 60000), WAIT_OBJECT_0);
  CloseHandle(sender);
  EXPECT_EQ(probe.WaitExit(), 3u);  // the runtime's own ending
  EXPECT_EQ(SubFolders(reports.path()).size(), 0u);
}

}  // namespace
