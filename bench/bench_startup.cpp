// Start-up, measured from outside: from starting the game (fake-game.exe, which starts the client
// with its start arguments) to the client's main window shown and to the first paint of the live
// hall in its browser window, less the 500 ms pause the task queue takes when it starts; against
// two floors. The bare floor is a Win32 program that opens a window, starts a second process,
// fetches the same page with one HTTP GET (libcurl) and paints its text. The fair floor does the
// work the client's start-up must do, each step bare and one after the other in one program: the
// update manifest's GET and its signature's GET and check (libsodium, the build's key), loading
// the UI library's DLL, then what the bare floor does. The first paint is seen by polling the
// window's pixels: the page is painted once the top of the window holds dark text on its
// background.
//   bench_startup.exe run ROUNDS FAKE_GAME CLIENT URL   takes turns and prints the table's rows
//   bench_startup.exe floor URL                          the bare program (started by "run")
//   bench_startup.exe fair URL MANIFEST_URL UI_DLL       the fair program (started by "run")
//   bench_startup.exe child                              their second process: ends at once
// bench/bench_startup.py prepares a client folder and the demo service and calls "run".
#include <windows.h>

#include <curl/curl.h>
#include <sodium.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/endpoints.h"
#include "bench_clock.h"
#include "common/encoding.h"
#include "updater/package_integrity.h"

namespace {

using zarvik_bench::Now;
using zarvik_bench::Stats;
using zarvik_bench::Summarise;

constexpr UINT WM_CLIENT_EXIT = 0x7E8;
constexpr double kMandatedPause = 0.5;  // the task queue's pause after starting its worker
constexpr double kGiveUp = 90;
const wchar_t kFloorClass[] = L"ZarvikBenchStartupFloor";
const wchar_t kFairClass[] = L"ZarvikBenchStartupFair";

// ---- the bare program ----

std::string g_page;

size_t Append(char* data, size_t size, size_t count, void*) {
  g_page.append(data, size * count);
  return size * count;
}

LRESULT CALLBACK FloorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    if (!g_page.empty()) {
      // The page's text without its markup, as plain lines.
      std::string text;
      bool inTag = false;
      for (char c : g_page) {
        if (c == '<')
          inTag = true;
        else if (c == '>')
          inTag = false;
        else if (!inTag)
          text += c;
      }
      RECT box = {8, 8, client.right - 8, client.bottom - 8};
      DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &box, DT_LEFT | DT_WORDBREAK);
    }
    EndPaint(hwnd, &ps);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// One GET into `body`; false on any failure or a status other than 200.
bool Get(const char* url, std::string* body) {
  CURL* curl = curl_easy_init();
  if (!curl)
    return false;
  curl_easy_setopt(curl, CURLOPT_URL, url);
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(
      curl, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* out) {
        static_cast<std::string*>(out)->append(data, size * count);
        return size * count;
      });
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, body);
  long status = 0;
  const bool ok = curl_easy_perform(curl) == CURLE_OK &&
                  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK &&
                  status == 200;
  curl_easy_cleanup(curl);
  return ok;
}

// The manifest and its detached Ed25519 signature (hex text) from the service, checked against
// the build's key: the update check's mandated work.
bool CheckManifest(const char* manifestUrl) {
  std::string manifest, signature;
  if (!Get(manifestUrl, &manifest) || !Get((std::string(manifestUrl) + ".sig").c_str(), &signature))
    return false;
  const std::string keyHex = zarvik::UpdatePublicKey();
  if (keyHex.empty())
    return true;  // a build without a key checks nothing
  while (!signature.empty() &&
         (signature.back() == '\n' || signature.back() == '\r' || signature.back() == ' '))
    signature.pop_back();
  unsigned char key[crypto_sign_PUBLICKEYBYTES], sig[crypto_sign_BYTES];
  size_t keyLength = 0, sigLength = 0;
  return sodium_init() >= 0 &&
         sodium_hex2bin(key, sizeof(key), keyHex.data(), keyHex.size(), nullptr, &keyLength,
                        nullptr) == 0 &&
         keyLength == sizeof(key) &&
         sodium_hex2bin(sig, sizeof(sig), signature.data(), signature.size(), nullptr, &sigLength,
                        nullptr) == 0 &&
         sigLength == sizeof(sig) &&
         crypto_sign_verify_detached(sig, reinterpret_cast<const unsigned char*>(manifest.data()),
                                     manifest.size(), key) == 0;
}

