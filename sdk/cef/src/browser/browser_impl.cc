#include "src/browser/browser_impl.h"

#include "include/cef_request.h"
#include "src/browser/engine.h"
#include "src/browser/renderer_host.h"
#include "src/common/library_names.h"
#include "src/common/text.h"
#include "src/common/threads.h"

namespace cefimpl {

void SetRequestTransition(CefRefPtr<CefRequest> request, cef_transition_type_t type);

namespace {

const int kMaxRedirects = 20;

void PostToUi(std::function<void()> fn) {
  CefPostTask(TID_UI, cefimpl::FunctionTask(std::move(fn)));
}

CefRefPtr<CefRequest> MakeRequest(const std::string& url, cef_transition_type_t transition) {
  CefRefPtr<CefRequest> request = CefRequest::Create();
  request->SetURL(url);
  request->SetMethod("GET");
  SetRequestTransition(request, transition);
  return request;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// FrameImpl

FrameImpl::FrameImpl(BrowserImpl* browser, int64 id) : m_browser(browser), m_id(id) {}

CefRefPtr<BrowserImpl> FrameImpl::Browser() {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_browser;
}

bool FrameImpl::IsValid() {
  return Browser() != nullptr;
}

void FrameImpl::ExecuteJavaScript(const CefString& code,
                                  const CefString& script_url,
                                  int start_line) {
  CefRefPtr<BrowserImpl> browser = Browser();
  if (!browser)
    return;
  IpcWriter w;
  w.Str(code.ToString()).Str(script_url.ToString()).Int(start_line);
  PostToUi([browser, w] { browser->SendToRenderer(IPC_EXECUTE_JAVASCRIPT, w); });
}

void FrameImpl::LoadURL(const CefString& url) {
  CefRefPtr<BrowserImpl> browser = Browser();
  std::string target = url.ToString();
  if (browser)
    PostToUi([browser, target] { browser->Navigate(target, TT_EXPLICIT, false); });
}

void FrameImpl::LoadString(const CefString& string_val, const CefString& url) {
  CefRefPtr<BrowserImpl> browser = Browser();
  std::string target = url.ToString(), body = string_val.ToString();
  if (browser)
    PostToUi([browser, target, body] { browser->Navigate(target, TT_EXPLICIT, false, &body); });
}

CefString FrameImpl::GetURL() {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_url;
}

CefRefPtr<CefBrowser> FrameImpl::GetBrowser() {
  return Browser().get();
}

void FrameImpl::SendProcessMessage(CefProcessId target, CefRefPtr<CefProcessMessage> message) {
  CefRefPtr<BrowserImpl> browser = Browser();
  if (!browser || !message || target != PID_RENDERER)
    return;
  // The arguments are taken now; later changes to the message do not travel.
  IpcWriter w;
  w.Str(message->GetName().ToString());
  WriteList(w, message->GetArgumentList());
  PostToUi([browser, w] { browser->SendToRenderer(IPC_PROCESS_MESSAGE, w); });
}

void FrameImpl::SetUrl(const std::string& url) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_url = url;
}

void FrameImpl::Detach() {
  CefRefPtr<BrowserImpl> released;
  std::lock_guard<std::mutex> lock(m_lock);
  released.swap(m_browser);
}

// ---------------------------------------------------------------------------------------------
// BrowserImpl: creation and the public operations

BrowserImpl::BrowserImpl(int id, CefRefPtr<CefClient> client, bool isPopup, HWND opener)
    : m_id(id),
      m_frameId((static_cast<int64>(id) << 16) | 1),
      m_client(client),
      m_isPopup(isPopup),
      m_opener(opener) {
  m_frame = new FrameImpl(this, m_frameId);
}

CefRefPtr<BrowserImpl> BrowserImpl::Create(const CefWindowInfo& info,
                                           CefRefPtr<CefClient> client,
                                           const std::string& url,
                                           bool isPopup,
                                           HWND opener) {
  Engine* engine = Engine::Get();
  if (!engine)
    return nullptr;
  CefRefPtr<BrowserImpl> browser =
      new BrowserImpl(engine->nextBrowserId++, client, isPopup, opener);
  if (!browser->CreateHostWindow(info)) {
    EngineLog(LOGSEVERITY_ERROR,
              "cannot create the browser window, error " + std::to_string(GetLastError()));
    browser->m_frame->Detach();
    return nullptr;
  }
  engine->browsers[browser->m_id] = browser;
  IpcWriter w;
  w.Int(isPopup ? 1 : 0);
  browser->SendToRenderer(IPC_BROWSER_CREATED, w);
  EngineLog(LOGSEVERITY_INFO, "browser " + std::to_string(browser->m_id) + " created");
  if (client) {
    if (CefRefPtr<CefLifeSpanHandler> handler = client->GetLifeSpanHandler())
      handler->OnAfterCreated(browser.get());
  }
  if (!url.empty())
    PostToUi([browser, url] { browser->Navigate(url, TT_EXPLICIT, false); });
  return browser;
}

bool BrowserImpl::IsSame(CefRefPtr<CefBrowser> that) {
  return that && that->GetIdentifier() == m_id && that->GetHost() != nullptr;
}

CefRefPtr<CefFrame> BrowserImpl::GetFrame(int64 identifier) {
  return identifier == m_frameId ? m_frame.get() : nullptr;
}

CefRefPtr<CefFrame> BrowserImpl::GetFrame(const CefString& name) {
  return name.empty() ? m_frame.get() : nullptr;
}

CefRefPtr<CefRequestContext> BrowserImpl::GetRequestContext() {
  return CefRequestContext::GetGlobalContext();
}

bool BrowserImpl::CanGoBack() {
  return m_canGoBack.load();
}
bool BrowserImpl::CanGoForward() {
  return m_canGoForward.load();
}

void BrowserImpl::GoBack() {
  CefRefPtr<BrowserImpl> self(this);
  PostToUi([self] {
    if (self->m_historyIndex > 0) {
      int index = self->m_historyIndex - 1;
      self->Navigate(self->m_history[index],
                     static_cast<cef_transition_type_t>(TT_EXPLICIT | TT_FORWARD_BACK_FLAG), false,
                     nullptr, index);
    }
  });
}

void BrowserImpl::GoForward() {
  CefRefPtr<BrowserImpl> self(this);
  PostToUi([self] {
    if (self->m_historyIndex + 1 < static_cast<int>(self->m_history.size())) {
      int index = self->m_historyIndex + 1;
      self->Navigate(self->m_history[index],
                     static_cast<cef_transition_type_t>(TT_EXPLICIT | TT_FORWARD_BACK_FLAG), false,
                     nullptr, index);
    }
  });
}

void BrowserImpl::Reload() {
  CefRefPtr<BrowserImpl> self(this);
  PostToUi([self] {
    if (self->m_historyIndex >= 0)
      self->Navigate(self->m_history[self->m_historyIndex], TT_RELOAD, false, nullptr,
                     self->m_historyIndex);
  });
}

void BrowserImpl::StopLoad() {
  CefRefPtr<BrowserImpl> self(this);
  PostToUi([self] {
    if (self->m_nav) {
      self->AbortPending();
      self->SetLoading(false);
    }
  });
}

void BrowserImpl::CloseBrowser(bool force_close) {
  CefRefPtr<BrowserImpl> self(this);
  if (CefCurrentlyOn(TID_UI))
    CloseOnUiThread(force_close);
  else
    PostToUi([self, force_close] { self->CloseOnUiThread(force_close); });
}

bool BrowserImpl::TryCloseBrowser() {
  if (m_hwnd.load() == nullptr)
    return true;
  CloseBrowser(false);
  return false;
}

void BrowserImpl::SetFocus(bool focus) {
  HWND hwnd = m_hwnd.load();
  if (hwnd && focus)
    PostToUi([hwnd] { ::SetFocus(hwnd); });
}

void BrowserImpl::WasResized() {
  Invalidate();
}

void BrowserImpl::Invalidate() {
  HWND hwnd = m_hwnd.load();
  if (hwnd)
    InvalidateRect(hwnd, nullptr, TRUE);
}

// ---------------------------------------------------------------------------------------------
// Navigation (UI thread)

void BrowserImpl::Navigate(const std::string& url,
                           cef_transition_type_t transition,
                           bool userGesture,
                           const std::string* inlineBody,
                           int historyIndex) {
  if (m_destroyed)
    return;
  if (CefRefPtr<CefRequestHandler> handler = m_client ? m_client->GetRequestHandler() : nullptr) {
    if (handler->OnBeforeBrowse(this, m_frame.get(), MakeRequest(url, transition), userGesture,
                                false)) {
      EngineLog(LOGSEVERITY_INFO, "navigation to " + url + " cancelled by the client");
      return;
    }
  }
  if (m_destroyed)
    return;
  AbortPending();
  m_nav.reset(new Navigation());
  m_nav->id = ++m_navCounter;
  m_nav->url = url;
  m_nav->transition = transition;
  m_nav->cancelled = std::make_shared<std::atomic<bool>>(false);
  m_nav->historyIndex = historyIndex;
  SetLoading(true);
  StartLoad(inlineBody);
}

void BrowserImpl::StartLoad(const std::string* inlineBody) {
  const std::string url = m_nav->url;
  std::string scheme = UrlScheme(url);
  if (inlineBody) {
    Commit(200, "text/html", *inlineBody);
  } else if (scheme == "about") {
    Commit(0, "text/html", std::string());
  } else if (scheme == "data") {
    std::string mimeType, body;
    if (DecodeDataUrl(url, &mimeType, &body))
      Commit(200, mimeType, body);
    else
      Fail(ERR_INVALID_URL);
  } else if (scheme == "http" || scheme == "file") {
    Engine* engine = Engine::Get();
    FetchJob job;
    job.url = url;
    job.userAgent = WideToUtf8(engine->settings.userAgent);
    job.acceptLanguage = WideToUtf8(engine->settings.acceptLanguage);
    job.cancelled = m_nav->cancelled;
    CefRefPtr<BrowserImpl> self(this);
    int navId = m_nav->id;
    job.done = [self, navId](const FetchResult& result) { self->OnFetchDone(navId, result); };
    engine->fetcher->Start(std::move(job));
  } else if (scheme.empty()) {
    Fail(ERR_INVALID_URL);
  } else {
    Fail(ERR_UNKNOWN_URL_SCHEME);
  }
}

void BrowserImpl::OnFetchDone(int navId, const FetchResult& result) {
  if (m_destroyed || !m_nav || m_nav->id != navId || m_nav->committed)
    return;
  if (result.error != 0) {
    Fail(result.error);
    return;
  }
  if (!result.redirectUrl.empty()) {
    if (++m_nav->redirects > kMaxRedirects) {
      Fail(ERR_TOO_MANY_REDIRECTS);
      return;
    }
    auto transition =
        static_cast<cef_transition_type_t>(m_nav->transition | TT_SERVER_REDIRECT_FLAG);
    if (CefRefPtr<CefRequestHandler> handler = m_client ? m_client->GetRequestHandler() : nullptr) {
      if (handler->OnBeforeBrowse(this, m_frame.get(), MakeRequest(result.redirectUrl, transition),
                                  false, true)) {
        if (m_nav && m_nav->id == navId)
          Fail(ERR_ABORTED);
        return;
      }
    }
    if (m_destroyed || !m_nav || m_nav->id != navId)
      return;
    m_nav->url = result.redirectUrl;
    m_nav->transition = transition;
    StartLoad(nullptr);
    return;
  }
  Commit(result.status, result.mimeType, result.body);
}

void BrowserImpl::Commit(int status, const std::string& mimeType, const std::string& body) {
  Navigation& nav = *m_nav;
  nav.committed = true;
  nav.status = status;
  m_frame->SetUrl(nav.url);
  m_hasDocument = true;
  if (nav.historyIndex >= 0 && nav.historyIndex < static_cast<int>(m_history.size())) {
    m_historyIndex = nav.historyIndex;
    m_history[m_historyIndex] = nav.url;
  } else {
    m_history.resize(m_historyIndex + 1);
    m_history.push_back(nav.url);
    m_historyIndex = static_cast<int>(m_history.size()) - 1;
  }
  m_canGoBack = m_historyIndex > 0;
  m_canGoForward = m_historyIndex + 1 < static_cast<int>(m_history.size());
  EngineLog(LOGSEVERITY_INFO, "browser " + std::to_string(m_id) + " commits " + nav.url +
                                  " (status " + std::to_string(status) + ")");
  int navId = nav.id;
  std::string url = nav.url;
  cef_transition_type_t transition = nav.transition;
  if (CefRefPtr<CefDisplayHandler> display = m_client ? m_client->GetDisplayHandler() : nullptr)
    display->OnAddressChange(this, m_frame.get(), url);
  if (CefRefPtr<CefLoadHandler> load = m_client ? m_client->GetLoadHandler() : nullptr)
    load->OnLoadStart(this, m_frame.get(), transition);
  if (!m_nav || m_nav->id != navId)
    return;  // the handler started another navigation
  IpcWriter w;
  w.Int(navId).Str(url).Int(status).Str(mimeType).Str(body);
  SendToRenderer(IPC_COMMIT_DOCUMENT, w);
}

void BrowserImpl::Fail(int error) {
  std::string url = m_nav->url;
  m_nav->cancelled->store(true);
  m_nav.reset();
  EngineLog(LOGSEVERITY_INFO, "browser " + std::to_string(m_id) + " failed to load " + url + ": " +
                                  NetErrorText(error) + " (" + std::to_string(error) + ")");
  if (CefRefPtr<CefLoadHandler> load = m_client ? m_client->GetLoadHandler() : nullptr)
    load->OnLoadError(this, m_frame.get(), static_cast<cef_errorcode_t>(error), NetErrorText(error),
                      url);
  if (!m_nav)
    SetLoading(false);
}

// A navigation that is still under way gives way to a new one: it ends with ERR_ABORTED.
void BrowserImpl::AbortPending() {
  if (!m_nav)
    return;
  std::string url = m_nav->url;
  m_nav->cancelled->store(true);
  m_nav.reset();
  EngineLog(LOGSEVERITY_INFO, "browser " + std::to_string(m_id) + " aborts the load of " + url);
  if (CefRefPtr<CefLoadHandler> load = m_client ? m_client->GetLoadHandler() : nullptr)
    load->OnLoadError(this, m_frame.get(), ERR_ABORTED, NetErrorText(ERR_ABORTED), url);
}

void BrowserImpl::SetLoading(bool loading) {
  if (m_loading.load() == loading)
    return;
  m_loading = loading;
  if (CefRefPtr<CefLoadHandler> load = m_client ? m_client->GetLoadHandler() : nullptr)
    load->OnLoadingStateChange(this, loading, CanGoBack(), CanGoForward());
}

// ---------------------------------------------------------------------------------------------
// Renderer messages (UI thread)

void BrowserImpl::SendToRenderer(uint32_t type, const IpcWriter& payload) {
  Engine* engine = Engine::Get();
  if (!engine || m_destroyed)
    return;
  // A new browser or document needs a renderer (a new one after a crash); everything else goes
  // to the renderer there is, or nowhere.
  bool needsRenderer = type == IPC_BROWSER_CREATED || type == IPC_COMMIT_DOCUMENT;
  RendererHost* renderer = needsRenderer ? engine->EnsureRenderer() : engine->renderer.get();
  if (!renderer || renderer->HasEnded())
    return;
  renderer->Send(MakeIpc(type, m_id, m_frameId, payload));
}

void BrowserImpl::OnRendererMessage(const IpcMessage& message) {
  using Handler = void (BrowserImpl::*)(const IpcMessage&);
  static const struct {
    uint32_t type;
    Handler handle;
  } kHandlers[] = {
      {IPC_CONSOLE_MESSAGE, &BrowserImpl::OnConsoleMessageFromRenderer},
      {IPC_NAVIGATE, &BrowserImpl::OnNavigateFromRenderer},
      {IPC_OPEN_POPUP, &BrowserImpl::OnOpenPopupFromRenderer},
      {IPC_FULLSCREEN, &BrowserImpl::OnFullscreenFromRenderer},
      {IPC_PROCESS_MESSAGE, &BrowserImpl::OnProcessMessageFromRenderer},
      {IPC_DISPLAY_LIST, &BrowserImpl::OnDisplayListFromRenderer},
      {IPC_DOCUMENT_READY, &BrowserImpl::OnDocumentReadyFromRenderer},
  };
  if (m_destroyed)
    return;
  for (const auto& handler : kHandlers) {
    if (handler.type == message.type) {
      (this->*handler.handle)(message);
      return;
    }
  }
  EngineLog(LOGSEVERITY_WARNING, "browser " + std::to_string(m_id) +
                                     ": ignored a renderer message of unknown type " +
                                     std::to_string(message.type));
}

void BrowserImpl::OnConsoleMessageFromRenderer(const IpcMessage& message) {
  IpcReader r(message.payload);
  auto severity = static_cast<cef_log_severity_t>(r.Int());
  std::string text = r.Str(), source = r.Str();
  int line = r.Int();
  bool handled = false;
  if (CefRefPtr<CefDisplayHandler> display = m_client ? m_client->GetDisplayHandler() : nullptr)
    handled = display->OnConsoleMessage(this, severity, text, source, line);
  if (!handled)
    EngineConsoleLog(severity, text, source, line);
}

// A page navigates itself (location, links, reload).
void BrowserImpl::OnNavigateFromRenderer(const IpcMessage& message) {
  IpcReader r(message.payload);
  std::string url = r.Str();
  auto transition = static_cast<cef_transition_type_t>(r.Int());
  if (transition == TT_RELOAD && m_historyIndex >= 0)
    Navigate(url, TT_RELOAD, true, nullptr, m_historyIndex);
  else
    Navigate(url, transition, true);
}

void BrowserImpl::OnOpenPopupFromRenderer(const IpcMessage& message) {
  IpcReader r(message.payload);
  std::string url = r.Str(), name = r.Str();
  int disposition = r.Int();
  bool gesture = r.Int() != 0;
  OpenPopup(url, name, disposition, gesture);
}

void BrowserImpl::OnFullscreenFromRenderer(const IpcMessage& message) {
  IpcReader r(message.payload);
  bool fullscreen = r.Int() != 0;
  if (fullscreen == m_fullscreen)
    return;
  m_fullscreen = fullscreen;
  if (CefRefPtr<CefDisplayHandler> display = m_client ? m_client->GetDisplayHandler() : nullptr)
    display->OnFullscreenModeChange(this, fullscreen);
}

// The client gets a message of its own whose arguments are copies of what crossed the pipe.
void BrowserImpl::OnProcessMessageFromRenderer(const IpcMessage& message) {
  IpcReader r(message.payload);
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
  if (m_client)
    m_client->OnProcessMessageReceived(this, m_frame.get(), PID_RENDERER, msg);
}

void BrowserImpl::OnDisplayListFromRenderer(const IpcMessage& message) {
  std::wstring title;
  std::vector<DisplayItem> items;
  if (!DecodeDisplayList(message.payload, &title, &items))
    return;
  m_pageTitle = title;  // painted as the page has it
  if (title.empty())
    title = Utf8ToWide(m_frame->GetURL().ToString());
  bool titleChanged = title != m_title;
  m_title = title;
  m_display.swap(items);
  m_focusElement = -1;
  Invalidate();
  if (titleChanged) {
    if (CefRefPtr<CefDisplayHandler> display = m_client ? m_client->GetDisplayHandler() : nullptr)
      display->OnTitleChange(this, title);
  }
}

// The committed document has run its scripts: the load ends.
void BrowserImpl::OnDocumentReadyFromRenderer(const IpcMessage& message) {
  IpcReader r(message.payload);
  int navId = r.Int();
  if (!m_nav || m_nav->id != navId || !m_nav->committed)
    return;
  int status = m_nav->status;
  m_nav.reset();
  if (CefRefPtr<CefLoadHandler> load = m_client ? m_client->GetLoadHandler() : nullptr)
    load->OnLoadEnd(this, m_frame.get(), status);
  if (!m_nav)
    SetLoading(false);
}

void BrowserImpl::OnRendererGone(cef_termination_status_t status) {
  if (m_destroyed)
    return;
  // A document that was being shown will not finish.
  if (m_nav && m_nav->committed) {
    m_nav.reset();
    SetLoading(false);
  }
  if (CefRefPtr<CefRequestHandler> handler = m_client ? m_client->GetRequestHandler() : nullptr)
    handler->OnRenderProcessTerminated(this, status);
}

void BrowserImpl::OpenPopup(const std::string& url,
                            const std::string& name,
                            int disposition,
                            bool userGesture) {
  CefPopupFeatures features;
  CefWindowInfo windowInfo;
  windowInfo.SetAsPopup(nullptr, CefString());
  CefRefPtr<CefClient> client = m_client;
  CefBrowserSettings settings;
  CefRefPtr<CefDictionaryValue> extraInfo;
  bool noJavascriptAccess = false;
  if (CefRefPtr<CefLifeSpanHandler> life = m_client ? m_client->GetLifeSpanHandler() : nullptr) {
    if (life->OnBeforePopup(
            this, m_frame.get(), url, name, static_cast<cef_window_open_disposition_t>(disposition),
            userGesture, features, windowInfo, client, settings, extraInfo, &noJavascriptAccess)) {
      EngineLog(LOGSEVERITY_INFO, "pop-up " + url + " cancelled by the client");
      return;
    }
  }
  Create(windowInfo, client, url, true, m_hwnd.load());
}

// ---------------------------------------------------------------------------------------------
// Closing (UI thread)

void BrowserImpl::CloseOnUiThread(bool force) {
  HWND hwnd = m_hwnd.load();
  if (m_destroyed || !hwnd)
    return;
  m_closeRequested = true;
  bool handled = false;
  if (CefRefPtr<CefLifeSpanHandler> life = m_client ? m_client->GetLifeSpanHandler() : nullptr)
    handled = life->DoClose(this);
  if (handled) {
    EngineLog(LOGSEVERITY_INFO, "browser " + std::to_string(m_id) + ": the client closes it");
    return;
  }
  HWND top = GetAncestor(hwnd, GA_ROOT);
  EngineLog(LOGSEVERITY_INFO,
            "browser " + std::to_string(m_id) + " closing: WM_CLOSE to its top-level window");
  PostMessageW(top ? top : hwnd, WM_CLOSE, 0, 0);
}

void BrowserImpl::DestroyHostWindow() {
  HWND hwnd = m_hwnd.load();
  if (hwnd)
    DestroyWindow(hwnd);
}

void BrowserImpl::OnHostWindowClose() {
  if (m_closeRequested)
    DestroyWindow(m_hwnd.load());
  else
    CloseOnUiThread(false);
}

void BrowserImpl::OnHostWindowDestroyed() {
  if (m_destroyed)
    return;
  CefRefPtr<BrowserImpl> self(this);  // the engine's map lets go below
  if (m_nav) {
    m_nav->cancelled->store(true);
    m_nav.reset();
  }
  EngineLog(LOGSEVERITY_INFO, "browser " + std::to_string(m_id) + " window destroyed");
  if (CefRefPtr<CefLifeSpanHandler> life = m_client ? m_client->GetLifeSpanHandler() : nullptr)
    life->OnBeforeClose(this);
  IpcWriter none;
  SendToRenderer(IPC_BROWSER_DESTROYED, none);
  m_destroyed = true;
  m_hwnd = nullptr;
  m_frame->Detach();
  if (Engine* engine = Engine::Get())
    engine->browsers.erase(m_id);
}

// ---------------------------------------------------------------------------------------------

void OnRendererGone(cef_termination_status_t status) {
  Engine* engine = Engine::Get();
  if (!engine)
    return;
  std::map<int, CefRefPtr<BrowserImpl>> browsers = engine->browsers;
  for (auto& entry : browsers)
    entry.second->OnRendererGone(status);
}

void DispatchRendererMessage(const IpcMessage& message) {
  Engine* engine = Engine::Get();
  if (!engine)
    return;
  if (message.type == IPC_RENDERER_READY) {
    IpcReader r(message.payload);
    EngineLog(LOGSEVERITY_INFO, "renderer process " + std::to_string(r.Int()) + " ready");
    return;
  }
  if (CefRefPtr<BrowserImpl> browser = engine->FindBrowser(message.browserId))
    browser->OnRendererMessage(message);
}

}  // namespace cefimpl

// ---------------------------------------------------------------------------------------------
// Browser creation entry points

bool CefBrowserHost::CreateBrowser(const CefWindowInfo& windowInfo,
                                   CefRefPtr<CefClient> client,
                                   const CefString& url,
                                   const CefBrowserSettings&,
                                   CefRefPtr<CefDictionaryValue>,
                                   CefRefPtr<CefRequestContext>) {
  if (!cefimpl::Engine::Get())
    return false;
  CefWindowInfo info = windowInfo;
  std::string target = url.ToString();
  return CefPostTask(TID_UI, cefimpl::FunctionTask([info, client, target] {
                       cefimpl::BrowserImpl::Create(info, client, target, false, nullptr);
                     }));
}

bool CefBrowserHost::CreateBrowser(const CefWindowInfo& windowInfo,
                                   CefRefPtr<CefClient> client,
                                   const CefString& url,
                                   const CefBrowserSettings& settings,
                                   CefRefPtr<CefRequestContext> request_context) {
  return CreateBrowser(windowInfo, client, url, settings, nullptr, request_context);
}

CefRefPtr<CefBrowser> CefBrowserHost::CreateBrowserSync(const CefWindowInfo& windowInfo,
                                                        CefRefPtr<CefClient> client,
                                                        const CefString& url,
                                                        const CefBrowserSettings&,
                                                        CefRefPtr<CefDictionaryValue>,
                                                        CefRefPtr<CefRequestContext>) {
  if (!CefCurrentlyOn(TID_UI))
    return nullptr;
  return cefimpl::BrowserImpl::Create(windowInfo, client, url.ToString(), false, nullptr).get();
}

int cef_browser_host_create_browser(const cef_window_info_t* windowInfo,
                                    CefClient* client,
                                    const CefString& url,
                                    const cef_browser_settings_t*,
                                    CefDictionaryValue* extra_info,
                                    CefRequestContext* request_context) {
  if (!windowInfo)
    return 0;
  CefBrowserSettings settings;
  return CefBrowserHost::CreateBrowser(CefWindowInfo(*windowInfo), client, url, settings,
                                       extra_info, request_context)
             ? 1
             : 0;
}
