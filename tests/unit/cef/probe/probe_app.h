// The application object of the engine probe, in both of its processes. In the renderer it
// binds probeCall(text, callback) on every page: the call goes to the browser process as the
// process message "probe-call" (with the renderer's process id and command line), and the
// browser's "probe-reply" calls the callback back with the reply's integer. "probe-echo"
// messages are answered with "probe-echoed" carrying the same number, in arrival order.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "include/cef_app.h"

class ProbeApp : public CefApp, public CefRenderProcessHandler, public CefV8Handler {
 public:
  // CefApp: switches of our own, to find them again on the renderer's command line.
  void OnBeforeCommandLineProcessing(const CefString& process_type,
                                     CefRefPtr<CefCommandLine> command_line) override {
    if (!process_type.empty())
      return;
    command_line->AppendSwitch("--probe-flag");
    command_line->AppendSwitchWithValue("probe-value", "42");
  }
  CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override { return this; }

  // CefRenderProcessHandler
  void OnContextCreated(CefRefPtr<CefBrowser> browser,
                        CefRefPtr<CefFrame> frame,
                        CefRefPtr<CefV8Context> context) override {
    m_callback = nullptr;
    m_callbackContext = nullptr;
    CefRefPtr<CefV8Value> global = context->GetGlobal();
    for (const char* name : {"probeCall", "probeNow", "probeTypes"})
      global->SetValue(name, CefV8Value::CreateFunction(name, this), V8_PROPERTY_ATTRIBUTE_NONE);
    // The context is entered while the engine announces it.
    global->SetValue("probeContextEntered",
                     CefV8Value::CreateBool(CefV8Context::GetCurrentContext() &&
                                            CefV8Context::GetCurrentContext()->IsSame(context)),
                     V8_PROPERTY_ATTRIBUTE_NONE);
  }

  bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser,
                                CefRefPtr<CefFrame> frame,
                                CefProcessId source,
                                CefRefPtr<CefProcessMessage> message) override {
    std::string name = message->GetName().ToString();
    if (name == "probe-reply" && m_callback && m_callbackContext) {
      CefV8ValueList args;
      args.push_back(CefV8Value::CreateInt(message->GetArgumentList()->GetInt(0)));
      m_callback->ExecuteFunctionWithContext(m_callbackContext, nullptr, args);
      return true;
    }
    if (name == "probe-echo") {
      CefRefPtr<CefProcessMessage> answer = CefProcessMessage::Create("probe-echoed");
      answer->GetArgumentList()->SetInt(0, message->GetArgumentList()->GetInt(0));
      answer->GetArgumentList()->SetInt(1, CefCurrentlyOn(TID_RENDERER) ? 1 : 0);
      frame->SendProcessMessage(PID_BROWSER, answer);
      return true;
    }
    return false;
  }

  // CefV8Handler
  bool Execute(const CefString& name,
               CefRefPtr<CefV8Value> object,
               const CefV8ValueList& arguments,
               CefRefPtr<CefV8Value>& retval,
               CefString& exception) override {
    // probeNow(callback): calls back at once, inside the page's call.
    if (name.ToString() == "probeNow") {
      if (arguments.size() == 1 && arguments[0]->IsFunction()) {
        CefV8ValueList args;
        args.push_back(CefV8Value::CreateString("now"));
        arguments[0]->ExecuteFunctionWithContext(CefV8Context::GetCurrentContext(), nullptr, args);
      }
      return true;
    }
    // probeTypes(...): how each argument reads through the value interface.
    if (name.ToString() == "probeTypes") {
      std::string text;
      for (const auto& v : arguments) {
        char item[160];
        snprintf(item, sizeof(item), "%s%s%s%s%s%s%s%s%s%s:%d:%s ", v->IsUndefined() ? "U" : "",
                 v->IsNull() ? "N" : "", v->IsBool() ? "B" : "", v->IsInt() ? "I" : "",
                 v->IsUInt() ? "u" : "", v->IsDouble() ? "D" : "", v->IsString() ? "S" : "",
                 v->IsObject() ? "O" : "", v->IsArray() ? "A" : "", v->IsFunction() ? "F" : "",
                 v->GetIntValue(), v->GetStringValue().ToString().c_str());
        text += item;
      }
      CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create("probe-types");
      message->GetArgumentList()->SetString(0, text);
      CefV8Context::GetCurrentContext()->GetFrame()->SendProcessMessage(PID_BROWSER, message);
      return true;
    }
    if (name.ToString() != "probeCall")
      return false;
    if (arguments.size() != 2 || !arguments[1]->IsFunction()) {
      exception = "probeCall wants (text, callback)";
      return true;
    }
    m_callback = arguments[1];
    m_callbackContext = CefV8Context::GetCurrentContext();
    CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create("probe-call");
    CefRefPtr<CefListValue> args = message->GetArgumentList();
    args->SetString(0, arguments[0]->GetStringValue());
    args->SetInt(1, static_cast<int>(GetCurrentProcessId()));
    args->SetString(2, GetCommandLineW());
    m_callbackContext->GetFrame()->SendProcessMessage(PID_BROWSER, message);
    retval = CefV8Value::CreateString("sent");
    return true;
  }

 private:
  CefRefPtr<CefV8Value> m_callback;
  CefRefPtr<CefV8Context> m_callbackContext;
  IMPLEMENT_REFCOUNTING(ProbeApp);
};
