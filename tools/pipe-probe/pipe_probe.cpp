// pipe-probe.exe: waits for a process with the given executable name, then, as any local process
// could, either keeps trying to open the first renderer pipe such a process is told on its command
// line ("--renderer-pipe=NAME": NAME.in, read from the renderer's memory), or with --squat
// creates the pipes under the names a renderer pipe would have if it held only the process id and
// a counter ("\\.\pipe\cef-renderer-<pid>-<n>.in" and ".out", n = 1..8) before that process can.
// Records what happened, one line each, in the record file:
//   opened <pipe name>        the probe got the pipe before anyone else
//   disconnected <error>      the pipe's server cut the probe off
//   created <pipe name>       (--squat) the probe created the pipe first
//   held                      the probe was still connected (or held its pipes) when its time ran
//                             out
//   gave-up                   no pipe could be opened (or created) in time
//   pipe-probe.exe --exe zarvik.exe --record PATH [--seconds N] [--squat]
#include <windows.h>
// after windows.h
#include <tlhelp32.h>
#include <winternl.h>

#include <stdio.h>
#include <wchar.h>

#include <set>
#include <string>
#include <vector>

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
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, name) == 0)
      ids.insert(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return ids;
}

// The command line of process |pid|, read from its memory as any process of the same user can;
// empty when it cannot be read (yet).
std::wstring CommandLineOf(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process)
    return L"";
  std::wstring line;
  PROCESS_BASIC_INFORMATION basic = {};
  PEB peb = {};
  RTL_USER_PROCESS_PARAMETERS parameters = {};
  if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) ==
          0 &&
      ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof(peb), nullptr) &&
      peb.ProcessParameters &&
      ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof(parameters), nullptr) &&
      parameters.CommandLine.Buffer && parameters.CommandLine.Length > 0) {
    line.resize(parameters.CommandLine.Length / sizeof(wchar_t));
    if (!ReadProcessMemory(process, parameters.CommandLine.Buffer, &line[0],
                           parameters.CommandLine.Length, nullptr))
      line.clear();
  }
  CloseHandle(process);
  return line;
}

// The pipe a renderer of the watched executable was told on its command line (the browser's end
// it reads from), or empty.
std::wstring FindRendererPipe(DWORD pid) {
  const std::wstring line = CommandLineOf(pid);
  const std::wstring key = L"--renderer-pipe=";
  size_t at = line.find(key);
  if (at == std::wstring::npos)
    return L"";
  at += key.size();
  if (at < line.size() && line[at] == L'"')
    ++at;
  size_t end = line.find_first_of(L"\" ", at);
  return line.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at) + L".in";
}

// Renderers of one process whose guessable pipe names are taken (counters 1 to kSquatted).
const int kSquatted = 8;

// Creates both pipes under the guessable names of the first renderers of every matching process
// as soon as it appears, and holds them until the time runs out.
int Squat(const wchar_t* exe, DWORD end) {
  std::set<DWORD> done;
  std::vector<HANDLE> pipes;
  while (static_cast<int>(end - GetTickCount()) > 0) {
    for (DWORD pid : ProcessesNamed(exe)) {
      if (!done.insert(pid).second)
        continue;
      for (int n = 1; n <= kSquatted; ++n) {
        for (const wchar_t* suffix : {L".in", L".out"}) {
          std::wstring name = L"\\\\.\\pipe\\cef-renderer-" + std::to_wstring(pid) + L"-" +
                              std::to_wstring(n) + suffix;
          HANDLE pipe =
              CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE,
                               PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
          if (pipe == INVALID_HANDLE_VALUE)
            continue;
          pipes.push_back(pipe);
          Record("created " + std::string(name.begin(), name.end()));
        }
      }
    }
    Sleep(1);
  }
  Record(pipes.empty() ? "gave-up" : "held");
  for (HANDLE pipe : pipes)
    CloseHandle(pipe);
  return pipes.empty() ? 1 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const wchar_t* exe = L"zarvik.exe";
  const wchar_t* record = nullptr;
  DWORD seconds = 60;
  bool squat = false;
  for (int i = 1; i < argc; ++i) {
    if (!wcscmp(argv[i], L"--squat")) {
      squat = true;
      continue;
    }
    if (i + 1 >= argc)
      break;
    if (!wcscmp(argv[i], L"--exe"))
      exe = argv[i + 1];
    else if (!wcscmp(argv[i], L"--record"))
      record = argv[i + 1];
    else if (!wcscmp(argv[i], L"--seconds"))
      seconds = static_cast<DWORD>(_wtoi(argv[i + 1]));
    ++i;
  }
  if (!record)
    return 2;
  g_record = _wfopen(record, L"w");
  DWORD end = GetTickCount() + seconds * 1000;
  if (squat)
    return Squat(exe, end);
  HANDLE pipe = INVALID_HANDLE_VALUE;
  std::wstring name;
  while (pipe == INVALID_HANDLE_VALUE && static_cast<int>(end - GetTickCount()) > 0) {
    for (DWORD pid : ProcessesNamed(exe)) {
      name = FindRendererPipe(pid);
      if (name.empty())
        continue;
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