int Floor(const char* url, const wchar_t* windowClass = kFloorClass) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = FloorProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = windowClass;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, windowClass, L"start-up floor", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                              0, 0, 1480, 890, nullptr, nullptr, wc.hInstance, nullptr);
  if (!hwnd)
    return 1;
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(exe) + L"\" child";
  STARTUPINFOW si = {sizeof(si)};
  PROCESS_INFORMATION pi = {};
  if (CreateProcessW(exe, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url);
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
  const bool fetched = curl_easy_perform(curl) == CURLE_OK;
  curl_easy_cleanup(curl);
  if (!fetched)
    g_page = "<p>the page could not be fetched</p>";
  InvalidateRect(hwnd, nullptr, TRUE);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return fetched ? 0 : 1;
}

// The fair floor: the update check's GET and signature check and the UI library's DLL first,
// then what the bare floor does. A failed step is reported and ends the program without a window.
int Fair(const char* url, const char* manifestUrl, const wchar_t* uiLibrary) {
  if (!CheckManifest(manifestUrl)) {
    std::printf("fair floor: the manifest %s could not be fetched or checked\n", manifestUrl);
    return 1;
  }
  if (!LoadLibraryW(uiLibrary)) {
    std::printf("fair floor: cannot load %ls (error %lu)\n", uiLibrary, GetLastError());
    return 1;
  }
  return Floor(url, kFairClass);
}

// ---- the measurement ----

struct Found {
  DWORD pid;
  const wchar_t* cls;
  HWND window;
};

BOOL CALLBACK FindTop(HWND hwnd, LPARAM lParam) {
  Found* f = reinterpret_cast<Found*>(lParam);
  wchar_t cls[64];
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if ((f->pid == 0 || pid == f->pid) && GetClassNameW(hwnd, cls, 64) &&
      std::wcscmp(cls, f->cls) == 0 && IsWindowVisible(hwnd)) {
    f->window = hwnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindChild(HWND hwnd, LPARAM lParam) {
  Found* f = reinterpret_cast<Found*>(lParam);
  wchar_t cls[64];
  if (GetClassNameW(hwnd, cls, 64) && std::wcscmp(cls, f->cls) == 0 && IsWindowVisible(hwnd)) {
    f->window = hwnd;
    return FALSE;
  }
  return TRUE;
}

// True once the top 120 rows of the window show text: enough dark pixels on a light background.
// The pixels are read from the screen where the window lies (another process's window DC reads
// black here while the client's window is on screen).
bool Painted(HWND hwnd) {
  RECT r;
  if (!GetWindowRect(hwnd, &r) || r.right - r.left < 200 || r.bottom - r.top < 60)
    return false;
  const int w = std::min<LONG>(r.right - r.left, 600), h = std::min<LONG>(r.bottom - r.top, 120);
  HDC dc = GetDC(nullptr);
  if (!dc)
    return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, dc, r.left, r.top, SRCCOPY);
  GdiFlush();
  int light = 0, dark = 0;
  const unsigned char* p = static_cast<const unsigned char*>(bits);
  for (int i = 0; i < w * h; ++i, p += 4) {
    const int sum = p[0] + p[1] + p[2];
    light += sum > 600;
    dark += sum < 200;
  }
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, dc);
  return light > w * h / 2 && dark > 100;
}

struct Times {
  double shown = -1, painted = -1;
};

// Starts `command` and polls until a visible top-level window of class `topClass` appears (in
// any process) and until `paintClass` (that window itself when null, else a child of it) shows
// painted text. Then asks the window to end and waits for `command`'s process.
Times Measure(std::wstring command,
              const wchar_t* topClass,
              const wchar_t* paintClass,
              UINT closeMessage) {
  Times times;
  // What the started program prints (the fake game's record lines) is not this program's output.
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW si = {sizeof(si)};
  if (nul != INVALID_HANDLE_VALUE) {
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = si.hStdError = nul;
  }
  PROCESS_INFORMATION pi = {};
  const double start = Now();
  const BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr,
                                      nul != INVALID_HANDLE_VALUE, 0, nullptr, nullptr, &si, &pi);
  if (nul != INVALID_HANDLE_VALUE)
    CloseHandle(nul);
  if (!started) {
    std::printf("cannot start %ls (error %lu)\n", command.c_str(), GetLastError());
    return times;
  }
  HWND top = nullptr;
  while (Now() - start < kGiveUp && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
    if (!top) {
      Found f = {0, topClass, nullptr};
      EnumWindows(FindTop, reinterpret_cast<LPARAM>(&f));
      if (f.window) {
        top = f.window;
        times.shown = Now() - start;
      }
    }
    if (top) {
      HWND target = top;
      if (paintClass) {
        Found f = {0, paintClass, nullptr};
        EnumChildWindows(top, FindChild, reinterpret_cast<LPARAM>(&f));
        target = f.window;
      }
      if (target && Painted(target)) {
        times.painted = Now() - start;
        break;
      }
    }
    Sleep(2);
  }
  DWORD ownerPid = 0;
  if (top) {
    GetWindowThreadProcessId(top, &ownerPid);
    PostMessageW(top, closeMessage, 0, 0);
  }
  if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) {
    std::printf("%ls did not end; ended by force\n", command.c_str());
    TerminateProcess(pi.hProcess, 1);
  }
  // The client is the game's child: it must be gone before the next round starts.
  if (ownerPid && ownerPid != pi.dwProcessId) {
    HANDLE owner = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, ownerPid);
    if (owner) {
      if (WaitForSingleObject(owner, 30000) != WAIT_OBJECT_0)
        TerminateProcess(owner, 1);
      CloseHandle(owner);
    }
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return times;
}

