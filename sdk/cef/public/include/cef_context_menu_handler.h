#pragma once

#include "include/cef_base.h"
#include "include/cef_browser.h"
#include "include/cef_menu_model.h"

class CefContextMenuParams : public virtual CefBaseRefCounted {
 public:
  typedef cef_context_menu_type_flags_t TypeFlags;
  virtual int GetXCoord() = 0;
  virtual int GetYCoord() = 0;
  virtual TypeFlags GetTypeFlags() = 0;
  virtual CefString GetLinkUrl() = 0;
  virtual CefString GetPageUrl() = 0;
};

// Context menus; called on the UI thread. A menu is shown only when the model keeps items.
class CefContextMenuHandler : public virtual CefBaseRefCounted {
 public:
  typedef cef_event_flags_t EventFlags;
  virtual void OnBeforeContextMenu(CefRefPtr<CefBrowser> browser,
                                   CefRefPtr<CefFrame> frame,
                                   CefRefPtr<CefContextMenuParams> params,
                                   CefRefPtr<CefMenuModel> model) {}
  // True when the client carried out the command itself.
  virtual bool OnContextMenuCommand(CefRefPtr<CefBrowser> browser,
                                    CefRefPtr<CefFrame> frame,
                                    CefRefPtr<CefContextMenuParams> params,
                                    int command_id,
                                    EventFlags event_flags) {
    return false;
  }
};
