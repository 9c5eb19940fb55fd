// cef-probe.exe: a small browser-process program on the engine, driven by a command script, that
// records every client handler call (one line each) for the end-to-end tests. It is its own
// renderer too (--type=renderer).
//
//   cef-probe.exe --record=FILE --log=FILE --cache=DIR [--allow-popups] [--cancel=TEXT]
//                 [--keep-menu] [--accept-drop] [--error-page]
//                 [--shutdown-on-close] [--subprocess=EXE] "--do=command ;; command ;; ..."
//
// --subprocess names the renderer's executable (the engine's browser_subprocess_path); without
// it the probe is its own renderer.
//
// Commands: browser URL | load URL | wait TEXT [#COUNT] [@MS] | js CODE | msg NAME INT | key VK |
//           click X Y | rclick X Y | drop PATH | close | shutdown | renderer-gone |
//           click-link | menu-check MS | kill-renderer | die |
//           sleep MS | capture FILE
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "include/base/cef_bind.h"
#include "include/cef_app.h"
#include "include/cef_browser.h"
#include "include/cef_client.h"
#include "include/wrapper/cef_closure_task.h"
#include "probe_app.h"
#include "support/message_pump.h"
#include "support/probe_record.h"

namespace {

// Not the echoed commands, nor the renderer's command line that repeats them.
zarvik_test::ProbeRecord g_record{"RendererCommandLine "};
DWORD g_mainThread = 0;
HWND g_mainWnd = nullptr;
DWORD g_rendererPid = 0;
bool g_allowPopups = false, g_keepMenu = false, g_acceptDrop = false, g_errorPage = false;
bool g_shutdownOnClose = false;  // the second WM_CLOSE shuts the engine down before destroying
std::string g_cancel;

std::string Str(const CefString& s) {
  return s.ToString();
}

class ProbeClient : public CefClient,
                    public CefDisplayHandler,
                    public CefLifeSpanHandler,
                    public CefLoadHandler,
                    public CefRequestHandler,
                    public CefKeyboardHandler,
                    public CefDragHandler,
                    public CefContextMenuHandler {
 public:
  CefRefPtr<CefContextMenuHandler> GetContextMenuHandler() override { return this; }
  CefRefPtr<CefDisplayHandler> GetDisplayHandler() override { return this; }
  CefRefPtr<CefDragHandler> GetDragHandler() override { return this; }
  CefRefPtr<CefKeyboardHandler> GetKeyboardHandler() override { return this; }
  CefRefPtr<CefLifeSpanHandler> GetLifeSpanHandler() override { return this; }
  CefRefPtr<CefLoadHandler> GetLoadHandler() override { return this; }
  CefRefPtr<CefRequestHandler> GetRequestHandler() override { return this; }

  bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser,
                                CefRefPtr<CefFrame> frame,
                                CefProcessId source,
                                CefRefPtr<CefProcessMessage> message) override {
    Check("OnProcessMessageReceived");
    CefRefPtr<CefListValue> args = message->GetArgumentList();
    std::string name = Str(message->GetName());
    if (name == "probe-call") {
      g_rendererPid = static_cast<DWORD>(args->GetInt(1));
      Add("Message name=probe-call text=" + Str(args->GetString(0)) + " pid=" +
          std::to_string(args->GetInt(1)) + " browserpid=" + std::to_string(GetCurrentProcessId()) +
          " source=" + std::to_string(source));
      Add("RendererCommandLine " + Str(args->GetString(2)));
      CefRefPtr<CefProcessMessage> reply = CefProcessMessage::Create("probe-reply");
      reply->GetArgumentList()->SetInt(0, 42);
      frame->SendProcessMessage(PID_RENDERER, reply);
    } else if (name == "probe-types") {
      Add("Message name=probe-types " + Str(args->GetString(0)));
    } else {
      Add("Message name=" + name + " value=" + std::to_string(args->GetInt(0)) +
          " renderthread=" + std::to_string(args->GetInt(1)));
    }
    return true;
  }