int Run(int rounds, const std::wstring& game, const std::wstring& client, const std::wstring& url) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  // The fair floor asks the client's own update host and loads the client's own UI library.
  const std::wstring manifestUrl = UpdateManifestUrl(0);
  const std::wstring uiLibrary = client.substr(0, client.find_last_of(L"\\/") + 1) + L"duilib.dll";
  // With ZARVIK_TRACE set, each round of the client writes its own trace beside that name
  // ("<name>.round<N>.json"); the floors run without it.
  wchar_t traceBase[MAX_PATH] = {};
  const bool tracing = GetEnvironmentVariableW(L"ZARVIK_TRACE", traceBase, MAX_PATH) > 0;
  std::vector<double> shown, painted, floor, fair;
  for (int round = 0; round < rounds; ++round) {
    if (tracing)
      SetEnvironmentVariableW(
          L"ZARVIK_TRACE",
          (std::wstring(traceBase) + L".round" + std::to_wstring(round) + L".json").c_str());
    Times ours = Measure(L"\"" + game + L"\" --client \"" + client +
                             L"\" --do \"wait-window 60000; wait-client 600000; exit 0\"",
                         L"ZarvikMainWindow", L"CefBrowserWindow", WM_CLIENT_EXIT);
    SetEnvironmentVariableW(L"ZARVIK_TRACE", nullptr);
    Times bare =
        Measure(L"\"" + std::wstring(exe) + L"\" floor " + url, kFloorClass, nullptr, WM_CLOSE);
    Times same = Measure(L"\"" + std::wstring(exe) + L"\" fair " + url + L" " + manifestUrl +
                             L" \"" + uiLibrary + L"\"",
                         kFairClass, nullptr, WM_CLOSE);
    std::printf(
        "round %d: client window shown %.3f s, hall painted %.3f s; bare program shown "
        "%.3f s, painted %.3f s; fair program shown %.3f s, painted %.3f s\n",
        round, ours.shown, ours.painted, bare.shown, bare.painted, same.shown, same.painted);
    if (ours.painted < 0 || bare.painted < 0 || same.painted < 0) {
      std::printf("a start-up was not seen to its first paint; no figure\n");
      return 1;
    }
    shown.push_back(ours.shown - kMandatedPause);
    painted.push_back(ours.painted - kMandatedPause);
    floor.push_back(bare.painted);
    fair.push_back(same.painted);
  }
  Stats s = Summarise(shown), p = Summarise(painted), f = Summarise(floor), g = Summarise(fair);
  std::printf(
      "less the %.1f s pause: main window shown %.3f s, hall painted %.3f s (medians of "
      "%d); bare program painted %.3f s, fair program painted %.3f s\n",
      kMandatedPause, s.median, p.median, rounds, f.median, g.median);
  std::printf(
      "ROW\tstart-up: game start to the hall's first paint, less mandated pauses, vs bare "
      "window + process + HTTP GET\ts\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\t-\n",
      p.median, p.min, p.max, f.median, f.min, f.max);
  std::printf(
      "ROW\tstart-up vs the fair floor: manifest GET + signature check + UI library DLL + "
      "window + process + page GET + paint\ts\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\t"
      "<=1.5\n",
      p.median, p.min, p.max, g.median, g.min, g.max);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "child") == 0)
    return 0;
  curl_global_init(CURL_GLOBAL_DEFAULT);
  if (argc >= 3 && std::strcmp(argv[1], "floor") == 0)
    return Floor(argv[2]);
  if (argc >= 5 && std::strcmp(argv[1], "fair") == 0)
    return Fair(argv[2], argv[3], zarvik::AnsiToWide(argv[4]).c_str());
  if (argc >= 6 && std::strcmp(argv[1], "run") == 0)
    return Run(std::max(1, std::atoi(argv[2])), zarvik::AnsiToWide(argv[3]),
               zarvik::AnsiToWide(argv[4]), zarvik::AnsiToWide(argv[5]));
  std::printf("bench_startup: run bench/bench_startup.sh for this benchmark\n");
  return 0;
}
