// The renderer process's engine application object. Placeholder until the page functions are
// bound here: for now it hands the engine a render-process handler that does nothing of its own.
#pragma once

#include "include/cef_app.h"

class ClientAppRenderer : public CefApp, public CefRenderProcessHandler {
 public:
  ClientAppRenderer() = default;

  // CefApp
  CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override;

 private:
  IMPLEMENT_REFCOUNTING(ClientAppRenderer);
};
