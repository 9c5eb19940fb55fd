// pipe-probe.exe: waits for a process with the given executable name, then keeps trying to open
// the first renderer pipe that process creates ("\\.\pipe\cef-renderer-<pid>-1.in"), as any
// local process could. Records what happened, one line each, in the record file:
//   opened <pipe name>        the probe got the pipe before anyone else
//   disconnected <error>      the pipe's server cut the probe off
//   held                      the probe was still connected when its time ran out
//   gave-up                   no pipe could be opened in time
//   pipe-probe.exe --exe zarvik.exe --record PATH [--seconds N]
#include <windows.h>
// after windows.h
#include <tlhelp32.h>

#include <stdio.h>
#include <wchar.h>

#include <set>
#include <string>

namespace {

FILE* g_record = nullptr;

void Record(const std::string& line) {
  if (g_record) {
    fprintf(g_record, "%s\n", line.c_str());
    fflush(g_record);
  }
}

std::set<DWORD> ProcessesNamed(const wchar_t* name) {
  std::set<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE)
    return ids;
  PROCESSENTRY32W entry = {sizeof(entry)};
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, name) == 0)
      ids.insert(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return ids;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const wchar_t* exe = L"zarvik.exe";
  const wchar_t* record = nullptr;
  DWORD seconds = 60;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!wcscmp(argv[i], L"--exe"))
      exe = argv[i + 1];
    else if (!wcscmp(argv[i], L"--record"))
      record = argv[i + 1];
    else if (!wcscmp(argv[i], L"--seconds"))
      seconds = static_cast<DWORD>(_wtoi(argv[i + 1]));
  }
  if (!record)
    return 2;
  g_record = _wfopen(record, L"w");
  DWORD end = GetTickCount() + seconds * 1000;
  HANDLE pipe = INVALID_HANDLE_VALUE;
  std::wstring name;
  while (pipe == INVALID_HANDLE_VALUE && static_cast<int>(end - GetTickCount()) > 0) {
    for (DWORD pid : ProcessesNamed(exe)) {
      name = L"\\\\.\\pipe\\cef-renderer-" + std::to_wstring(pid) + L"-1.in";
      pipe = CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      if (pipe != INVALID_HANDLE_VALUE)
        break;
    }
    if (pipe == INVALID_HANDLE_VALUE)
      Sleep(1);
  }
  if (pipe == INVALID_HANDLE_VALUE) {
    Record("gave-up");
    return 1;
  }
  Record("opened " + std::string(name.begin(), name.end()));
  // Whatever the server writes is read; a server that refuses the probe disconnects it.
  char buffer[4096];
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
      Record("disconnected " + std::to_string(GetLastError()));
      break;
    }
    if (available > 0) {
      DWORD got = 0;
      ReadFile(pipe, buffer, sizeof(buffer), &got, nullptr);
      Record("read " + std::to_string(got));
    }
    if (static_cast<int>(end - GetTickCount()) <= 0) {
      Record("held");
      break;
    }
    Sleep(10);
  }
  CloseHandle(pipe);
  return 0;
}
