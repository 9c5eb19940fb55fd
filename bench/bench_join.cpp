// The floor of the join round trip: the least a page's join request must cost when it crosses
// from one process to another and comes back with a result. This program starts a copy of itself
// that owns a window and a 4-byte record in a named mapping; per call it sends the request text
// with WM_COPYDATA (the copy stores a new value in the record before it answers), then opens the
// mapping, reads the 4 bytes and closes it again, as the renderer reads the join result.
//   bench_join.exe [BATCHES [CALLS]]   prints "floor-ms X", the mean per call, for each batch
//                                      of CALLS calls (after a few unmeasured calls)
//   bench_join.exe --client [BATCHES [CALLS]]  the same requests to the running client's main
//                                      window and its join result record: "main-window-ms X"
//                                      (the browser process's share of the page's round trip)
//   bench_join.exe --close             ends the running client as the game does
// bench/bench_join.py runs it beside the client's own round trip and prints the table's row.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "bench_clock.h"

namespace {

constexpr int kWarmUp = 10;
const wchar_t kClass[] = L"ZarvikBenchJoinFloor";
LONG* g_record = nullptr;
LONG g_answers = 0;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    // The wParam is the join request's tag.
    if (wParam != 0x10 || !data || !data->lpData)
      return FALSE;
    // The request is read as the client reads it: a copy of the text, split at its separators.
    std::wstring text(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
    size_t fields = 1;
    for (wchar_t c : text)
      fields += c == L'@';
    InterlockedExchange(g_record, fields >= 3 ? ++g_answers : -1);
    return TRUE;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::wstring MappingName(DWORD parent) {
  return L"Local\\ZarvikBenchJoinRecord" + std::to_wstring(parent);
}

// The answering side: a hidden top-level window and the record, until the window is closed.
int Child(DWORD parent, const wchar_t* readyEvent) {
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0x1000,
                                      MappingName(parent).c_str());
  g_record = mapping ? static_cast<LONG*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 4)) : nullptr;
  if (!g_record)
    return 1;
  WNDCLASSW wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClass;
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, kClass, (L"join floor " + std::to_wstring(parent)).c_str(),
                              WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                              wc.hInstance, nullptr);
  if (!hwnd)
    return 1;
  HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, readyEvent);
  if (ready) {
    SetEvent(ready);
    CloseHandle(ready);
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  UnmapViewOfFile(g_record);
  CloseHandle(mapping);
  return 0;
}

// Sends the join request to `target` in batches and prints the mean time per call of each batch
// as "TAG X" (ms). Each call reads the record after the answer, as the renderer does. Returns how
// many answers were wrong: with `counting` the record must hold the number of calls so far (the
// floor's answer), else the value the window returned as the message result (the client's).
int TimeCalls(HWND target, const std::wstring& mappingName, bool counting, int batches, int calls,
              const char* tag) {
  const std::wstring request = L"1@2@bench";
  int wrong = 0, done = 0;
  auto call = [&] {
    COPYDATASTRUCT data = {0, static_cast<DWORD>((request.size() + 1) * sizeof(wchar_t)),
                           const_cast<wchar_t*>(request.c_str())};
    const LRESULT result =
        SendMessageW(target, WM_COPYDATA, 0x10, reinterpret_cast<LPARAM>(&data));
    LONG value = -1;
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, mappingName.c_str());
    if (mapping) {
      const LONG* view = static_cast<const LONG*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 4));
      if (view) {
        value = *view;
        UnmapViewOfFile(view);
      }
      CloseHandle(mapping);
    }
    ++done;
    if (value != (counting ? done : static_cast<LONG>(result)) && ++wrong == 1)
      std::printf("call %d: the record holds %ld, the answer was %ld\n", done, value,
                  static_cast<long>(result));
  };
  for (int i = 0; i < kWarmUp; ++i)
    call();
  for (int b = 0; b < batches; ++b) {
    const double start = zarvik_bench::Now();
    for (int i = 0; i < calls; ++i)
      call();
    std::printf("%s %.4f\n", tag, (zarvik_bench::Now() - start) * 1000 / calls);
  }
  return wrong;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc >= 4 && std::wcscmp(argv[1], L"--child") == 0)
    return Child(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)), argv[3]);
  if (argc >= 2 && std::wcscmp(argv[1], L"--close") == 0) {
    // Ends the running client as the game does (WM_CLIENT_EXIT to its main window).
    HWND window = FindWindowW(L"ZarvikMainWindow", nullptr);
    return window && PostMessageW(window, 0x7E8, 0, 0) ? 0 : 1;
  }
  if (argc >= 2 && std::wcscmp(argv[1], L"--client") == 0) {
    // The running client's main window and its join result record, without the renderer.
    HWND window = FindWindowW(L"ZarvikMainWindow", nullptr);
    if (!window) {
      std::printf("no client main window\n");
      return 1;
    }
    const int wrong =
        TimeCalls(window, L"zarvik-sharememory-object", false,
                  argc >= 3 ? std::max(1, _wtoi(argv[2])) : 8,
                  argc >= 4 ? std::max(1, _wtoi(argv[3])) : 100, "main-window-ms");
    if (wrong)
      std::printf("%d answers were not in the join result record\n", wrong);
    return wrong ? 1 : 0;
  }
  const int batches = argc >= 2 ? std::max(1, _wtoi(argv[1])) : 8;
  const int calls = argc >= 3 ? std::max(1, _wtoi(argv[2])) : 100;

  const DWORD self = GetCurrentProcessId();
  const std::wstring eventName = L"Local\\ZarvikBenchJoinReady" + std::to_wstring(self);
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(exe) + L"\" --child " + std::to_wstring(self) +
                         L" " + eventName;
  STARTUPINFOW si = {sizeof(si)};
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(exe, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::printf("cannot start the answering process (error %lu)\n", GetLastError());
    return 1;
  }
  HANDLE waits[2] = {ready, pi.hProcess};
  if (WaitForMultipleObjects(2, waits, FALSE, 30000) != WAIT_OBJECT_0) {
    std::printf("the answering process did not get ready\n");
    TerminateProcess(pi.hProcess, 1);
    return 1;
  }
  HWND target = FindWindowW(kClass, (L"join floor " + std::to_wstring(self)).c_str());
  if (!target) {
    std::printf("the answering window cannot be found\n");
    TerminateProcess(pi.hProcess, 1);
    return 1;
  }

  const int wrong = TimeCalls(target, MappingName(self), true, batches, calls, "floor-ms");
  PostMessageW(target, WM_CLOSE, 0, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  CloseHandle(ready);
  if (wrong) {
    std::printf("%d answers did not reach the record\n", wrong);
    return 1;
  }
  return 0;
}
