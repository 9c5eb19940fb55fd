// Script values and contexts of the renderer on the Duktape interpreter. One heap per renderer
// process; each document gets a context of its own (a Duktape thread with a fresh global
// object), so values of one document stay usable from another as the engine allows.
#pragma once

#include <duktape.h>

#include <map>
#include <string>

#include "include/cef_v8.h"
#include "src/renderer/html_document.h"

namespace cefimpl {

struct PageTimer {
  ULONGLONG due = 0;
  unsigned interval = 0;
  bool repeat = false;
  int callbackRef = 0;  // a function kept in the heap stash, or 0 for code
  std::string code;
};

class V8ContextImpl : public CefV8Context {
 public:
  V8ContextImpl(CefRefPtr<CefBrowser> browser,
                CefRefPtr<CefFrame> frame,
                int browserId,
                int64 frameId,
                const std::string& url,
                HtmlDocument document);
  ~V8ContextImpl() override;

  // CefV8Context
  bool IsValid() override { return m_valid; }
  CefRefPtr<CefBrowser> GetBrowser() override { return m_browser; }
  CefRefPtr<CefFrame> GetFrame() override { return m_frame; }
  CefRefPtr<CefV8Value> GetGlobal() override;
  bool Enter() override;
  bool Exit() override;
  bool IsSame(CefRefPtr<CefV8Context> that) override { return that.get() == this; }
  bool Eval(const CefString& code,
            const CefString& script_url,
            int start_line,
            CefRefPtr<CefV8Value>& retval,
            CefString& exception) override;

  // The document is gone: timers stop and calls into the context do nothing.
  void Invalidate();
  duk_context* thread() const { return m_thread; }

  // Runs script text; an uncaught error goes to the console. True when it ran without error.
  bool RunScript(const std::string& code, const std::string& url, int line);
  // Reports the error object on top of |ctx|'s stack as an uncaught exception.
  void ReportException(duk_context* ctx);
  // Sends a console line to the browser process.
  void Console(cef_log_severity_t severity,
               const std::string& message,
               const std::string& source,
               int line);

  // Page state used by the page environment (page_env.cc).
  int browserId;
  int64 frameId;
  std::string url;
  HtmlDocument document;
  bool fullscreen = false;
  bool userGesture = false;
  std::map<int, PageTimer> timers;

 private:
  CefRefPtr<CefBrowser> m_browser;
  CefRefPtr<CefFrame> m_frame;
  duk_context* m_thread = nullptr;
  int m_threadRef = 0;
  bool m_valid = true;
  IMPLEMENT_REFCOUNTING(V8ContextImpl);
};

// The context a Duktape thread belongs to (none for a released one).
V8ContextImpl* ContextOfThread(duk_context* ctx);
// The process heap's main context.
duk_context* ScriptHeap();

// Heap stash references that keep script values alive for C++ holders.
int StashPut(duk_context* ctx, duk_idx_t index);
void StashPush(duk_context* ctx, int ref);
void StashDrop(int ref);

// Wraps the value at |index| of |ctx| (objects by reference).
CefRefPtr<CefV8Value> WrapValue(duk_context* ctx, duk_idx_t index);
// Pushes a wrapped value (undefined for none).
void PushValue(duk_context* ctx, CefRefPtr<CefV8Value> value);

// Page timers of every live context.
ULONGLONG NextPageTimerDue();  // 0 when none
void RunDuePageTimers();

}  // namespace cefimpl
