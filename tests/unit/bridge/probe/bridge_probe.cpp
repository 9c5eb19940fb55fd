// bridge-probe.exe: runs the client's renderer application object in a real renderer process
// and plays the main window for it: a window of the main window's class that records every
// bridge message it receives and answers join requests by writing the join result record.
// Page console lines and the commands' own marks go to the record file, one line each.
//
//   bridge-probe.exe --record=FILE --log=FILE --cache=DIR [--no-main-window]
//                    [--join-results=N,N,...] "--do=command ;; command ;; ..."
//
// Commands: browser URL | load URL | wait TEXT [@MS] | js CODE | js-last CODE | msg NAME [INT] |
//           sleep MS
//           bench-copydata N
// "bench-copydata N" starts this program again as a plain second process that sends N join
// requests straight to the main window and reads the record after each (the bare cost of what
// the page's JoinChannel does); with the page's benchJoin(N) it gives the bridge benchmark:
//   bridge-probe.exe ... "--do=browser http://HOST/liveRoom.action?register=0 ;;
//     wait stream node ;; js benchJoin(500) ;; wait bench join ;; bench-copydata 500"
// "load", "js" and "msg" go to the first browser (the main browser, whose main frame the client
// sends its page notices to); "js-last" to the newest. All browsers share one renderer.
// Join results are handed out one per request; the last one repeats (default 0).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "app/process_role.h"
#include "bridge/common/bridge_messages.h"
#include "bridge/common/join_result_record.h"
#include "common/encoding.h"
#include "include/cef_app.h"
#include "include/cef_browser.h"
#include "include/cef_client.h"
#include "support/message_pump.h"
#include "support/probe_record.h"

namespace {

zarvik_test::ProbeRecord g_record;
std::vector<int> g_joinResults;
size_t g_joins = 0;
HANDLE g_joinRecord = nullptr;

std::string Hex(unsigned long value) {
  char text[16];
  snprintf(text, sizeof(text), "0x%lX", value);
  return text;
}

// The main window's side of a join request: the text as it arrived, then the record.
void AnswerJoin(WPARAM tag, const COPYDATASTRUCT* data) {
  std::string line = "copydata wparam=" + Hex(static_cast<unsigned long>(tag)) +
                     " bytes=" + std::to_string(data->cbData);
  size_t units = data->cbData / sizeof(wchar_t);
  const auto* text = static_cast<const wchar_t*>(data->lpData);
  bool terminated = units > 0 && text[units - 1] == L'\0';
  std::wstring body(text, terminated ? units - 1 : units);
  line += std::string(" terminated=") + (terminated ? "1" : "0") +
          " units=" + std::to_string(body.size());
  // Long keys: the head and the tail are enough to see they arrived whole.
  if (body.size() > 200)
    body = body.substr(0, 100) + L"..." + body.substr(body.size() - 20);
  g_record.Add(line + " text=" + zarvik::WideToUtf8(body));

  int result =
      g_joinResults.empty() ? 0 : g_joinResults[std::min(g_joins, g_joinResults.size() - 1)];
  ++g_joins;
  if (!g_joinRecord)
    g_joinRecord = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      kJoinResultMappingSize, kJoinResultMappingName);
  void* view = g_joinRecord ? MapViewOfFile(g_joinRecord, FILE_MAP_WRITE, 0, 0, 4) : nullptr;
  if (view) {
    std::memcpy(view, &result, 4);
    UnmapViewOfFile(view);
  }
  g_record.Add("join answered " + std::to_string(result));
}