  // CefDisplayHandler
  void OnAddressChange(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>, const CefString& url) override {
    Check("OnAddressChange");
    Add("OnAddressChange url=" + Str(url));
  }
  void OnTitleChange(CefRefPtr<CefBrowser>, const CefString& title) override {
    Check("OnTitleChange");
    Add("OnTitleChange title=" + Str(title));
  }
  void OnFullscreenModeChange(CefRefPtr<CefBrowser>, bool fullscreen) override {
    Check("OnFullscreenModeChange");
    Add(std::string("OnFullscreenModeChange ") + (fullscreen ? "1" : "0"));
  }
  bool OnConsoleMessage(CefRefPtr<CefBrowser>,
                        cef_log_severity_t level,
                        const CefString& message,
                        const CefString& source,
                        int line) override {
    Check("OnConsoleMessage");
    Add("OnConsoleMessage level=" + std::to_string(level) + " line=" + std::to_string(line) +
        " source=" + Str(source) + " message=" + Str(message));
    return false;
  }

  // CefLifeSpanHandler
  bool OnBeforePopup(CefRefPtr<CefBrowser>,
                     CefRefPtr<CefFrame>,
                     const CefString& target_url,
                     const CefString& target_frame_name,
                     CefLifeSpanHandler::WindowOpenDisposition disposition,
                     bool user_gesture,
                     const CefPopupFeatures&,
                     CefWindowInfo&,
                     CefRefPtr<CefClient>&,
                     CefBrowserSettings&,
                     CefRefPtr<CefDictionaryValue>&,
                     bool*) override {
    Check("OnBeforePopup");
    Add("OnBeforePopup url=" + Str(target_url) + " name=" + Str(target_frame_name) +
        " disposition=" + std::to_string(disposition) + " gesture=" + (user_gesture ? "1" : "0"));
    return !g_allowPopups;
  }
  void OnAfterCreated(CefRefPtr<CefBrowser> browser) override {
    Check("OnAfterCreated");
    {
      std::lock_guard<std::mutex> lock(m_lock);
      m_browsers.push_back(browser);
    }
    HWND hwnd = browser->GetHost()->GetWindowHandle();
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    RECT r = {};
    GetWindowRect(hwnd, &r);
    char text[256];
    snprintf(text, sizeof(text), "OnAfterCreated id=%d popup=%d class=%ls parent=%d size=%ldx%ld",
             browser->GetIdentifier(), browser->IsPopup() ? 1 : 0, cls,
             GetParent(hwnd) == g_mainWnd && g_mainWnd ? 1 : 0, r.right - r.left, r.bottom - r.top);
    Add(text);
  }
  bool DoClose(CefRefPtr<CefBrowser> browser) override {
    Check("DoClose");
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_browsers.size() == 1)
      m_closing = true;
    Add("DoClose id=" + std::to_string(browser->GetIdentifier()));
    return false;
  }
  void OnBeforeClose(CefRefPtr<CefBrowser> browser) override {
    Check("OnBeforeClose");
    std::lock_guard<std::mutex> lock(m_lock);
    for (auto it = m_browsers.begin(); it != m_browsers.end(); ++it) {
      if ((*it)->IsSame(browser)) {
        m_browsers.erase(it);
        break;
      }
    }
    Add("OnBeforeClose id=" + std::to_string(browser->GetIdentifier()));
  }

  // CefLoadHandler
  void OnLoadingStateChange(CefRefPtr<CefBrowser>, bool isLoading, bool, bool) override {
    Check("OnLoadingStateChange");
    Add(std::string("OnLoadingStateChange loading=") + (isLoading ? "1" : "0"));
  }
  void OnLoadStart(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame> frame, TransitionType) override {
    Check("OnLoadStart");
    Add("OnLoadStart url=" + Str(frame->GetURL()));
  }
  void OnLoadEnd(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame> frame, int status) override {
    Check("OnLoadEnd");
    Add("OnLoadEnd url=" + Str(frame->GetURL()) + " status=" + std::to_string(status));
  }
  void OnLoadError(CefRefPtr<CefBrowser>,
                   CefRefPtr<CefFrame> frame,
                   ErrorCode code,
                   const CefString& text,
                   const CefString& url) override {
    Check("OnLoadError");
    Add("OnLoadError url=" + Str(url) + " code=" + std::to_string(code) + " text=" + Str(text));
    // As a browser client shows a failure: an error document in the failing frame.
    if (g_errorPage && code != ERR_ABORTED) {
      frame->LoadString("<html><body><h2>Failed to load URL " + Str(url) + " with error " +
                            Str(text) + " (" + std::to_string(code) + ").</h2></body></html>",
                        url);
    }
  }

  // CefRequestHandler
  bool OnBeforeBrowse(CefRefPtr<CefBrowser>,
                      CefRefPtr<CefFrame>,
                      CefRefPtr<CefRequest> request,
                      bool user_gesture,
                      bool is_redirect) override {
    Check("OnBeforeBrowse");
    std::string url = Str(request->GetURL());
    Add("OnBeforeBrowse url=" + url + " redirect=" + (is_redirect ? "1" : "0") +
        " gesture=" + (user_gesture ? "1" : "0"));
    return !g_cancel.empty() && url.find(g_cancel) != std::string::npos;
  }
  void OnRenderProcessTerminated(CefRefPtr<CefBrowser> browser, TerminationStatus status) override {
    Check("OnRenderProcessTerminated");
    Add("OnRenderProcessTerminated id=" + std::to_string(browser->GetIdentifier()) +
        " status=" + std::to_string(status));
  }

  // CefKeyboardHandler
  bool OnPreKeyEvent(CefRefPtr<CefBrowser>,
                     const CefKeyEvent& event,
                     CefEventHandle os_event,
                     bool*) override {
    Check("OnPreKeyEvent");
    char text[128];
    snprintf(text, sizeof(text), "OnPreKeyEvent type=%d code=%d msg=0x%X", event.type,
             event.windows_key_code, os_event ? os_event->message : 0);
    Add(text);
    return false;
  }

  // CefDragHandler
  bool OnDragEnter(CefRefPtr<CefBrowser>,
                   CefRefPtr<CefDragData> data,
                   DragOperationsMask) override {
    Check("OnDragEnter");
    std::vector<CefString> names;
    data->GetFileNames(names);
    std::string files;
    for (auto& n : names)
      files += Str(n) + "|";
    Add("OnDragEnter files=" + files);
    return !g_acceptDrop;
  }

  // CefContextMenuHandler
  void OnBeforeContextMenu(CefRefPtr<CefBrowser>,
                           CefRefPtr<CefFrame>,
                           CefRefPtr<CefContextMenuParams> params,
                           CefRefPtr<CefMenuModel> model) override {
    Check("OnBeforeContextMenu");
    Add("OnBeforeContextMenu items=" + std::to_string(model->GetCount()) +
        " x=" + std::to_string(params->GetXCoord()) + " y=" + std::to_string(params->GetYCoord()));
    if (!g_keepMenu)
      model->Clear();
  }

  // Main window side.
  bool IsClosing() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_closing;
  }
  CefRefPtr<CefBrowser> First() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_browsers.empty() ? nullptr : m_browsers.front();
  }
  CefRefPtr<CefBrowser> Last() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_browsers.empty() ? nullptr : m_browsers.back();
  }
  void CloseAllBrowsers(bool force) {
    if (!CefCurrentlyOn(TID_UI)) {
      CefPostTask(TID_UI,
                  CefCreateClosureTask(base::Bind(&ProbeClient::CloseAllBrowsers, this, force)));
      return;
    }
    std::vector<CefRefPtr<CefBrowser>> browsers;
    {
      std::lock_guard<std::mutex> lock(m_lock);
      browsers = m_browsers;
    }
    for (auto& b : browsers)
      b->GetHost()->CloseBrowser(force);
  }

 private:
  void Add(const std::string& line) { g_record.Add(line); }
  // Every handler runs on the engine's UI thread, never on the main window's.
  void Check(const char* handler) {
    if (!CefCurrentlyOn(TID_UI) || GetCurrentThreadId() == g_mainThread)
      Add(std::string("WRONG-THREAD ") + handler);
  }
  std::mutex m_lock;
  std::vector<CefRefPtr<CefBrowser>> m_browsers;
  bool m_closing = false;
  IMPLEMENT_REFCOUNTING(ProbeClient);
};

