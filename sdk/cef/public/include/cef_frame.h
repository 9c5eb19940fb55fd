// A frame of a browser. Only the main frame exists in this engine. Usable from any thread of
// the process it belongs to; work is carried out on the engine's thread.
#pragma once

#include "include/cef_base.h"
#include "include/cef_process_message.h"

class CefBrowser;
class CefV8Context;

class CefFrame : public virtual CefBaseRefCounted {
 public:
  virtual bool IsValid() = 0;
  virtual void ExecuteJavaScript(const CefString& code,
                                 const CefString& script_url,
                                 int start_line) = 0;
  virtual void LoadURL(const CefString& url) = 0;
  // Shows the text as a document with |url| as its address, without the network.
  virtual void LoadString(const CefString& string_val, const CefString& url) = 0;
  virtual bool IsMain() = 0;
  virtual bool IsFocused() = 0;
  virtual CefString GetName() = 0;
  virtual int64 GetIdentifier() = 0;
  virtual CefRefPtr<CefFrame> GetParent() = 0;
  virtual CefString GetURL() = 0;
  virtual CefRefPtr<CefBrowser> GetBrowser() = 0;
  // Renderer process only: the frame's current script context.
  virtual CefRefPtr<CefV8Context> GetV8Context() = 0;
  virtual void SendProcessMessage(CefProcessId target_process,
                                  CefRefPtr<CefProcessMessage> message) = 0;
};
