// crashrpt-probe.exe: a test tool for the crash reporter.
//   crashrpt-probe.exe --crash PID
//       starts a thread at address 1 in process PID, which crashes it with an access violation
//       through its own unhandled-exception handling (no hook in the target needed)
//   crashrpt-probe.exe --host SAVE_DIR FLAGS [--url URL] [--raise SIGNAL]
//       installs the reporter with the given report folder and CR_INST_* flags (decimal or 0x),
//       adds two properties, prints "ready" and waits until it is crashed or killed; with
//       --raise it raises that C signal itself once a line arrives on its input
#include <windows.h>

#include <shellapi.h>

#include <csignal>
#include <cstdio>
#include <cwchar>

#include "CrashRpt.h"

namespace {

int Crash(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
  if (!process) {
    std::printf("cannot open process %lu: %lu\n", pid, GetLastError());
    return 2;
  }
  HANDLE thread = CreateRemoteThread(
      process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(1), nullptr, 0, nullptr);
  if (!thread) {
    std::printf("cannot start the thread: %lu\n", GetLastError());
    CloseHandle(process);
    return 3;
  }
  std::printf("crash thread started\n");
  CloseHandle(thread);
  CloseHandle(process);
  return 0;
}

int Host(const wchar_t* saveDir, DWORD flags, const wchar_t* url, int signal) {
  CR_INSTALL_INFOW info = {};
  info.cb = sizeof(info);
  info.pszAppName = L"Probe";
  info.pszAppVersion = L"1.2.3.4";
  info.pszUrl = url;
  info.uPriorities[CR_HTTP] = url ? 3 : CR_NEGATIVE_PRIORITY;
  info.dwFlags = flags;
  info.pszErrorReportSaveDir = saveDir;
  int result = crInstallW(&info);
  if (result != 0) {
    std::printf("install failed %d\n", result);
    return 10 + result;
  }
  crAddPropertyW(L"First", L"one");
  crAddPropertyW(L"Second", L"<two & \u58f0>");
  std::printf("ready\n");
  std::fflush(stdout);
  if (signal) {
    std::getchar();
    std::raise(signal);
  }
  for (;;)
    Sleep(1000);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wcscmp(argv[1], L"--crash") == 0)
    return Crash(std::wcstoul(argv[2], nullptr, 10));
  if (argc >= 4 && std::wcscmp(argv[1], L"--host") == 0) {
    const wchar_t* url = nullptr;
    int signal = 0;
    for (int i = 4; i + 1 < argc; i += 2) {
      if (std::wcscmp(argv[i], L"--url") == 0)
        url = argv[i + 1];
      else if (std::wcscmp(argv[i], L"--raise") == 0)
        signal = _wtoi(argv[i + 1]);
    }
    return Host(argv[2], std::wcstoul(argv[3], nullptr, 0), url, signal);
  }
  std::printf(
      "usage: crashrpt-probe --crash PID | --host SAVE_DIR FLAGS [--url URL] [--raise N]\n");
  return 1;
}