CefRefPtr<ProbeClient> g_client;
int g_closeCount = 0;

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      ++g_closeCount;
      g_record.Add("WM_CLOSE " + std::to_string(g_closeCount));
      // First close: ask the browsers; the engine answers with a second WM_CLOSE.
      if (g_client && !g_client->IsClosing() && g_client->First()) {
        g_client->CloseAllBrowsers(true);
        return 0;
      }
      if (g_shutdownOnClose) {
        CefShutdown();
        g_record.Add("shutdown done");
      }
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      g_record.Add("main window destroyed");
      g_mainWnd = nullptr;
      return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

using zarvik_test::PumpUntil;

HWND HostWindow() {
  CefRefPtr<CefBrowser> b = g_client->Last();
  return b ? b->GetHost()->GetWindowHandle() : nullptr;
}

void PostDrop(HWND target, const std::wstring& path) {
  size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
  HGLOBAL mem = GlobalAlloc(GHND, bytes);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(mem));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), path.c_str(),
         path.size() * sizeof(wchar_t));
  GlobalUnlock(mem);
  PostMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(mem), 0);
}

// Counts the dark pixels of the host window and saves it as a bitmap file.
void Capture(HWND hwnd, const std::wstring& path) {
  RECT r;
  GetClientRect(hwnd, &r);
  int w = r.right, h = r.bottom;
  HDC src = GetDC(hwnd);
  HDC mem = CreateCompatibleDC(src);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(src, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, src, 0, 0, SRCCOPY);
  GdiFlush();
  long dark = 0;
  const unsigned char* p = static_cast<const unsigned char*>(bits);
  for (long i = 0; i < static_cast<long>(w) * h; ++i) {
    if (p[i * 4] + p[i * 4 + 1] + p[i * 4 + 2] < 3 * 128)
      ++dark;
  }
  BITMAPFILEHEADER fh = {};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(bi.bmiHeader);
  fh.bfSize = fh.bfOffBits + w * h * 4;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written;
    WriteFile(file, &fh, sizeof(fh), &written, nullptr);
    WriteFile(file, &bi.bmiHeader, sizeof(bi.bmiHeader), &written, nullptr);
    WriteFile(file, bits, w * h * 4, &written, nullptr);
    CloseHandle(file);
  }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(hwnd, src);
  g_record.Add("capture size=" + std::to_string(w) + "x" + std::to_string(h) +
               " dark=" + std::to_string(dark));
}

