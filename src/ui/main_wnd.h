// The client's main window: a frameless skinned window ("main.xml") with its own title band and
// the main browser below the band as a child window of the engine. Everything runs on the UI
// thread; the browser client reports back through posted messages and the result callback.
#pragma once

#include <windows.h>

#include <string>

#include "bridge/common/bridge_messages.h"
#include "bridge/common/join_result_record.h"
#include "bridge/common/join_text.h"
#include "diagnostics/thread_check.h"
#include "ui/browser_host.h"
#include "ui/game_link.h"
#include "ui/simple_handler_result_callback.h"
#include "ui/title_band.h"
#include "ui/window_base.h"
#include "ui/wnd_shadow.h"

#include "ui/simple_handler.h"

class CVCastWnd;

// The main browser's first URL: web base + "gameLogin.action?opt=" + login option, every byte
// widened to one UTF-16 unit.
std::wstring FirstPageUrl(const std::string& webBase, const std::string& loginOpt);

class CMainWnd : public CWindowBase, public ISimpleHandlerResultCallback {
 public:
  // Creates the browser client and starts the task queue (about half a second).
  CMainWnd();
  ~CMainWnd() override;

  // Starts the engine and requests the main browser on the shown window.
  void InitBrowser();

  CefRefPtr<SimpleHandler> GetBrowserClient() const { return m_browserHost.Client(); }
  CVCastWnd* GetVoiceWnd() const { return m_voiceWnd; }
  // Fills the slot; the slot empties itself when the voice window is destroyed.
  void SetVoiceWnd(CVCastWnd* voiceWnd);
  int GetViewMode() const { return m_viewMode; }
  bool IsPinned() const;

  // INotifyUI
  void Notify(DuiLib::TNotifyUI& msg) override;

  // ISimpleHandlerResultCallback
  void OnPageLoad(const wchar_t* url) override;
  void OnWindowMessage(const MSG& message) override;

  // Title band and view modes.
  void ToggleViewMode();
  void TogglePin();
  void BrowseHistory();
  // 0: a live room was entered; 1: it was left; anything else does nothing.
  void OnLiveRoomState(LPARAM state);

 protected:
  LPCTSTR GetWindowClassName() const override { return kMainWindowClass; }
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  void InitWindow() override;
  LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
  virtual LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  virtual LRESULT OnGetMinMaxInfo(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

 private:
  // Frame (main_wnd.cpp).
  LRESULT OnNcHitTest(LPARAM lParam);
  void ApplyRoundRegion();

  // Messages (main_wnd_messages.cpp).
  LRESULT OnClose();
  LRESULT OnJoinRequest(const COPYDATASTRUCT* copyData);
  LRESULT OnTimer(UINT_PTR timerId);
  LRESULT OnCommand(WPARAM wParam, LPARAM lParam, bool& passOn);
  void OnMinimizeReportTimer();
  void NotifyPageExit();

  // The engine side (main_wnd_browser.cpp): the main browser, its page and the shutdown.
  bool HasMainBrowser() const;
  std::string MainFrameUrl() const;  // ANSI code page, for log lines
  void NotifyMainPage(const char* name);
  void NotifyMainPage(const char* name, int value);
  bool BrowsersClosing() const;
  bool HasAnyBrowser() const;
  void CloseAllBrowsers();
  void ReleaseBrowserClientAndShutDown();
  void LoadIntoMainFrame(const std::string& url);

  // The voice window (main_wnd_voice.cpp); no-ops while the slot is empty.
  int JoinVoiceChannel(const JoinTextFields& fields);
  void LeaveVoiceChannel();
  bool IsVoiceWindowVisible() const;

  // The game link (main_wnd_game.cpp).
  void StartGameWatcher();
  void StopGameWatcher();
  void SyncGameInfo(int syncType, int syncValue);
  void MasterBroadcast(int highPart, int lowPart);

  HWND FindBrowserWindow() const;

  ThreadCheck m_uiThread;  // the thread that constructs the window object runs its messages
  TitleBand m_titleBand;   // the band's buttons and attributes
  int m_viewMode = 1;
  BrowserHost m_browserHost{this};  // the browser client, the engine and the main browser
  CVCastWnd* m_voiceWnd = nullptr;  // not owned; cleared when the voice window is destroyed
  bool m_voiceWndGone = false;      // the slot was filled once and its window is gone
  JoinResultRecord m_shareMemory{kJoinResultMappingName};  // open from the first join on
  GameLink m_gameLink;  // the game watchers and the worker of the game's web calls
  bool m_minimizeReported = false;
  DuiLib::CWndShadow m_shadow;
};
