// A browser of the browser process with its host and main frame. The public operations may be
// called from any thread; they run on the UI thread, where every client handler is called.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "include/cef_browser.h"
#include "include/cef_client.h"
#include "src/browser/net_fetch.h"
#include "src/common/ipc_messages.h"

namespace cefimpl {

class BrowserImpl;

class FrameImpl : public CefFrame {
 public:
  FrameImpl(BrowserImpl* browser, int64 id);

  bool IsValid() override;
  void ExecuteJavaScript(const CefString& code,
                         const CefString& script_url,
                         int start_line) override;
  void LoadURL(const CefString& url) override;
  void LoadString(const CefString& string_val, const CefString& url) override;
  bool IsMain() override { return true; }
  bool IsFocused() override { return true; }
  CefString GetName() override { return CefString(); }
  int64 GetIdentifier() override { return m_id; }
  CefRefPtr<CefFrame> GetParent() override { return nullptr; }
  CefString GetURL() override;
  CefRefPtr<CefBrowser> GetBrowser() override;
  CefRefPtr<CefV8Context> GetV8Context() override { return nullptr; }
  void SendProcessMessage(CefProcessId target_process,
                          CefRefPtr<CefProcessMessage> message) override;

  void SetUrl(const std::string& url);
  // The browser has closed: the frame lets go of it.
  void Detach();

 private:
  CefRefPtr<BrowserImpl> Browser();
  std::mutex m_lock;
  CefRefPtr<BrowserImpl> m_browser;
  int64 m_id;
  std::string m_url;
  IMPLEMENT_REFCOUNTING(FrameImpl);
};

class BrowserImpl : public CefBrowser, public CefBrowserHost {
 public:
  BrowserImpl(int id, CefRefPtr<CefClient> client, bool isPopup, HWND opener);

  // UI thread: creates the browser, its host window and announces it (OnAfterCreated); the
  // first navigation follows as a task.
  static CefRefPtr<BrowserImpl> Create(const CefWindowInfo& info,
                                       CefRefPtr<CefClient> client,
                                       const std::string& url,
                                       bool isPopup,
                                       HWND opener);

  // CefBrowser
  CefRefPtr<CefBrowserHost> GetHost() override { return this; }
  bool CanGoBack() override;
  void GoBack() override;
  bool CanGoForward() override;
  void GoForward() override;
  bool IsLoading() override { return m_loading.load(); }
  void Reload() override;
  void ReloadIgnoreCache() override { Reload(); }
  void StopLoad() override;
  int GetIdentifier() override { return m_id; }
  bool IsSame(CefRefPtr<CefBrowser> that) override;
  bool IsPopup() override { return m_isPopup; }
  bool HasDocument() override { return m_hasDocument.load(); }
  CefRefPtr<CefFrame> GetMainFrame() override { return m_frame.get(); }
  CefRefPtr<CefFrame> GetFocusedFrame() override { return m_frame.get(); }
  CefRefPtr<CefFrame> GetFrame(int64 identifier) override;
  CefRefPtr<CefFrame> GetFrame(const CefString& name) override;
  size_t GetFrameCount() override { return 1; }

  // CefBrowserHost
  CefRefPtr<CefBrowser> GetBrowser() override { return this; }
  void CloseBrowser(bool force_close) override;
  bool TryCloseBrowser() override;
  void SetFocus(bool focus) override;
  CefWindowHandle GetWindowHandle() override { return m_hwnd.load(); }
  CefWindowHandle GetOpenerWindowHandle() override { return m_opener; }
  CefRefPtr<CefClient> GetClient() override { return m_client; }
  CefRefPtr<CefRequestContext> GetRequestContext() override;
  void WasResized() override;
  void Invalidate() override;

  // UI thread internals.
  void Navigate(const std::string& url,
                cef_transition_type_t transition,
                bool userGesture,
                const std::string* inlineBody = nullptr,
                int historyIndex = -1);
  void OnRendererMessage(const IpcMessage& message);
  void OnRendererGone(cef_termination_status_t status);
  void SendToRenderer(uint32_t type, const IpcWriter& payload);
  void DestroyHostWindow();
  int64 FrameId() const { return m_frameId; }

  // Host window (host_window.cc).
  static LRESULT CALLBACK HostWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  struct Navigation {
    int id = 0;
    std::string url;
    cef_transition_type_t transition = TT_EXPLICIT;
    std::shared_ptr<std::atomic<bool>> cancelled;
    bool committed = false;
    int status = 0;
    int redirects = 0;
    int historyIndex = -1;  // -1: a new history entry
  };

  bool CreateHostWindow(const CefWindowInfo& info);
  void StartLoad(const std::string* inlineBody);
  void OnFetchDone(int navId, const FetchResult& result);
  void Commit(int status, const std::string& mimeType, const std::string& body);
  void Fail(int error);
  void AbortPending();
  void SetLoading(bool loading);
  void CloseOnUiThread(bool force);
  void OpenPopup(const std::string& url,
                 const std::string& name,
                 int disposition,
                 bool userGesture);

  // One handler per kind of message from the renderer (OnRendererMessage picks it).
  void OnConsoleMessageFromRenderer(const IpcMessage& message);
  void OnNavigateFromRenderer(const IpcMessage& message);
  void OnOpenPopupFromRenderer(const IpcMessage& message);
  void OnFullscreenFromRenderer(const IpcMessage& message);
  void OnProcessMessageFromRenderer(const IpcMessage& message);
  void OnDisplayListFromRenderer(const IpcMessage& message);
  void OnDocumentReadyFromRenderer(const IpcMessage& message);

  // Host window handlers (host_window.cc).
  LRESULT HandleHostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void Paint(HWND hwnd);
  bool HandleKey(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void ShowContextMenu(HWND hwnd, POINT point);
  void HandleDrop(HDROP drop);
  int ElementAt(POINT point) const;
  void MoveFocus(bool forward);
  void OnHostWindowClose();
  void OnHostWindowDestroyed();

  const int m_id;
  const int64 m_frameId;
  CefRefPtr<CefClient> m_client;
  const bool m_isPopup;
  const HWND m_opener;
  CefRefPtr<FrameImpl> m_frame;
  std::atomic<HWND> m_hwnd{nullptr};
  std::atomic<bool> m_loading{false};
  std::atomic<bool> m_hasDocument{false};
  std::atomic<bool> m_canGoBack{false};
  std::atomic<bool> m_canGoForward{false};

  // UI thread state.
  std::unique_ptr<Navigation> m_nav;
  int m_navCounter = 0;
  bool m_closeRequested = false;
  bool m_destroyed = false;
  bool m_fullscreen = false;
  std::vector<std::string> m_history;  // committed addresses; CanGoBack/Forward mirror it
  int m_historyIndex = -1;
  std::wstring m_title;      // as reported to the client (the address when the page has none)
  std::wstring m_pageTitle;  // as the page has it
  std::vector<DisplayItem> m_display;
  std::vector<std::pair<RECT, int>> m_hitRects;  // element areas of the last paint
  int m_focusElement = -1;

  IMPLEMENT_REFCOUNTING(BrowserImpl);
};

}  // namespace cefimpl