// Where the first pixel of |color| is in the host window, as a person finds a link on screen.
bool FindColor(HWND hwnd, COLORREF color, POINT* at) {
  RECT r;
  GetClientRect(hwnd, &r);
  HDC dc = GetDC(hwnd);
  bool found = false;
  for (int y = 0; y < r.bottom && !found; ++y) {
    for (int x = 0; x < r.right && !found; ++x) {
      if (GetPixel(dc, x, y) == color) {
        at->x = x;
        at->y = y;
        found = true;
      }
    }
  }
  ReleaseDC(hwnd, dc);
  return found;
}

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

int RunCommands(const std::vector<std::string>& commands, HINSTANCE instance) {
  for (const std::string& command : commands) {
    size_t space = command.find(' ');
    std::string verb = command.substr(0, space);
    std::string rest = space == std::string::npos ? std::string() : command.substr(space + 1);
    g_record.Add("> " + command);
    if (verb == "browser") {
      CefWindowInfo info;
      RECT rect = {0, 40, 900, 600};
      info.SetAsChild(g_mainWnd, rect);
      CefBrowserSettings settings;
      CefBrowserHost::CreateBrowser(info, g_client.get(), rest, settings, nullptr, nullptr);
      if (!PumpUntil([] { return g_client->Last() != nullptr; }, 20000))
        return 2;
    } else if (verb == "load") {
      g_client->First()->GetMainFrame()->LoadURL(rest);
    } else if (verb == "wait") {
      // "wait TEXT [#COUNT] [@MS]": until COUNT lines (default 1) hold TEXT.
      DWORD ms = 20000;
      int count = 1;
      std::string text = rest;
      for (;;) {
        size_t mark = text.find_last_of("@#");
        if (mark == std::string::npos || mark == 0 || text[mark - 1] != ' ' ||
            text.find_first_not_of("0123456789", mark + 1) != std::string::npos)
          break;
        int n = atoi(text.c_str() + mark + 1);
        if (text[mark] == '@')
          ms = static_cast<DWORD>(n);
        else
          count = n;
        text = text.substr(0, mark - 1);
      }
      if (!PumpUntil([&text, count] { return g_record.Count(text) >= count; }, ms)) {
        g_record.Add("timeout waiting for " + text);
        return 2;
      }
    } else if (verb == "js") {
      CefRefPtr<CefFrame> frame = g_client->Last()->GetMainFrame();
      frame->ExecuteJavaScript(rest, frame->GetURL(), 0);
    } else if (verb == "msg") {
      std::istringstream in(rest);
      std::string name;
      int value = 0;
      in >> name >> value;
      CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(name);
      message->GetArgumentList()->SetInt(0, value);
      g_client->First()->GetMainFrame()->SendProcessMessage(PID_RENDERER, message);
    } else if (verb == "key") {
      HWND host = HostWindow();
      int vk = atoi(rest.c_str());
      PostMessageW(host, WM_KEYDOWN, vk, 1);
      PostMessageW(host, WM_KEYUP, vk, 0xC0000001);
    } else if (verb == "click" || verb == "rclick") {
      int x = 0, y = 0;
      sscanf(rest.c_str(), "%d %d", &x, &y);
      HWND host = HostWindow();
      bool left = verb == "click";
      PostMessageW(host, left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN, 0, MAKELPARAM(x, y));
      PostMessageW(host, left ? WM_LBUTTONUP : WM_RBUTTONUP, 0, MAKELPARAM(x, y));
    } else if (verb == "click-link") {
      // The first link's colour on screen, clicked with the mouse.
      HWND host = HostWindow();
      POINT at = {};
      if (!FindColor(host, RGB(0x1A, 0x0D, 0xAB), &at)) {
        g_record.Add("no link on screen");
        return 2;
      }
      PostMessageW(host, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
      PostMessageW(host, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    } else if (verb == "drop") {
      int n = MultiByteToWideChar(CP_UTF8, 0, rest.c_str(), -1, nullptr, 0);
      std::wstring path(n, L'\0');
      MultiByteToWideChar(CP_UTF8, 0, rest.c_str(), -1, &path[0], n);
      path.resize(n - 1);
      PostDrop(HostWindow(), path);
    } else if (verb == "close") {
      PostMessageW(g_mainWnd, WM_CLOSE, 0, 0);
      if (!PumpUntil([] { return g_mainWnd == nullptr && !g_client->First(); }, 20000) &&
          !g_shutdownOnClose) {
        g_record.Add("timeout waiting for the close");
        return 2;
      }
    } else if (verb == "shutdown") {
      CefShutdown();
      g_record.Add("shutdown done");
    } else if (verb == "renderer-gone") {
      HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, g_rendererPid);
      bool gone = !h || WaitForSingleObject(h, 10000) == WAIT_OBJECT_0;
      if (h)
        CloseHandle(h);
      g_record.Add(gone ? "renderer gone" : "renderer alive");
    } else if (verb == "menu-check") {
      // Whether a context menu window appears; one that does is dismissed with Escape.
      HWND menu = nullptr;
      PumpUntil(
          [&menu] {
            menu = FindWindowW(L"#32768", nullptr);
            return menu && IsWindowVisible(menu);
          },
          static_cast<DWORD>(atoi(rest.c_str())));
      bool shown = menu && IsWindowVisible(menu);
      g_record.Add(shown ? "menu shown" : "no menu");
      if (shown) {
        PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        PumpUntil(
            [] {
              HWND m = FindWindowW(L"#32768", nullptr);
              return !m || !IsWindowVisible(m);
            },
            5000);
      }
    } else if (verb == "kill-renderer") {
      HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, g_rendererPid);
      if (h) {
        TerminateProcess(h, 7);
        CloseHandle(h);
      }
    } else if (verb == "die") {
      TerminateProcess(GetCurrentProcess(), 9);
    } else if (verb == "sleep") {
      DWORD ms = static_cast<DWORD>(atoi(rest.c_str()));
      PumpUntil([] { return false; }, ms);
    } else if (verb == "capture") {
      int n = MultiByteToWideChar(CP_UTF8, 0, rest.c_str(), -1, nullptr, 0);
      std::wstring path(n, L'\0');
      MultiByteToWideChar(CP_UTF8, 0, rest.c_str(), -1, &path[0], n);
      path.resize(n - 1);
      Capture(HostWindow(), path);
    } else {
      g_record.Add("unknown command " + verb);
      return 2;
    }
  }
  return 0;
}

}  // namespace

