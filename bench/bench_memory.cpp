// The memory counters of the running client's processes, read from outside, for the memory row
// (bench/bench_memory.py drives it while the client loads pages).
//   bench_memory.exe sample [NAME]  one line per process called NAME (default zarvik.exe):
//                                   "process PID ROLE private B peak-private B working-set B
//                                   peak-working-set B"; ROLE is "renderer" when its parent is a
//                                   process of the same name, else "client"
//   bench_memory.exe close          asks the client's main window to end the client, as the game
//                                   does (WM_CLIENT_EXIT)
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "common/encoding.h"

namespace {

constexpr UINT WM_CLIENT_EXIT = 0x7E8;

int Sample(const std::wstring& name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    std::printf("no process snapshot (error %lu)\n", GetLastError());
    return 1;
  }
  std::map<DWORD, DWORD> parents;  // pid -> parent pid, of the processes called `name`
  PROCESSENTRY32W entry = {sizeof(entry)};
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, name.c_str()) == 0)
      parents[entry.th32ProcessID] = entry.th32ParentProcessID;
  }
  CloseHandle(snapshot);
  int shown = 0;
  for (const auto& process : parents) {
    HANDLE handle =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ, FALSE, process.first);
    if (!handle) {
      std::printf("cannot open process %lu (error %lu)\n", process.first, GetLastError());
      continue;
    }
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(handle, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof(counters))) {
      const bool renderer = parents.count(process.second) != 0;
      std::printf("process %lu %s private %llu peak-private %llu working-set %llu "
                  "peak-working-set %llu\n",
                  process.first, renderer ? "renderer" : "client",
                  static_cast<unsigned long long>(counters.PrivateUsage),
                  static_cast<unsigned long long>(counters.PeakPagefileUsage),
                  static_cast<unsigned long long>(counters.WorkingSetSize),
                  static_cast<unsigned long long>(counters.PeakWorkingSetSize));
      ++shown;
    } else {
      std::printf("no memory counters for process %lu (error %lu)\n", process.first,
                  GetLastError());
    }
    CloseHandle(handle);
  }
  return shown ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "sample") == 0)
    return Sample(zarvik::AnsiToWide(argc >= 3 ? argv[2] : "zarvik.exe"));
  if (argc >= 2 && std::strcmp(argv[1], "close") == 0) {
    HWND window = FindWindowW(L"ZarvikMainWindow", nullptr);
    if (!window) {
      std::printf("no client main window\n");
      return 1;
    }
    PostMessageW(window, WM_CLIENT_EXIT, 0, 0);
    return 0;
  }
  // Started by scripts/bench.sh without a command: the figure needs the client running, which
  // the driver script brings.
  std::printf("bench_memory: run bench/bench_memory.sh for this benchmark\n");
  return 0;
}
