// fake-game.exe plays the game for the demo and the end-to-end tests: it owns a top-level window,
// starts the client with the five start arguments, records every notification the client posts
// to it, and drives the client's main window from a small script.
//
//   fake-game.exe --client PATH [--login TEXT] [--marker TEXT] [--pid N] [--server TEXT]
//                 [--guid TEXT] [--no-exe-path] [--args "RAW FIELDS"] [--record FILE]
//                 [--do "CMD; CMD; ..."]
//
// Script commands (separated by ';'):
//   wait-window [MS]        wait for the client's main window ("ZarvikMainWindow")
//   sleep MS
//   command WPARAM [LPARAM] post WM_COMMAND (numbers in decimal or 0x hex)
//   timer ID                post WM_TIMER with that id
//   client-exit             post WM_CLIENT_EXIT (0x7E8)
//   close                   post WM_CLOSE
//   message MSG WPARAM LPARAM  post any message
//   wait-notify MSG [MS]    wait until that notification arrived
//   window-info             record the client window's place and styles:
//                           "window X Y W H style 0x.. exstyle 0x.. iconic N visible N"
//                           and "screen W H work L T R B"
//   click X Y               post a left click at client point X,Y (move, button down, button up)
//   browser-key VK          post a key press (down and up) of that virtual key to the browser
//                           window inside the client's window ("CefBrowserWindow")
//   browser-rclick X Y      post a right click at point X,Y of the browser window
//   menus                   record how many pop-up menus are shown: "menus N"
//   hittest X Y             send WM_NCHITTEST for client point X,Y; records "hittest N"
//   copydata TEXT [BYTES]   send WM_COPYDATA with tag 0x10 and TEXT as UTF-16 (with its
//                           terminator unless BYTES, a byte count, is given); records
//                           "copydata-result N"
//   join-record             record the value in the join result mapping: "join-record N" or
//                           "join-record-missing"
//   wait-client [MS]        wait for the client process to end; records its exit code
//   kill-client             terminate the client process
//   exit CODE               end the fake game with that exit code
// Without "exit" the fake game waits for the client to end and exits with 0.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr UINT kFirstNotify = 0x1857B;
constexpr UINT kLastNotify = 0x18580;
constexpr UINT WM_CLIENT_EXIT = 0x7E8;
constexpr UINT WM_RUN_DONE = WM_APP + 1;

std::mutex g_recordLock;
FILE* g_record = nullptr;
std::vector<UINT> g_notifications;
HANDLE g_notifyEvent = nullptr;
PROCESS_INFORMATION g_client = {};
HWND g_window = nullptr;
int g_exitCode = 0;

void Record(const std::string& line) {
  std::lock_guard<std::mutex> guard(g_recordLock);
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  if (g_record) {
    std::fprintf(g_record, "%s\n", line.c_str());
    std::fflush(g_record);
  }
}

std::string Narrow(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size - 1 : 0, '\0');
  if (size > 1)
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], size, nullptr, nullptr);
  return out;
}