// Tag of the benchmark client's report to the main window.
constexpr WPARAM kBenchReport = 0x99;

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COPYDATA:
      if (wParam == kBenchReport) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        g_record.Add(std::string(static_cast<const char*>(data->lpData), data->cbData));
        return 1;
      }
      AnswerJoin(wParam, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      return 1;
    case WM_BRIDGE_LIVE_ROOM:
      g_record.Add("live-room wparam=" + Hex(wParam) + " lparam=" + Hex(lParam));
      return 0;
    case WM_BRIDGE_LEAVE_CHANNEL:
      g_record.Add("leave-channel wparam=" + Hex(wParam) + " lparam=" + Hex(lParam));
      return 0;
    case WM_BRIDGE_CHANGE_BACKGROUND:
      g_record.Add("background wparam=" + Hex(wParam) + " lparam=" + Hex(lParam));
      return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class ProbeClient : public CefClient,
                    public CefDisplayHandler,
                    public CefLifeSpanHandler,
                    public CefLoadHandler {
 public:
  CefRefPtr<CefDisplayHandler> GetDisplayHandler() override { return this; }
  CefRefPtr<CefLifeSpanHandler> GetLifeSpanHandler() override { return this; }
  CefRefPtr<CefLoadHandler> GetLoadHandler() override { return this; }

  bool OnConsoleMessage(CefRefPtr<CefBrowser>,
                        cef_log_severity_t,
                        const CefString& message,
                        const CefString&,
                        int) override {
    g_record.Add("console " + message.ToString());
    return false;
  }
  void OnAfterCreated(CefRefPtr<CefBrowser> browser) override {
    std::lock_guard<std::mutex> lock(m_lock);
    m_browsers.push_back(browser);
  }
  void OnBeforeClose(CefRefPtr<CefBrowser> browser) override {
    std::lock_guard<std::mutex> lock(m_lock);
    for (auto it = m_browsers.begin(); it != m_browsers.end(); ++it) {
      if ((*it)->IsSame(browser)) {
        m_browsers.erase(it);
        break;
      }
    }
  }
  void OnLoadEnd(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame> frame, int status) override {
    g_record.Add("load-end " + frame->GetURL().ToString());
  }
  CefRefPtr<CefBrowser> Browser() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_browsers.empty() ? nullptr : m_browsers.front();
  }
  CefRefPtr<CefBrowser> Last() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_browsers.empty() ? nullptr : m_browsers.back();
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_browsers.size();
  }

 private:
  std::mutex m_lock;
  std::vector<CefRefPtr<CefBrowser>> m_browsers;
  IMPLEMENT_REFCOUNTING(ProbeClient);
};

CefRefPtr<ProbeClient> g_client;
HWND g_host = nullptr;

using zarvik_test::PumpUntil;

std::vector<std::string> SplitCommands(const std::string& text) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(";;", pos);
    std::string part = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    size_t a = part.find_first_not_of(' '), b = part.find_last_not_of(' ');
    if (a != std::string::npos)
      out.push_back(part.substr(a, b - a + 1));
    if (end == std::string::npos)
      break;
    pos = end + 2;
  }
  return out;
}

// The benchmark's second process: N join requests with the record read after each, timed.
int RunCopyDataClient(int count) {
  HWND target = FindWindowW(kMainWindowClass, nullptr);
  if (!target)
    return 1;
  const std::wstring text = L"1@2@bench";
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  for (int i = 0; i < count; ++i) {
    COPYDATASTRUCT data = {};
    data.cbData = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(text.c_str());
    SendMessageW(target, WM_COPYDATA, COPYDATA_JOIN_CHANNEL, reinterpret_cast<LPARAM>(&data));
    ReadJoinResult(kJoinResultMappingName);
  }
  QueryPerformanceCounter(&end);
  long long us = (end.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart;
  std::string report =
      "bench copydata n=" + std::to_string(count) + " total_us=" + std::to_string(us);
  COPYDATASTRUCT data = {};
  data.cbData = static_cast<DWORD>(report.size());
  data.lpData = const_cast<char*>(report.data());
  SendMessageW(target, WM_COPYDATA, kBenchReport, reinterpret_cast<LPARAM>(&data));
  return 0;
}

bool StartCopyDataClient(int count) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring command =
      L"\"" + std::wstring(exe) + L"\" --copydata-client=" + std::to_wstring(count);
  STARTUPINFOW si = {sizeof(si)};
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

int RunCommands(const std::vector<std::string>& commands) {
  for (const std::string& command : commands) {
    size_t space = command.find(' ');
    std::string verb = command.substr(0, space);
    std::string rest = space == std::string::npos ? std::string() : command.substr(space + 1);
    g_record.Add("> " + command);
    if (verb == "browser") {
      CefWindowInfo info;
      RECT rect = {0, 0, 900, 600};
      info.SetAsChild(g_host, rect);
      CefBrowserSettings settings;
      size_t before = g_client->Count();
      CefBrowserHost::CreateBrowser(info, g_client.get(), rest, settings, nullptr, nullptr);
      if (!PumpUntil([before] { return g_client->Count() > before; }, 20000))
        return 2;
    } else if (verb == "load") {
      g_client->Browser()->GetMainFrame()->LoadURL(rest);
    } else if (verb == "wait") {
      DWORD ms = 30000;
      std::string text = rest;
      size_t at = rest.rfind(" @");
      if (at != std::string::npos &&
          rest.find_first_not_of("0123456789", at + 2) == std::string::npos) {
        ms = static_cast<DWORD>(atoi(rest.c_str() + at + 2));
        text = rest.substr(0, at);
      }
      if (!PumpUntil([&text] { return g_record.Contains(text); }, ms)) {
        g_record.Add("timeout waiting for " + text);
        return 2;
      }
    } else if (verb == "js" || verb == "js-last") {
      CefRefPtr<CefBrowser> browser = verb == "js" ? g_client->Browser() : g_client->Last();
      CefRefPtr<CefFrame> frame = browser->GetMainFrame();
      frame->ExecuteJavaScript(rest, frame->GetURL(), 0);
    } else if (verb == "msg") {
      // "msg NAME" sends no argument at all; "msg NAME INT" one integer.
      std::istringstream in(rest);
      std::string name;
      in >> name;
      CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(name);
      int value = 0;
      if (in >> value)
        message->GetArgumentList()->SetInt(0, value);
      g_client->Browser()->GetMainFrame()->SendProcessMessage(PID_RENDERER, message);
    } else if (verb == "bench-copydata") {
      if (!StartCopyDataClient(atoi(rest.c_str())) ||
          !PumpUntil([] { return g_record.Contains("bench copydata"); }, 120000)) {
        g_record.Add("bench copydata failed");
        return 2;
      }
    } else if (verb == "sleep") {
      PumpUntil([] { return false; }, static_cast<DWORD>(atoi(rest.c_str())));
    } else {
      g_record.Add("unknown command " + verb);
      return 2;
    }
  }
  return 0;
}

std::vector<int> ParseResults(const std::string& text) {
  std::vector<int> values;
  std::istringstream in(text);
  std::string item;
  while (std::getline(in, item, ','))
    values.push_back(atoi(item.c_str()));
  return values;
}

}  // namespace

