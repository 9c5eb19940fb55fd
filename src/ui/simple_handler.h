// The browser client of the main browser: keeps the list of its browsers (the first is the main
// browser), logs and reports page loads, keeps navigation inside the main browser, blocks
// context menus and drops, handles page full-screen and runs the close protocol with the main
// window. Every engine callback runs on the engine's UI thread; the main window reads the list
// from its own thread under the lock.
#pragma once

#include <windows.h>

#include <list>
#include <mutex>

#include "include/cef_client.h"
#include "ui/simple_handler_result_callback.h"

class SimpleHandler : public CefClient,
                      public CefDisplayHandler,
                      public CefLifeSpanHandler,
                      public CefLoadHandler,
                      public CefRequestHandler,
                      public CefKeyboardHandler,
                      public CefDragHandler,
                      public CefContextMenuHandler {
 public:
  explicit SimpleHandler(ISimpleHandlerResultCallback* resultCallback);
  ~SimpleHandler() override;

  // The main browser (first in the list) as a counted reference, or none.
  CefRefPtr<CefBrowser> GetBrowser();
  size_t GetBrowserCount();
  // True once the last open browser has started to close.
  bool IsClosing();
  // Asks every browser to close; from another thread it re-posts itself to the engine's thread.
  void CloseAllBrowsers(bool forceClose);

  // CefClient
  CefRefPtr<CefContextMenuHandler> GetContextMenuHandler() override { return this; }
  CefRefPtr<CefDisplayHandler> GetDisplayHandler() override { return this; }
  CefRefPtr<CefDragHandler> GetDragHandler() override { return this; }
  CefRefPtr<CefKeyboardHandler> GetKeyboardHandler() override { return this; }
  CefRefPtr<CefLifeSpanHandler> GetLifeSpanHandler() override { return this; }
  CefRefPtr<CefLoadHandler> GetLoadHandler() override { return this; }
  CefRefPtr<CefRequestHandler> GetRequestHandler() override { return this; }

  // CefDisplayHandler
  void OnFullscreenModeChange(CefRefPtr<CefBrowser> browser, bool fullscreen) override;

  // CefLifeSpanHandler
  bool OnBeforePopup(CefRefPtr<CefBrowser> browser,
                     CefRefPtr<CefFrame> frame,
                     const CefString& target_url,
                     const CefString& target_frame_name,
                     CefLifeSpanHandler::WindowOpenDisposition target_disposition,
                     bool user_gesture,
                     const CefPopupFeatures& popupFeatures,
                     CefWindowInfo& windowInfo,
                     CefRefPtr<CefClient>& client,
                     CefBrowserSettings& settings,
                     CefRefPtr<CefDictionaryValue>& extra_info,
                     bool* no_javascript_access) override;
  void OnAfterCreated(CefRefPtr<CefBrowser> browser) override;
  bool DoClose(CefRefPtr<CefBrowser> browser) override;
  void OnBeforeClose(CefRefPtr<CefBrowser> browser) override;

  // CefLoadHandler
  void OnLoadStart(CefRefPtr<CefBrowser> browser,
                   CefRefPtr<CefFrame> frame,
                   TransitionType transition_type) override;
  void OnLoadEnd(CefRefPtr<CefBrowser> browser,
                 CefRefPtr<CefFrame> frame,
                 int httpStatusCode) override;
  void OnLoadError(CefRefPtr<CefBrowser> browser,
                   CefRefPtr<CefFrame> frame,
                   ErrorCode errorCode,
                   const CefString& errorText,
                   const CefString& failedUrl) override;

  // CefRequestHandler
  bool OnBeforeBrowse(CefRefPtr<CefBrowser> browser,
                      CefRefPtr<CefFrame> frame,
                      CefRefPtr<CefRequest> request,
                      bool user_gesture,
                      bool is_redirect) override;

  // CefKeyboardHandler
  bool OnPreKeyEvent(CefRefPtr<CefBrowser> browser,
                     const CefKeyEvent& event,
                     CefEventHandle os_event,
                     bool* is_keyboard_shortcut) override;

  // CefDragHandler
  bool OnDragEnter(CefRefPtr<CefBrowser> browser,
                   CefRefPtr<CefDragData> dragData,
                   DragOperationsMask mask) override;

  // CefContextMenuHandler
  void OnBeforeContextMenu(CefRefPtr<CefBrowser> browser,
                           CefRefPtr<CefFrame> frame,
                           CefRefPtr<CefContextMenuParams> params,
                           CefRefPtr<CefMenuModel> model) override;

 private:
  std::list<CefRefPtr<CefBrowser>> m_browserList;
  ISimpleHandlerResultCallback* m_resultCallback;  // the main window; not counted
  bool m_isClosing = false;
  DWORD m_loadStartTick = 0;
  std::mutex m_lock;  // guards m_browserList, m_isClosing and m_browserWnd
  HWND m_browserWnd = nullptr;

  IMPLEMENT_REFCOUNTING(SimpleHandler);
};

// One more reference to the main window's browser client, held until the process ends.
extern CefRefPtr<SimpleHandler> g_browserClient;

