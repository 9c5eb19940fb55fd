#include "src/renderer/page_env.h"

#include <windows.h>

#include "src/common/http_get.h"
#include "src/common/text.h"
#include "src/common/trace_events.h"
#include "src/renderer/render_thread.h"

namespace cefimpl {

namespace {

int g_nextTimerId = 0;
const char kLocationKey[] = DUK_HIDDEN_SYMBOL("location");

V8ContextImpl* Context(duk_context* ctx) {
  return ContextOfThread(ctx);
}

void Send(V8ContextImpl* c, uint32_t type, const IpcWriter& w) {
  SendToBrowser(MakeIpc(type, c->browserId, c->frameId, w));
}

// Where the running script called from: its file and line.
void CallerLocation(duk_context* ctx, V8ContextImpl* c, std::string* source, int* line) {
  *source = c ? c->url : std::string();
  *line = 0;
  duk_inspect_callstack_entry(ctx, -2);
  if (duk_is_object(ctx, -1)) {
    duk_get_prop_string(ctx, -1, "lineNumber");
    *line = duk_is_number(ctx, -1) ? duk_get_int(ctx, -1) : 0;
    duk_pop(ctx);
    duk_get_prop_string(ctx, -1, "function");
    if (duk_is_object(ctx, -1)) {
      duk_get_prop_string(ctx, -1, "fileName");
      if (duk_is_string(ctx, -1))
        *source = duk_get_string(ctx, -1);
      duk_pop(ctx);
    }
    duk_pop(ctx);
  }
  duk_pop(ctx);
}

duk_ret_t ConsoleWrite(duk_context* ctx) {
  V8ContextImpl* c = Context(ctx);
  if (!c)
    return 0;
  std::string text;
  duk_idx_t n = duk_get_top(ctx);
  for (duk_idx_t i = 0; i < n; ++i) {
    if (i)
      text += " ";
    text += duk_safe_to_string(ctx, i);
  }
  std::string source;
  int line = 0;
  CallerLocation(ctx, c, &source, &line);
  static const cef_log_severity_t kLevels[] = {LOGSEVERITY_INFO, LOGSEVERITY_WARNING,
                                               LOGSEVERITY_ERROR};
  c->Console(kLevels[duk_get_current_magic(ctx)], text, source, line);
  return 0;
}

duk_ret_t AddTimer(duk_context* ctx) {
  V8ContextImpl* c = Context(ctx);
  if (!c || !c->IsValid())
    return 0;
  PageTimer timer;
  timer.repeat = duk_get_current_magic(ctx) == 1;
  double delay = duk_get_top(ctx) > 1 ? duk_to_number(ctx, 1) : 0;
  timer.interval = delay > 0 && delay < 2147483647.0 ? static_cast<unsigned>(delay) : 0;
  timer.due = GetTickCount64() + timer.interval;
  if (duk_is_function(ctx, 0))
    timer.callbackRef = StashPut(ctx, 0);
  else
    timer.code = duk_safe_to_string(ctx, 0);
  int id = ++g_nextTimerId;
  c->timers[id] = timer;
  duk_push_int(ctx, id);
  return 1;
}

duk_ret_t ClearTimer(duk_context* ctx) {
  V8ContextImpl* c = Context(ctx);
  if (!c)
    return 0;
  auto it = c->timers.find(duk_to_int(ctx, 0));
  if (it != c->timers.end()) {
    if (it->second.callbackRef)
      StashDrop(it->second.callbackRef);
    c->timers.erase(it);
  }
  return 0;
}

void Navigate(V8ContextImpl* c, const std::string& target, cef_transition_type_t transition) {
  IpcWriter w;
  w.Str(ResolveUrl(c->url, target)).Int(transition);
  Send(c, IPC_NAVIGATE, w);
}

duk_ret_t LocationHrefGet(duk_context* ctx) {
  V8ContextImpl* c = Context(ctx);
  duk_push_string(ctx, c ? c->url.c_str() : "");
  return 1;
}

duk_ret_t LocationHrefSet(duk_context* ctx) {
  if (V8ContextImpl* c = Context(ctx))
    Navigate(c, duk_safe_to_string(ctx, 0), TT_LINK);
  return 0;
}

duk_ret_t LocationProtocolGet(duk_context* ctx) {
  V8ContextImpl* c = Context(ctx);
  std::string scheme = c ? UrlScheme(c->url) : std::string();
  duk_push_string(ctx, (scheme + ":").c_str());
  return 1;
}

duk_ret_t LocationReload(duk_context* ctx) {
  if (V8ContextImpl* c = Context(ctx)) {
    IpcWriter w;
    w.Str(c->url).Int(TT_RELOAD);
    Send(c, IPC_NAVIGATE, w);
  }
  return 0;
}

duk_ret_t LocationGet(duk_context* ctx) {
  duk_push_global_object(ctx);
  duk_get_prop_string(ctx, -1, kLocationKey);
  return 1;
}

duk_ret_t WindowOpen(duk_context* ctx) {
  V8ContextImpl* c = Context(ctx);
  if (!c)
    return 0;
  std::string target = duk_is_undefined(ctx, 0) ? std::string("about:blank")
                                                : std::string(duk_safe_to_string(ctx, 0));
  std::string name = duk_is_string(ctx, 1) ? duk_get_string(ctx, 1) : "";
  IpcWriter w;
  w.Str(ResolveUrl(c->url, target)).Str(name).Int(WOD_NEW_POPUP).Int(c->userGesture ? 1 : 0);
  Send(c, IPC_OPEN_POPUP, w);
  duk_push_null(ctx);
  return 1;
}

duk_ret_t TitleGet(duk_context* ctx) {
  V8ContextImpl* c = Context(ctx);
  std::string title = c ? WideToUtf8(c->document.title) : std::string();
  duk_push_lstring(ctx, title.data(), title.size());
  return 1;
}

duk_ret_t TitleSet(duk_context* ctx) {
  V8ContextImpl* c = Context(ctx);
  if (!c)
    return 0;
  c->document.title = Utf8ToWide(duk_safe_to_string(ctx, 0));
  SendDisplayList(c);
  return 0;
}

duk_ret_t SetFullscreen(duk_context* ctx) {
  V8ContextImpl* c = Context(ctx);
  bool enter = duk_get_current_magic(ctx) == 1;
  if (c && c->fullscreen != enter) {
    c->fullscreen = enter;
    IpcWriter w;
    w.Int(enter ? 1 : 0);
    Send(c, IPC_FULLSCREEN, w);
  }
  return 0;
}

duk_ret_t IsFullscreenGet(duk_context* ctx) {
  V8ContextImpl* c = Context(ctx);
  duk_push_boolean(ctx, c && c->fullscreen);
  return 1;
}

duk_ret_t FullscreenElementGet(duk_context* ctx) {
  V8ContextImpl* c = Context(ctx);
  if (c && c->fullscreen) {
    duk_push_global_object(ctx);
    duk_get_prop_string(ctx, -1, "document");
    duk_get_prop_string(ctx, -1, "documentElement");
  } else {
    duk_push_null(ctx);
  }
  return 1;
}

void DefineAccessor(duk_context* ctx,
                    duk_idx_t object,
                    const char* name,
                    duk_c_function getter,
                    duk_c_function setter) {
  object = duk_normalize_index(ctx, object);
  duk_push_string(ctx, name);
  duk_push_c_function(ctx, getter, 0);
  duk_uint_t flags =
      DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_SET_ENUMERABLE | DUK_DEFPROP_SET_CONFIGURABLE;
  if (setter) {
    duk_push_c_function(ctx, setter, 1);
    flags |= DUK_DEFPROP_HAVE_SETTER;
  }
  duk_def_prop(ctx, object, flags);
}

void DefineFunction(duk_context* ctx,
                    duk_idx_t object,
                    const char* name,
                    duk_c_function fn,
                    duk_idx_t nargs,
                    int magic = 0) {
  object = duk_normalize_index(ctx, object);
  duk_push_c_function(ctx, fn, nargs);
  duk_set_magic(ctx, -1, magic);
  duk_put_prop_string(ctx, object, name);
}

}  // namespace

void InstallPageEnvironment(V8ContextImpl* c) {
  duk_context* ctx = c->thread();
  duk_push_global_object(ctx);
  duk_idx_t global = duk_get_top_index(ctx);
  duk_dup(ctx, global);
  duk_put_prop_string(ctx, global, "window");
  duk_dup(ctx, global);
  duk_put_prop_string(ctx, global, "self");

  duk_push_object(ctx);  // console
  DefineFunction(ctx, -1, "log", ConsoleWrite, DUK_VARARGS, 0);
  DefineFunction(ctx, -1, "info", ConsoleWrite, DUK_VARARGS, 0);
  DefineFunction(ctx, -1, "debug", ConsoleWrite, DUK_VARARGS, 0);
  DefineFunction(ctx, -1, "warn", ConsoleWrite, DUK_VARARGS, 1);
  DefineFunction(ctx, -1, "error", ConsoleWrite, DUK_VARARGS, 2);
  duk_put_prop_string(ctx, global, "console");

  DefineFunction(ctx, global, "setTimeout", AddTimer, DUK_VARARGS, 0);
  DefineFunction(ctx, global, "setInterval", AddTimer, DUK_VARARGS, 1);
  DefineFunction(ctx, global, "clearTimeout", ClearTimer, 1);
  DefineFunction(ctx, global, "clearInterval", ClearTimer, 1);
  DefineFunction(ctx, global, "open", WindowOpen, DUK_VARARGS);

  duk_push_object(ctx);  // location
  DefineAccessor(ctx, -1, "href", LocationHrefGet, LocationHrefSet);
  DefineAccessor(ctx, -1, "protocol", LocationProtocolGet, nullptr);
  DefineFunction(ctx, -1, "assign", LocationHrefSet, 1);
  DefineFunction(ctx, -1, "replace", LocationHrefSet, 1);
  DefineFunction(ctx, -1, "reload", LocationReload, 0);
  DefineFunction(ctx, -1, "toString", LocationHrefGet, 0);
  duk_put_prop_string(ctx, global, kLocationKey);
  DefineAccessor(ctx, global, "location", LocationGet, LocationHrefSet);

  duk_push_object(ctx);  // document
  DefineAccessor(ctx, -1, "title", TitleGet, TitleSet);
  DefineAccessor(ctx, -1, "location", LocationGet, LocationHrefSet);
  DefineAccessor(ctx, -1, "webkitIsFullScreen", IsFullscreenGet, nullptr);
  DefineAccessor(ctx, -1, "fullscreenElement", FullscreenElementGet, nullptr);
  DefineAccessor(ctx, -1, "webkitFullscreenElement", FullscreenElementGet, nullptr);
  DefineFunction(ctx, -1, "webkitExitFullscreen", SetFullscreen, 0, 0);
  DefineFunction(ctx, -1, "exitFullscreen", SetFullscreen, 0, 0);
  duk_push_object(ctx);  // document.documentElement
  DefineFunction(ctx, -1, "webkitRequestFullscreen", SetFullscreen, 0, 1);
  DefineFunction(ctx, -1, "webkitRequestFullScreen", SetFullscreen, 0, 1);
  DefineFunction(ctx, -1, "requestFullscreen", SetFullscreen, 0, 1);
  duk_put_prop_string(ctx, -2, "documentElement");
  duk_put_prop_string(ctx, global, "document");

  duk_push_object(ctx);  // navigator
  duk_push_string(ctx, kDefaultUserAgent);
  duk_put_prop_string(ctx, -2, "userAgent");
  duk_push_string(ctx, RendererLocale().c_str());
  duk_put_prop_string(ctx, -2, "language");
  duk_put_prop_string(ctx, global, "navigator");
  duk_pop(ctx);
}

void SendDisplayList(V8ContextImpl* c) {
  TraceFirstSpan firstLayout("first layout", !c->document.items.empty());
  IpcMessage m;
  m.type = IPC_DISPLAY_LIST;
  m.browserId = c->browserId;
  m.frameId = c->frameId;
  m.payload = EncodeDisplayList(c->document.title, c->document.items);
  SendToBrowser(m);
}

void ActivateElement(V8ContextImpl* c, int index) {
  if (!c->IsValid() || index < 0 || index >= static_cast<int>(c->document.elements.size()))
    return;
  HtmlElement element = c->document.elements[index];
  c->userGesture = true;
  bool proceed = true;
  auto onclick = element.attrs.find("onclick");
  if (onclick != element.attrs.end()) {
    duk_context* ctx = c->thread();
    c->Enter();
    std::string source = "(function (event) {\n" + onclick->second + "\n})";
    duk_push_string(ctx, c->url.c_str());
    if (duk_pcompile_lstring_filename(ctx, DUK_COMPILE_EVAL, source.data(), source.size()) == 0 &&
        duk_pcall(ctx, 0) == DUK_EXEC_SUCCESS) {
      duk_push_undefined(ctx);
      duk_push_object(ctx);
      duk_push_string(ctx, "click");
      duk_put_prop_string(ctx, -2, "type");
      if (duk_pcall_method(ctx, 1) == DUK_EXEC_SUCCESS)
        proceed = !(duk_is_boolean(ctx, -1) && !duk_get_boolean(ctx, -1));
      else
        c->ReportException(ctx);
    } else {
      c->ReportException(ctx);
    }
    duk_pop(ctx);
    c->Exit();
  }
  if (proceed && c->IsValid() && element.tag == "a") {
    std::string href = element.attrs["href"];
    if (href.compare(0, 11, "javascript:") == 0) {
      c->RunScript(href.substr(11), c->url, 1);
    } else if (!href.empty() && href[0] != '#') {
      std::string target = AsciiLower(element.attrs["target"]);
      if (target == "_blank") {
        IpcWriter w;
        w.Str(ResolveUrl(c->url, href)).Str("").Int(WOD_NEW_FOREGROUND_TAB).Int(1);
        Send(c, IPC_OPEN_POPUP, w);
      } else {
        Navigate(c, href, TT_LINK);
      }
    }
  }
  c->userGesture = false;
}

void RunOnLoad(V8ContextImpl* c) {
  if (!c->IsValid())
    return;
  duk_context* ctx = c->thread();
  c->Enter();
  duk_push_global_object(ctx);
  duk_get_prop_string(ctx, -1, "onload");
  if (duk_is_function(ctx, -1)) {
    duk_push_global_object(ctx);
    if (duk_pcall_method(ctx, 0) != DUK_EXEC_SUCCESS)
      c->ReportException(ctx);
  }
  duk_pop_2(ctx);
  c->Exit();
}

}  // namespace cefimpl