int main() {
  CefMainArgs args(GetModuleHandleW(nullptr));
  CefRefPtr<ProbeApp> app = new ProbeApp();
  int code = CefExecuteProcess(args, app.get(), nullptr);
  if (code >= 0)
    return code;

  CefRefPtr<CefCommandLine> line = CefCommandLine::CreateCommandLine();
  line->InitFromString(GetCommandLineW());
  g_record.Open(line->GetSwitchValue("record").ToWString());
  g_allowPopups = line->HasSwitch("allow-popups");
  g_keepMenu = line->HasSwitch("keep-menu");
  g_acceptDrop = line->HasSwitch("accept-drop");
  g_errorPage = line->HasSwitch("error-page");
  g_shutdownOnClose = line->HasSwitch("shutdown-on-close");
  g_cancel = line->GetSwitchValue("cancel").ToString();
  g_mainThread = GetCurrentThreadId();

  CefSettings settings;
  settings.multi_threaded_message_loop = 1;
  CefString(&settings.cache_path) = line->GetSwitchValue("cache");
  CefString(&settings.log_file) = line->GetSwitchValue("log");
  CefString(&settings.locale) = "zh-CN";
  CefString(&settings.browser_subprocess_path) = line->GetSwitchValue("subprocess");
  CefInitialize(args, settings, app.get(), nullptr);

  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc = {sizeof(wc)};
  wc.lpfnWndProc = MainWndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = L"ProbeMainWindow";
  RegisterClassExW(&wc);
  g_mainWnd =
      CreateWindowExW(0, wc.lpszClassName, L"Probe", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                      900, 640, nullptr, nullptr, instance, nullptr);
  g_client = new ProbeClient();

  int result = RunCommands(SplitCommands(line->GetSwitchValue("do").ToString()), instance);
  if (g_mainWnd)
    DestroyWindow(g_mainWnd);
  CefShutdown();
  g_client = nullptr;
  g_record.Add("probe-exit " + std::to_string(result));
  return result;
}
