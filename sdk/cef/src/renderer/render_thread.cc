#include "src/renderer/render_thread.h"

#include <windows.h>

#include <curl/curl.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "src/common/http_get.h"
#include "src/common/scoped_handle.h"
#include "src/common/text.h"
#include "src/common/threads.h"
#include "src/renderer/page_env.h"
#include "src/renderer/v8_impl.h"

namespace cefimpl {

namespace {

class RendererBrowser;

// The frame of a browser as the renderer sees it.
class RendererFrame : public CefFrame {
 public:
  RendererFrame(RendererBrowser* browser, int browserId, int64 id)
      : m_browser(browser), m_browserId(browserId), m_id(id) {}

  bool IsValid() override { return m_browser != nullptr; }
  void ExecuteJavaScript(const CefString& code,
                         const CefString& script_url,
                         int start_line) override;
  void LoadURL(const CefString& url) override {
    IpcWriter w;
    w.Str(url.ToString()).Int(TT_EXPLICIT);
    SendToBrowser(MakeIpc(IPC_NAVIGATE, m_browserId, m_id, w));
  }
  // Documents come from the browser process; a string cannot be shown from here.
  void LoadString(const CefString&, const CefString&) override {}
  bool IsMain() override { return true; }
  bool IsFocused() override { return true; }
  CefString GetName() override { return CefString(); }
  int64 GetIdentifier() override { return m_id; }
  CefRefPtr<CefFrame> GetParent() override { return nullptr; }
  CefString GetURL() override { return m_context ? CefString(m_context->url) : CefString(); }
  CefRefPtr<CefBrowser> GetBrowser() override;
  CefRefPtr<CefV8Context> GetV8Context() override { return m_context.get(); }
  void SendProcessMessage(CefProcessId target, CefRefPtr<CefProcessMessage> message) override {
    if (target != PID_BROWSER || !message)
      return;
    IpcWriter w;
    w.Str(message->GetName().ToString());
    WriteList(w, message->GetArgumentList());
    SendToBrowser(MakeIpc(IPC_PROCESS_MESSAGE, m_browserId, m_id, w));
  }

  RendererBrowser* m_browser;
  int m_browserId;
  int64 m_id;
  CefRefPtr<V8ContextImpl> m_context;
  IMPLEMENT_REFCOUNTING(RendererFrame);
};

class RendererBrowser : public CefBrowser {
 public:
  RendererBrowser(int id, int64 frameId, bool popup) : m_id(id), m_popup(popup) {
    m_frame = new RendererFrame(this, id, frameId);
  }
  CefRefPtr<CefBrowserHost> GetHost() override { return nullptr; }
  bool CanGoBack() override { return false; }
  void GoBack() override {}
  bool CanGoForward() override { return false; }
  void GoForward() override {}
  bool IsLoading() override { return false; }
  void Reload() override {
    IpcWriter w;
    w.Str(m_frame->GetURL().ToString()).Int(TT_RELOAD);
    SendToBrowser(MakeIpc(IPC_NAVIGATE, m_id, m_frame->m_id, w));
  }
  void ReloadIgnoreCache() override { Reload(); }
  void StopLoad() override {}
  int GetIdentifier() override { return m_id; }
  bool IsSame(CefRefPtr<CefBrowser> that) override {
    return that && that->GetIdentifier() == m_id && !that->GetHost();
  }
  bool IsPopup() override { return m_popup; }
  bool HasDocument() override { return m_frame->m_context != nullptr; }
  CefRefPtr<CefFrame> GetMainFrame() override { return m_frame.get(); }
  CefRefPtr<CefFrame> GetFocusedFrame() override { return m_frame.get(); }
  CefRefPtr<CefFrame> GetFrame(int64 identifier) override {
    return identifier == m_frame->m_id ? m_frame.get() : nullptr;
  }
  CefRefPtr<CefFrame> GetFrame(const CefString& name) override {
    return name.empty() ? m_frame.get() : nullptr;
  }
  size_t GetFrameCount() override { return 1; }

