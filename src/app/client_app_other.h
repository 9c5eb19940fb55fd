// The application object of the engine's helper sub-processes other than the renderer: the
// engine's defaults everywhere.
#pragma once

#include "include/cef_app.h"

class ClientAppOther : public CefApp {
 public:
  ClientAppOther() = default;

 private:
  IMPLEMENT_REFCOUNTING(ClientAppOther);
};