int main() {
  CefMainArgs args(GetModuleHandleW(nullptr));
  CefRefPtr<CefCommandLine> line = CefCommandLine::CreateCommandLine();
  line->InitFromString(GetCommandLineW());
  // The same role choice as the client's: the renderer runs the client's ClientAppRenderer.
  ProcessRole role = ChooseProcessRole(line);
  CefRefPtr<CefApp> app = CreateApplicationObject(role);
  int code = CefExecuteProcess(args, app, nullptr);
  if (code >= 0)
    return code;
  if (line->HasSwitch("copydata-client"))
    return RunCopyDataClient(atoi(line->GetSwitchValue("copydata-client").ToString().c_str()));

  g_record.Open(line->GetSwitchValue("record").ToWString());
  g_joinResults = ParseResults(line->GetSwitchValue("join-results").ToString());

  CefSettings settings;
  settings.multi_threaded_message_loop = 1;
  CefString(&settings.cache_path) = line->GetSwitchValue("cache");
  CefString(&settings.log_file) = line->GetSwitchValue("log");
  CefString(&settings.locale) = "zh-CN";
  CefInitialize(args, settings, app, nullptr);

  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW host = {sizeof(host)};
  host.lpfnWndProc = DefWindowProcW;
  host.hInstance = instance;
  host.lpszClassName = L"BridgeProbeHost";
  RegisterClassExW(&host);
  g_host = CreateWindowExW(0, host.lpszClassName, L"Bridge probe",
                           WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 900, 600, nullptr,
                           nullptr, instance, nullptr);
  HWND mainWnd = nullptr;
  if (!line->HasSwitch("no-main-window")) {
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.lpszClassName = kMainWindowClass;
    RegisterClassExW(&wc);
    mainWnd = CreateWindowExW(0, wc.lpszClassName, L"Zarvik", WS_POPUP, 0, 0, 10, 10, nullptr,
                              nullptr, instance, nullptr);
  }
  g_client = new ProbeClient();

  int result = RunCommands(SplitCommands(line->GetSwitchValue("do").ToString()));
  if (mainWnd)
    DestroyWindow(mainWnd);
  DestroyWindow(g_host);
  CefShutdown();
  g_client = nullptr;
  if (g_joinRecord)
    CloseHandle(g_joinRecord);
  g_record.Add("probe-exit " + std::to_string(result));
  printf("probe-exit %d\n", result);
  return result;
}