LRESULT CALLBACK GameWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= kFirstNotify && message <= kLastNotify) {
    char line[96];
    std::snprintf(line, sizeof(line), "notify 0x%X 0x%08X", message, static_cast<unsigned>(wParam));
    Record(line);
    {
      std::lock_guard<std::mutex> guard(g_recordLock);
      g_notifications.push_back(message);
    }
    SetEvent(g_notifyEvent);
    return 0;
  }
  if (message == WM_RUN_DONE) {
    DestroyWindow(hwnd);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::wstring Quote(const std::wstring& field) {
  if (!field.empty() && field.find_first_of(L" \t\"") == std::wstring::npos)
    return field;
  std::wstring out = L"\"";
  for (wchar_t c : field) {
    if (c == L'"')
      out += L'\\';
    out += c;
  }
  return out + L"\"";
}

unsigned long ParseNumber(const std::wstring& text) {
  return std::wcstoul(text.c_str(), nullptr, 0);
}

struct ClientWindowSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindClientWindow(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<ClientWindowSearch*>(lParam);
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == search->pid && std::wcscmp(cls, L"ZarvikMainWindow") == 0) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND ClientWindow() {
  ClientWindowSearch search = {g_client.dwProcessId, nullptr};
  EnumWindows(FindClientWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void WaitClient(DWORD ms) {
  if (!g_client.hProcess)
    return;
  if (WaitForSingleObject(g_client.hProcess, ms) == WAIT_OBJECT_0) {
    DWORD code = 0;
    GetExitCodeProcess(g_client.hProcess, &code);
    Record("client-exit " + std::to_string(code));
  } else {
    Record("client-still-running");
  }
}

bool Post(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND target = ClientWindow();
  if (!target) {
    Record("no-client-window");
    return false;
  }
  PostMessageW(target, message, wParam, lParam);
  return true;
}

void RecordWindowInfo() {
  HWND hwnd = ClientWindow();
  if (!hwnd) {
    Record("no-client-window");
    return;
  }
  RECT rect = {};
  GetWindowRect(hwnd, &rect);
  char line[200];
  std::snprintf(line, sizeof(line), "window %ld %ld %ld %ld style 0x%08lX exstyle 0x%08lX iconic %d visible %d",
                rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                static_cast<unsigned long>(GetWindowLongW(hwnd, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongW(hwnd, GWL_EXSTYLE)),
                IsIconic(hwnd) ? 1 : 0, IsWindowVisible(hwnd) ? 1 : 0);
  Record(line);
  RECT work = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  std::snprintf(line, sizeof(line), "screen %d %d work %ld %ld %ld %ld",
                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), work.left, work.top,
                work.right, work.bottom);
  Record(line);
}

void Click(int x, int y) {
  LPARAM point = MAKELPARAM(x, y);
  if (Post(WM_MOUSEMOVE, 0, point)) {
    Sleep(50);
    Post(WM_LBUTTONDOWN, MK_LBUTTON, point);
    Sleep(50);
    Post(WM_LBUTTONUP, 0, point);
  }
}

void BrowserKey(WPARAM key) {
  HWND client = ClientWindow();
  HWND browser = client ? FindWindowExW(client, nullptr, L"CefBrowserWindow", nullptr) : nullptr;
  if (!browser) {
    Record("no-browser-window");
    return;
  }
  PostMessageW(browser, WM_KEYDOWN, key, 1);
  PostMessageW(browser, WM_KEYUP, key, 0xC0000001);
}

void BrowserRightClick(int x, int y) {
  HWND client = ClientWindow();
  HWND browser = client ? FindWindowExW(client, nullptr, L"CefBrowserWindow", nullptr) : nullptr;
  if (!browser) {
    Record("no-browser-window");
    return;
  }
  PostMessageW(browser, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
  PostMessageW(browser, WM_RBUTTONUP, 0, MAKELPARAM(x, y));
}

BOOL CALLBACK CountMenus(HWND hwnd, LPARAM lParam) {
  wchar_t cls[16] = {};
  GetClassNameW(hwnd, cls, 16);
  if (std::wcscmp(cls, L"#32768") == 0 && IsWindowVisible(hwnd))
    ++*reinterpret_cast<int*>(lParam);
  return TRUE;
}

void HitTest(int x, int y) {
  HWND target = ClientWindow();
  if (!target) {
    Record("no-client-window");
    return;
  }
  POINT pt = {x, y};
  ClientToScreen(target, &pt);
  DWORD_PTR result = 0;
  SendMessageTimeoutW(target, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y), SMTO_NORMAL, 10000,
                      &result);
  Record("hittest " + std::to_string(static_cast<long>(result)));
}

void SendCopyData(const std::wstring& text, const std::wstring& bytes) {
  HWND target = ClientWindow();
  if (!target) {
    Record("no-client-window");
    return;
  }
  std::wstring data = text;  // keeps its terminator in the buffer either way
  COPYDATASTRUCT copy = {};
  copy.dwData = 0;
  copy.lpData = &data[0];
  copy.cbData = bytes.empty() ? static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))
                              : static_cast<DWORD>(ParseNumber(bytes));
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(target, WM_COPYDATA, 0x10, reinterpret_cast<LPARAM>(&copy),
                           SMTO_NORMAL, 10000, &result)) {
    Record("copydata-failed");
    return;
  }
  Record("copydata-result " + std::to_string(static_cast<long>(result)));
}

void RecordJoinRecord() {
  HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, L"zarvik-sharememory-object");
  if (!mapping) {
    Record("join-record-missing");
    return;
  }
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 4);
  if (view) {
    Record("join-record " + std::to_string(*static_cast<const int*>(view)));
    UnmapViewOfFile(view);
  } else {
    Record("join-record-missing");
  }
  CloseHandle(mapping);
}

