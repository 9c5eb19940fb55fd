#include "app/process_role.h"

#include "bridge/browser/client_app_browser.h"
#include "app/client_app_other.h"
#include "bridge/renderer/client_app_renderer.h"

ProcessRole ChooseProcessRole(CefRefPtr<CefCommandLine> commandLine) {
  if (!commandLine || !commandLine->HasSwitch("type"))
    return ProcessRole::kBrowser;
  return commandLine->GetSwitchValue("type").ToString() == "renderer" ? ProcessRole::kRenderer
                                                                      : ProcessRole::kOther;
}

CefRefPtr<CefApp> CreateApplicationObject(ProcessRole role) {
  switch (role) {
    case ProcessRole::kBrowser:
      return new ClientAppBrowser();
    case ProcessRole::kRenderer:
      return new ClientAppRenderer();
    default:
      return new ClientAppOther();
  }
}
