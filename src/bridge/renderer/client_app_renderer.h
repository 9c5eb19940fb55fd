// The renderer process's engine application object: puts the nine page functions on the global
// object of every script context, runs them (window messages straight to the main window, the
// join result record, the streaming-node query), keeps the page-callback registry, and calls
// the registered callbacks when the browser process sends their process messages.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "bridge/renderer/page_call_rules.h"
#include "include/cef_app.h"

// Where the renderer finds the main window and the join result record. The defaults are the
// client's own; tests give names of their own so they never meet a running client.
struct BridgeEndpoints {
  std::wstring mainWindowClass;
  std::wstring joinResultMapping;
  static BridgeEndpoints Client();
};

class ClientAppRenderer : public CefApp, public CefRenderProcessHandler, public CefV8Handler {
 public:
  ClientAppRenderer();
  explicit ClientAppRenderer(const BridgeEndpoints& endpoints);

  // CefApp
  CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override;

  // CefRenderProcessHandler
  void OnWebKitInitialized() override;
  void OnContextCreated(CefRefPtr<CefBrowser> browser,
                        CefRefPtr<CefFrame> frame,
                        CefRefPtr<CefV8Context> context) override;
  bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser,
                                CefRefPtr<CefFrame> frame,
                                CefProcessId source_process,
                                CefRefPtr<CefProcessMessage> message) override;

  // CefV8Handler
  bool Execute(const CefString& name,
               CefRefPtr<CefV8Value> object,
               const CefV8ValueList& arguments,
               CefRefPtr<CefV8Value>& retval,
               CefString& exception) override;

  // Page callbacks by name; one renderer process has one application object, so this is the
  // process's registry, shared by every context and frame.
  typedef std::map<std::wstring, CefRefPtr<CefV8Value>, CodeUnitLess> CallbackRegistry;
  const CallbackRegistry& callbacks() const { return m_callbacks; }

 private:
  bool HasMainWindow() const;
  void LiveRoom(bool left);
  void QueryNode(const CefV8ValueList& arguments);
  void Join(const CefV8ValueList& arguments);
  void ChangeBackground(const CefV8ValueList& arguments);
  void LeaveChannel();
  void Register(const CefV8ValueList& arguments);
  // Calls the page callback registered under `name` in the callback context.
  void CallPage(const std::string& name, const CefV8ValueList& arguments);

  const BridgeEndpoints m_endpoints;
  CefRefPtr<CefV8Context> m_callbackContext;  // context of the last registration
  HWND m_mainWnd = nullptr;                   // found by class at each context creation
  CallbackRegistry m_callbacks;

  IMPLEMENT_REFCOUNTING(ClientAppRenderer);
};