  const int m_id;
  const bool m_popup;
  CefRefPtr<RendererFrame> m_frame;
  IMPLEMENT_REFCOUNTING(RendererBrowser);
};

CefRefPtr<CefBrowser> RendererFrame::GetBrowser() {
  return m_browser;
}

void RendererFrame::ExecuteJavaScript(const CefString& code,
                                      const CefString& script_url,
                                      int start_line) {
  CefRefPtr<RendererFrame> self(this);
  std::string c = code.ToString(), url = script_url.ToString();
  CefPostTask(TID_RENDERER, cefimpl::FunctionTask([self, c, url, start_line] {
                if (self->m_context && self->m_context->IsValid())
                  self->m_context->RunScript(c, url.empty() ? self->m_context->url : url,
                                             start_line);
              }));
}

// The render thread's queue: messages from the browser, posted tasks and delayed tasks.
class RenderLoop : public ThreadRunner {
 public:
  RenderLoop() : m_threadId(GetCurrentThreadId()) {}
  bool PostTask(CefRefPtr<CefTask> task, int64 delayMs) override {
    if (!task)
      return false;
    {
      std::lock_guard<std::mutex> lock(m_lock);
      if (m_quit)
        return false;
      if (delayMs > 0)
        m_delayed.emplace(GetTickCount64() + delayMs, task);
      else
        m_queue.push_back([task] { task->Execute(); });
    }
    m_wake.notify_one();
    return true;
  }
  DWORD ThreadId() const override { return m_threadId; }

  void Push(std::function<void()> item) {
    {
      std::lock_guard<std::mutex> lock(m_lock);
      m_queue.push_back(std::move(item));
    }
    m_wake.notify_one();
  }
  void Quit() {
    {
      std::lock_guard<std::mutex> lock(m_lock);
      m_quit = true;
    }
    m_wake.notify_one();
  }

  void Run() {
    for (;;) {
      std::function<void()> item;
      CefRefPtr<CefTask> delayed;
      {
        std::unique_lock<std::mutex> lock(m_lock);
        for (;;) {
          if (m_quit)
            return;
          if (!m_queue.empty())
            break;
          ULONGLONG now = GetTickCount64();
          ULONGLONG next = NextPageTimerDue();
          if (!m_delayed.empty() && (next == 0 || m_delayed.begin()->first < next))
            next = m_delayed.begin()->first;
          if (next != 0 && next <= now)
            break;
          if (next == 0)
            m_wake.wait(lock);
          else
            m_wake.wait_for(lock, std::chrono::milliseconds(next - now));
        }
        if (!m_queue.empty()) {
          item = std::move(m_queue.front());
          m_queue.pop_front();
        } else if (!m_delayed.empty() && m_delayed.begin()->first <= GetTickCount64()) {
          delayed = m_delayed.begin()->second;
          m_delayed.erase(m_delayed.begin());
        }
      }
      if (item)
        item();
      else if (delayed)
        delayed->Execute();
      else
        RunDuePageTimers();
    }
  }