// Runs the script on its own thread while the window thread receives notifications.
void RunScript(std::vector<std::wstring> commands) {
  bool exitRequested = false;
  for (const std::wstring& command : commands) {
    std::wistringstream in(command);
    std::wstring verb, a, b, c;
    in >> verb >> a >> b >> c;
    if (verb.empty())
      continue;
    Record("do " + Narrow(command));
    if (verb == L"wait-window") {
      DWORD limit = a.empty() ? 30000 : ParseNumber(a);
      DWORD start = GetTickCount();
      HWND hwnd = nullptr;
      while (!(hwnd = ClientWindow()) && GetTickCount() - start < limit)
        Sleep(50);
      Record(hwnd ? "client-window" : "no-client-window");
    } else if (verb == L"sleep") {
      Sleep(ParseNumber(a));
    } else if (verb == L"command") {
      Post(WM_COMMAND, ParseNumber(a), b.empty() ? 0 : ParseNumber(b));
    } else if (verb == L"timer") {
      Post(WM_TIMER, ParseNumber(a), 0);
    } else if (verb == L"client-exit") {
      Post(WM_CLIENT_EXIT, 0, 0);
    } else if (verb == L"close") {
      Post(WM_CLOSE, 0, 0);
    } else if (verb == L"message") {
      Post(ParseNumber(a), ParseNumber(b), ParseNumber(c));
    } else if (verb == L"wait-notify") {
      UINT wanted = ParseNumber(a);
      DWORD limit = b.empty() ? 30000 : ParseNumber(b);
      DWORD start = GetTickCount();
      bool seen = false;
      while (!seen && GetTickCount() - start < limit) {
        {
          std::lock_guard<std::mutex> guard(g_recordLock);
          for (UINT n : g_notifications)
            seen = seen || n == wanted;
        }
        if (!seen)
          WaitForSingleObject(g_notifyEvent, 100);
      }
      Record(seen ? "notify-seen" : "notify-missing");
    } else if (verb == L"window-info") {
      RecordWindowInfo();
    } else if (verb == L"click") {
      Click(static_cast<int>(ParseNumber(a)), static_cast<int>(ParseNumber(b)));
    } else if (verb == L"browser-key") {
      BrowserKey(ParseNumber(a));
    } else if (verb == L"browser-rclick") {
      BrowserRightClick(static_cast<int>(ParseNumber(a)), static_cast<int>(ParseNumber(b)));
    } else if (verb == L"menus") {
      int count = 0;
      EnumWindows(CountMenus, reinterpret_cast<LPARAM>(&count));
      Record("menus " + std::to_string(count));
    } else if (verb == L"hittest") {
      HitTest(static_cast<int>(ParseNumber(a)), static_cast<int>(ParseNumber(b)));
    } else if (verb == L"copydata") {
      SendCopyData(a, b);
    } else if (verb == L"join-record") {
      RecordJoinRecord();
    } else if (verb == L"wait-client") {
      WaitClient(a.empty() ? 30000 : ParseNumber(a));
    } else if (verb == L"kill-client") {
      if (g_client.hProcess)
        TerminateProcess(g_client.hProcess, 1);
    } else if (verb == L"exit") {
      g_exitCode = static_cast<int>(ParseNumber(a));
      exitRequested = true;
      break;
    } else {
      Record("unknown-command " + Narrow(verb));
    }
  }
  if (!exitRequested)
    WaitClient(INFINITE);
  PostMessageW(g_window, WM_RUN_DONE, 0, 0);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring client, login = L"demo-login", marker = L"XVEND_{4B1E7C29-8D05-4f3a-9C62-1E0B7A95D3F8}";
  std::wstring pid = std::to_wstring(GetCurrentProcessId()), server = L"1";
  std::wstring guid = L"{6F9619FF-8B86-D011-B42D-00C04FC964FF}", raw, recordPath, script;
  bool withExePath = true, rawSet = false;
  for (int i = 1; i < argc; ++i) {
    std::wstring key = argv[i];
    std::wstring value = i + 1 < argc ? argv[i + 1] : L"";
    if (key == L"--no-exe-path") {
      withExePath = false;
      continue;
    }
    ++i;
    if (key == L"--client") client = value;
    else if (key == L"--login") login = value;
    else if (key == L"--marker") marker = value;
    else if (key == L"--pid") pid = value;
    else if (key == L"--server") server = value;
    else if (key == L"--guid") guid = value;
    else if (key == L"--args") { raw = value; rawSet = true; }
    else if (key == L"--record") recordPath = value;
    else if (key == L"--do") script = value;
  }
  if (!recordPath.empty())
    g_record = _wfopen(recordPath.c_str(), L"w");
  g_notifyEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);

  WNDCLASSW wc = {};
  wc.lpfnWndProc = GameWndProc;
  wc.hInstance = instance;
  wc.lpszClassName = L"ZarvikFakeGameWindow";
  RegisterClassW(&wc);
  g_window = CreateWindowExW(0, wc.lpszClassName, L"Fake game", WS_OVERLAPPEDWINDOW, 0, 0, 320, 200,
                             nullptr, nullptr, instance, nullptr);
  char line[64];
  std::snprintf(line, sizeof(line), "game-window 0x%08X pid %lu",
                static_cast<unsigned>(reinterpret_cast<UINT_PTR>(g_window)), GetCurrentProcessId());
  Record(line);

  if (client.empty()) {
    Record("error no --client given");
    return 2;
  }
  std::wstring fields = rawSet ? raw
                               : Quote(login) + L" " + Quote(marker) + L" " + Quote(pid) + L" " +
                                     Quote(server) + L" " + Quote(guid);
  std::wstring commandLine = withExePath ? Quote(client) + L" " + fields : fields;
  STARTUPINFOW si = {sizeof(si)};
  if (!CreateProcessW(client.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &si, &g_client)) {
    Record("error cannot start client " + std::to_string(GetLastError()));
    return 3;
  }
  Record("client-started pid " + std::to_string(g_client.dwProcessId));

  std::vector<std::wstring> commands;
  std::wstringstream split(script);
  std::wstring item;
  while (std::getline(split, item, L';'))
    commands.push_back(item);
  std::thread runner(RunScript, commands);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  runner.join();
  Record("fake-game-exit " + std::to_string(g_exitCode));
  if (g_record)
    std::fclose(g_record);
  return g_exitCode;
}