 private:
  DWORD m_threadId;
  std::mutex m_lock;
  std::condition_variable m_wake;
  std::deque<std::function<void()>> m_queue;
  std::multimap<ULONGLONG, CefRefPtr<CefTask>> m_delayed;
  bool m_quit = false;
};

ScopedFileHandle g_toBrowser;  // guarded by g_writeLock
// Read by the detached reader thread until the process ends, so never closed.
HANDLE g_fromBrowser = INVALID_HANDLE_VALUE;
// When the browser process is gone the render loop gets this long to end by itself before the
// renderer ends the process (a page script may never return).
const DWORD kBrowserGoneGraceMs = 3000;
std::mutex g_writeLock;
DWORD g_renderThreadId = 0;
std::string g_locale = "en-US";
RenderLoop* g_loop = nullptr;
CefRefPtr<CefRenderProcessHandler> g_handler;
std::map<int, CefRefPtr<RendererBrowser>> g_browsers;

ScopedFileHandle OpenPipe(const std::wstring& name, DWORD access) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    ScopedFileHandle pipe(CreateFileW(name.c_str(), access, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (pipe)
      return pipe;
    if (GetLastError() == ERROR_PIPE_BUSY)
      WaitNamedPipeW(name.c_str(), 100);
    else
      Sleep(100);
  }
  return ScopedFileHandle();
}

void ReleaseContext(RendererBrowser* browser) {
  CefRefPtr<V8ContextImpl> old = browser->m_frame->m_context;
  if (!old)
    return;
  if (g_handler) {
    old->Enter();
    g_handler->OnContextReleased(browser, browser->m_frame.get(), old.get());
    old->Exit();
  }
  old->Invalidate();
  browser->m_frame->m_context = nullptr;
}

// A committed document: a new script context (OnContextCreated before any page script), the
// page's scripts in order, window.onload, then the display list and the ready message.
void LoadDocument(RendererBrowser* browser, IpcReader& r) {
  int navId = r.Int();
  std::string url = r.Str();
  r.Int();  // HTTP status: the browser process reports it
  std::string mimeType = r.Str();
  std::string body = r.Str();
  bool isHtml = mimeType.empty() || mimeType.find("html") != std::string::npos;
  ReleaseContext(browser);
  CefRefPtr<RendererFrame> frame = browser->m_frame;
  CefRefPtr<V8ContextImpl> context = new V8ContextImpl(browser, frame.get(), browser->m_id,
                                                       frame->m_id, url, ParseHtml(body, isHtml));
  frame->m_context = context;
  InstallPageEnvironment(context.get());
  if (g_handler) {
    context->Enter();
    g_handler->OnContextCreated(browser, frame.get(), context.get());
    context->Exit();
  }
  std::vector<HtmlScript> scripts = context->document.scripts;
  for (const HtmlScript& script : scripts) {
    if (!context->IsValid())
      break;
    if (script.src.empty()) {
      context->RunScript(script.code, url, script.line);
      continue;
    }
    HttpGetRequest request;
    request.url = ResolveUrl(url, script.src);
    request.userAgent = kDefaultUserAgent;
    request.acceptLanguage = g_locale;
    request.followRedirects = true;
    HttpGetResult result = HttpGet(request);
    if (result.error == 0 && (result.status == 0 || (result.status >= 200 && result.status < 300)))
      context->RunScript(result.body, request.url, 1);
    else
      context->Console(LOGSEVERITY_ERROR,
                       "Failed to load resource: " + request.url + " (" +
                           (result.error ? std::string(NetErrorText(result.error))
                                         : "status " + std::to_string(result.status)) +
                           ")",
                       url, 0);
  }
  RunOnLoad(context.get());
  SendDisplayList(context.get());
  IpcWriter w;
  w.Int(navId);
  SendToBrowser(MakeIpc(IPC_DOCUMENT_READY, browser->m_id, frame->m_id, w));
}

void HandleBrowserMessage(const IpcMessage& message) {
  IpcReader r(message.payload);
  if (message.type == IPC_SHUTDOWN) {
    g_loop->Quit();
    return;
  }
  auto it = g_browsers.find(message.browserId);
  CefRefPtr<RendererBrowser> browser = it == g_browsers.end() ? nullptr : it->second;
  switch (message.type) {
    case IPC_BROWSER_CREATED:
      if (!browser) {
        browser = new RendererBrowser(message.browserId, message.frameId, r.Int() != 0);
        g_browsers[message.browserId] = browser;
        if (g_handler)
          g_handler->OnBrowserCreated(browser.get(), nullptr);
      }
      break;
    case IPC_BROWSER_DESTROYED:
      if (browser) {
        ReleaseContext(browser);
        if (g_handler)
          g_handler->OnBrowserDestroyed(browser.get());
        browser->m_frame->m_browser = nullptr;
        g_browsers.erase(message.browserId);
      }
      break;
    case IPC_COMMIT_DOCUMENT:
      if (browser)
        LoadDocument(browser, r);
      break;
    case IPC_EXECUTE_JAVASCRIPT:
      if (browser && browser->m_frame->m_context) {
        std::string code = r.Str(), url = r.Str();
        int line = r.Int();
        CefRefPtr<V8ContextImpl> context = browser->m_frame->m_context;
        context->RunScript(code, url.empty() ? context->url : url, line);
      }
      break;
    case IPC_PROCESS_MESSAGE:
      if (browser) {
        CefRefPtr<CefProcessMessage> msg = CefProcessMessage::Create(r.Str());
        CefRefPtr<CefListValue> args = ReadList(r);
        CefRefPtr<CefListValue> target = msg->GetArgumentList();
        for (size_t i = 0; i < args->GetSize(); ++i) {
          switch (args->GetType(i)) {
            case VTYPE_BOOL:
              target->SetBool(i, args->GetBool(i));
              break;
            case VTYPE_INT:
              target->SetInt(i, args->GetInt(i));
              break;
            case VTYPE_DOUBLE:
              target->SetDouble(i, args->GetDouble(i));
              break;
            case VTYPE_STRING:
              target->SetString(i, args->GetString(i));
              break;
            default:
              target->SetNull(i);
              break;
          }
        }
        if (g_handler)
          g_handler->OnProcessMessageReceived(browser.get(), browser->m_frame.get(), PID_BROWSER,
                                              msg);
      }
      break;
    case IPC_ACTIVATE_ELEMENT:
      if (browser && browser->m_frame->m_context)
        ActivateElement(browser->m_frame->m_context.get(), r.Int());
      break;
    default:
      break;
  }
}

}  // namespace

void SendToBrowser(const IpcMessage& message) {
  std::lock_guard<std::mutex> lock(g_writeLock);
  if (g_toBrowser)
    WriteIpcMessage(g_toBrowser.Get(), message);
}

bool RenderThreadIsCurrent() {
  return g_renderThreadId == GetCurrentThreadId();
}
const std::string& RendererLocale() {
  return g_locale;
}

int RunRendererProcess(CefRefPtr<CefApp> app, CefRefPtr<CefCommandLine> commandLine) {
  std::wstring pipe = commandLine->GetSwitchValue(kRendererPipeSwitch).ToWString();
  if (pipe.empty())
    return 1;
  if (commandLine->HasSwitch(kLanguageSwitch))
    g_locale = commandLine->GetSwitchValue(kLanguageSwitch).ToString();
  ScopedFileHandle fromBrowser = OpenPipe(pipe + kToRendererPipeSuffix, GENERIC_READ);
  ScopedFileHandle toBrowser = OpenPipe(pipe + kFromRendererPipeSuffix, GENERIC_WRITE);
  if (!fromBrowser || !toBrowser)
    return 1;
  g_fromBrowser = fromBrowser.Release();
  {
    std::lock_guard<std::mutex> lock(g_writeLock);
    g_toBrowser = std::move(toBrowser);
  }
  curl_global_init(CURL_GLOBAL_DEFAULT);
  g_renderThreadId = GetCurrentThreadId();
  RenderLoop loop;
  g_loop = &loop;
  SetThreadRunner(TID_RENDERER, &loop);
  if (app)
    g_handler = app->GetRenderProcessHandler();
  if (g_handler)
    g_handler->OnWebKitInitialized();
  IpcWriter ready;
  ready.Int(static_cast<int32_t>(GetCurrentProcessId()));
  SendToBrowser(MakeIpc(IPC_RENDERER_READY, 0, 0, ready));

  // The reader hands every message to the render thread. When the browser process goes away
  // the pipe breaks and the renderer ends, even if a page script never returns.
  std::thread reader([&loop] {
    IpcMessage message;
    while (ReadIpcMessage(g_fromBrowser, &message)) {
      IpcMessage copy = message;
      loop.Push([copy] { HandleBrowserMessage(copy); });
      if (copy.type == IPC_SHUTDOWN)
        return;
    }
    loop.Quit();
    Sleep(kBrowserGoneGraceMs);
    ExitProcess(0);
  });
  reader.detach();

  loop.Run();
  for (auto& entry : g_browsers)
    ReleaseContext(entry.second);
  g_browsers.clear();
  SetThreadRunner(TID_RENDERER, nullptr);
  g_handler = nullptr;
  std::lock_guard<std::mutex> lock(g_writeLock);
  g_toBrowser.Reset();
  return 0;
}

}  // namespace cefimpl
