#include "src/renderer/v8_impl.h"

#include <windows.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <set>
#include <vector>

#include "src/common/ipc_messages.h"
#include "src/common/text.h"
#include "src/renderer/render_thread.h"

namespace cefimpl {

namespace {

duk_context* g_heap = nullptr;
int g_nextRef = 0;
std::map<duk_context*, V8ContextImpl*> g_threads;
std::set<V8ContextImpl*> g_live;
std::vector<CefRefPtr<V8ContextImpl>> g_entered;

const char kHandlerKey[] = DUK_HIDDEN_SYMBOL("cefHandler");

void FatalHandler(void*, const char* message) {
  OutputDebugStringA("script engine failure: ");
  OutputDebugStringA(message ? message : "");
  ExitProcess(3);
}

// The thread to work on: the entered context's, or the heap's own.
duk_context* WorkThread() {
  if (!g_entered.empty() && g_entered.back()->IsValid())
    return g_entered.back()->thread();
  return ScriptHeap();
}

struct HandlerHolder {
  CefRefPtr<CefV8Handler> handler;
  CefString name;
};

duk_ret_t HolderFinalizer(duk_context* ctx) {
  duk_get_prop_string(ctx, 0, kHandlerKey);
  auto* holder = static_cast<HandlerHolder*>(duk_get_pointer(ctx, -1));
  duk_pop(ctx);
  delete holder;
  duk_push_pointer(ctx, nullptr);
  duk_put_prop_string(ctx, 0, kHandlerKey);
  return 0;
}

duk_ret_t FunctionTrampoline(duk_context* ctx) {
  char error[1024] = {};
  bool hasResult = false;
  {
    duk_push_current_function(ctx);
    duk_get_prop_string(ctx, -1, kHandlerKey);
    auto* holder = static_cast<HandlerHolder*>(duk_get_pointer(ctx, -1));
    duk_pop_2(ctx);
    if (holder && holder->handler) {
      CefV8ValueList args;
      duk_idx_t count = duk_get_top(ctx);
      for (duk_idx_t i = 0; i < count; ++i)
        args.push_back(WrapValue(ctx, i));
      duk_push_this(ctx);
      CefRefPtr<CefV8Value> self = WrapValue(ctx, -1);
      duk_pop(ctx);
      CefRefPtr<CefV8Handler> handler = holder->handler;
      CefString name = holder->name;
      CefRefPtr<CefV8Value> retval;
      CefString exception;
      if (handler->Execute(name, self, args, retval, exception)) {
        if (!exception.empty()) {
          std::string text = exception.ToString();
          strncpy(error, text.c_str(), sizeof(error) - 1);
        } else if (retval) {
          PushValue(ctx, retval);
          hasResult = true;
        }
      }
    }
  }
  // C++ objects are gone before the error unwinds the native frame.
  if (error[0])
    return duk_error(ctx, DUK_ERR_ERROR, "%s", error);
  return hasResult ? 1 : 0;
}

class V8ValueImpl : public CefV8Value {
 public:
  enum Kind { kUndefined, kNull, kBool, kNumber, kString, kObject };

  explicit V8ValueImpl(Kind kind) : m_kind(kind) {}
  ~V8ValueImpl() override {
    if (m_ref)
      StashDrop(m_ref);
  }

  // Numbers keep the engine's three kinds: 32-bit signed, 32-bit unsigned (beyond the signed
  // range) and double. A value from a script takes the first kind that holds it exactly.
  enum NumberKind { kInt32, kUInt32, kDouble };
  static CefRefPtr<V8ValueImpl> Number(double d, NumberKind kind) {
    CefRefPtr<V8ValueImpl> v = new V8ValueImpl(kNumber);
    v->m_number = d;
    v->m_numberKind = kind;
    return v;
  }
  static NumberKind Classify(double d) {
    if (!std::isfinite(d) || std::floor(d) != d || (d == 0 && std::signbit(d)))
      return kDouble;
    if (d >= -2147483648.0 && d <= 2147483647.0)
      return kInt32;
    if (d >= 0 && d <= 4294967295.0)
      return kUInt32;
    return kDouble;
  }

  bool IsValid() override { return true; }
  bool IsUndefined() override { return m_kind == kUndefined; }
  bool IsNull() override { return m_kind == kNull; }
  bool IsBool() override { return m_kind == kBool; }
  // As the engine answers: both integer tests hold for either integer kind.
  bool IsInt() override { return m_kind == kNumber && m_numberKind != kDouble; }
  bool IsUInt() override { return IsInt(); }
  bool IsDouble() override { return m_kind == kNumber; }
  bool IsString() override { return m_kind == kString; }
  bool IsObject() override { return m_kind == kObject; }
  bool IsArray() override { return m_kind == kObject && m_isArray; }
  bool IsFunction() override { return m_kind == kObject && m_isFunction; }
  bool IsSame(CefRefPtr<CefV8Value> that) override {
    auto* other = static_cast<V8ValueImpl*>(that.get());
    if (!other || other->m_kind != m_kind)
      return false;
    switch (m_kind) {
      case kBool:
        return m_bool == other->m_bool;
      case kNumber:
        return m_numberKind == other->m_numberKind && m_number == other->m_number;
      case kString:
        return m_string == other->m_string;
      case kObject: {
        duk_context* ctx = WorkThread();
        Push(ctx);
        other->Push(ctx);
        bool same = duk_strict_equals(ctx, -1, -2) != 0;
        duk_pop_2(ctx);
        return same;
      }
      default:
        return true;
    }
  }

  bool GetBoolValue() override { return m_kind == kBool ? m_bool : false; }
  // Integers only; a double reads as 0. The unsigned kind reads back as the same 32 bits.
  int32 GetIntValue() override { return static_cast<int32>(GetUIntValue()); }
  uint32 GetUIntValue() override {
    if (m_kind != kNumber || m_numberKind == kDouble)
      return 0;
    return m_numberKind == kInt32 ? static_cast<uint32>(static_cast<int32>(m_number))
                                  : static_cast<uint32>(m_number);
  }
  double GetDoubleValue() override { return m_kind == kNumber ? m_number : 0.0; }
  CefString GetStringValue() override {
    return m_kind == kString ? CefString(m_string) : CefString();
  }

  bool HasValue(const CefString& key) override {
    if (m_kind != kObject)
      return false;
    duk_context* ctx = WorkThread();
    Push(ctx);
    bool has = duk_has_prop_string(ctx, -1, key.ToString().c_str()) != 0;
    duk_pop(ctx);
    return has;
  }
  bool DeleteValue(const CefString& key) override {
    if (m_kind != kObject)
      return false;
    duk_context* ctx = WorkThread();
    Push(ctx);
    std::string k = key.ToString();
    duk_push_string(ctx, k.c_str());
    bool ok = duk_safe_call(ctx, SafeDelete, nullptr, 2, 1) == DUK_EXEC_SUCCESS &&
              duk_get_boolean(ctx, -1);
    duk_pop(ctx);
    return ok;
  }
  CefRefPtr<CefV8Value> GetValue(const CefString& key) override {
    if (m_kind != kObject)
      return nullptr;
    duk_context* ctx = WorkThread();
    Push(ctx);
    std::string k = key.ToString();
    duk_push_string(ctx, k.c_str());
    CefRefPtr<CefV8Value> result;
    if (duk_safe_call(ctx, SafeGet, nullptr, 2, 1) == DUK_EXEC_SUCCESS)
      result = WrapValue(ctx, -1);
    duk_pop(ctx);
    return result;
  }
  CefRefPtr<CefV8Value> GetValue(int index) override {
    if (m_kind != kObject || index < 0)
      return nullptr;
    duk_context* ctx = WorkThread();
    Push(ctx);
    duk_push_int(ctx, index);
    CefRefPtr<CefV8Value> result;
    if (duk_safe_call(ctx, SafeGet, nullptr, 2, 1) == DUK_EXEC_SUCCESS)
      result = WrapValue(ctx, -1);
    duk_pop(ctx);
    return result;
  }
  bool SetValue(const CefString& key,
                CefRefPtr<CefV8Value> value,
                PropertyAttribute attribute) override {
    if (m_kind != kObject || !value)
      return false;
    duk_context* ctx = WorkThread();
    Push(ctx);
    std::string k = key.ToString();
    duk_push_string(ctx, k.c_str());
    PushValue(ctx, value);
    duk_uint_t flags = DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_HAVE_WRITABLE |
                       DUK_DEFPROP_HAVE_ENUMERABLE | DUK_DEFPROP_HAVE_CONFIGURABLE;
    if (!(attribute & V8_PROPERTY_ATTRIBUTE_READONLY))
      flags |= DUK_DEFPROP_WRITABLE;
    if (!(attribute & V8_PROPERTY_ATTRIBUTE_DONTENUM))
      flags |= DUK_DEFPROP_ENUMERABLE;
    if (!(attribute & V8_PROPERTY_ATTRIBUTE_DONTDELETE))
      flags |= DUK_DEFPROP_CONFIGURABLE;
    bool ok = duk_safe_call(ctx, SafeDefine, &flags, 3, 1) == DUK_EXEC_SUCCESS;
    duk_pop(ctx);
    return ok;
  }
  bool SetValue(int index, CefRefPtr<CefV8Value> value) override {
    if (m_kind != kObject || index < 0 || !value)
      return false;
    duk_context* ctx = WorkThread();
    Push(ctx);
    duk_push_int(ctx, index);
    PushValue(ctx, value);
    duk_uint_t flags = DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE |
                       DUK_DEFPROP_SET_ENUMERABLE | DUK_DEFPROP_SET_CONFIGURABLE;
    bool ok = duk_safe_call(ctx, SafeDefine, &flags, 3, 1) == DUK_EXEC_SUCCESS;
    duk_pop(ctx);
    return ok;
  }
  bool GetKeys(std::vector<CefString>& keys) override {
    keys.clear();
    if (m_kind != kObject)
      return false;
    duk_context* ctx = WorkThread();
    Push(ctx);
    duk_enum(ctx, -1, DUK_ENUM_OWN_PROPERTIES_ONLY);
    while (duk_next(ctx, -1, 0)) {
      keys.push_back(Utf8ToWide(duk_safe_to_string(ctx, -1)));
      duk_pop(ctx);
    }
    duk_pop_2(ctx);
    return true;
  }
  int GetArrayLength() override {
    if (!IsArray())
      return 0;
    duk_context* ctx = WorkThread();
    Push(ctx);
    int n = static_cast<int>(duk_get_length(ctx, -1));
    duk_pop(ctx);
    return n;
  }

  CefString GetFunctionName() override {
    if (!IsFunction())
      return CefString();
    duk_context* ctx = WorkThread();
    Push(ctx);
    duk_get_prop_string(ctx, -1, "name");
    CefString name = duk_is_string(ctx, -1) ? CefString(duk_get_string(ctx, -1)) : CefString();
    duk_pop_2(ctx);
    return name;
  }
  CefRefPtr<CefV8Handler> GetFunctionHandler() override {
    if (!IsFunction())
      return nullptr;
    duk_context* ctx = WorkThread();
    Push(ctx);
    duk_get_prop_string(ctx, -1, kHandlerKey);
    auto* holder = static_cast<HandlerHolder*>(duk_get_pointer(ctx, -1));
    duk_pop_2(ctx);
    return holder ? holder->handler : nullptr;
  }
  CefRefPtr<CefV8Value> ExecuteFunction(CefRefPtr<CefV8Value> object,
                                        const CefV8ValueList& arguments) override {
    CefRefPtr<CefV8Context> current = CefV8Context::GetCurrentContext();
    if (!current)
      return nullptr;
    return ExecuteFunctionWithContext(current, object, arguments);
  }
  CefRefPtr<CefV8Value> ExecuteFunctionWithContext(CefRefPtr<CefV8Context> context,
                                                   CefRefPtr<CefV8Value> object,
                                                   const CefV8ValueList& arguments) override {
    auto* c = static_cast<V8ContextImpl*>(context.get());
    if (!IsFunction() || !c || !c->IsValid())
      return nullptr;
    c->Enter();
    duk_context* ctx = c->thread();
    Push(ctx);
    PushValue(ctx, object);
    for (const auto& arg : arguments)
      PushValue(ctx, arg);
    CefRefPtr<CefV8Value> result;
    if (duk_pcall_method(ctx, static_cast<duk_idx_t>(arguments.size())) == DUK_EXEC_SUCCESS)
      result = WrapValue(ctx, -1);
    else
      c->ReportException(ctx);
    duk_pop(ctx);
    c->Exit();
    return result;
  }

  void Push(duk_context* ctx) {
    switch (m_kind) {
      case kUndefined:
        duk_push_undefined(ctx);
        break;
      case kNull:
        duk_push_null(ctx);
        break;
      case kBool:
        duk_push_boolean(ctx, m_bool);
        break;
      case kNumber:
        duk_push_number(ctx, m_number);
        break;
      case kString: {
        std::string s = WideToUtf8(m_string);
        duk_push_lstring(ctx, s.data(), s.size());
        break;
      }
      case kObject:
        StashPush(ctx, m_ref);
        break;
    }
  }

  Kind m_kind;
  bool m_bool = false;
  double m_number = 0;
  NumberKind m_numberKind = kDouble;
  std::wstring m_string;
  int m_ref = 0;
  bool m_isFunction = false;
  bool m_isArray = false;

 private:
  static duk_ret_t SafeGet(duk_context* ctx, void*) {
    duk_get_prop(ctx, -2);
    return 1;
  }
  static duk_ret_t SafeDelete(duk_context* ctx, void*) {
    duk_push_boolean(ctx, duk_del_prop(ctx, -2));
    return 1;
  }
  static duk_ret_t SafeDefine(duk_context* ctx, void* udata) {
    duk_def_prop(ctx, -3, *static_cast<duk_uint_t*>(udata));
    duk_push_true(ctx);
    return 1;
  }

  IMPLEMENT_REFCOUNTING(V8ValueImpl);
};

}  // namespace

duk_context* ScriptHeap() {
  if (!g_heap) {
    g_heap = duk_create_heap(nullptr, nullptr, nullptr, nullptr, FatalHandler);
    duk_push_heap_stash(g_heap);
    duk_push_object(g_heap);
    duk_put_prop_string(g_heap, -2, "refs");
    duk_pop(g_heap);
  }
  return g_heap;
}

int StashPut(duk_context* ctx, duk_idx_t index) {
  index = duk_normalize_index(ctx, index);
  int ref = ++g_nextRef;
  duk_push_heap_stash(ctx);
  duk_get_prop_string(ctx, -1, "refs");
  duk_dup(ctx, index);
  duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(ref));
  duk_pop_2(ctx);
  return ref;
}

void StashPush(duk_context* ctx, int ref) {
  duk_push_heap_stash(ctx);
  duk_get_prop_string(ctx, -1, "refs");
  duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(ref));
  duk_remove(ctx, -2);
  duk_remove(ctx, -2);
}

void StashDrop(int ref) {
  if (!g_heap || !RenderThreadIsCurrent())
    return;  // a value released off the render thread stays in the stash
  duk_context* ctx = g_heap;
  duk_push_heap_stash(ctx);
  duk_get_prop_string(ctx, -1, "refs");
  duk_del_prop_index(ctx, -1, static_cast<duk_uarridx_t>(ref));
  duk_pop_2(ctx);
}

CefRefPtr<CefV8Value> WrapValue(duk_context* ctx, duk_idx_t index) {
  index = duk_normalize_index(ctx, index);
  switch (duk_get_type(ctx, index)) {
    case DUK_TYPE_UNDEFINED:
    case DUK_TYPE_NONE:
      return new V8ValueImpl(V8ValueImpl::kUndefined);
    case DUK_TYPE_NULL:
      return new V8ValueImpl(V8ValueImpl::kNull);
    case DUK_TYPE_BOOLEAN: {
      CefRefPtr<V8ValueImpl> v = new V8ValueImpl(V8ValueImpl::kBool);
      v->m_bool = duk_get_boolean(ctx, index) != 0;
      return v.get();
    }
    case DUK_TYPE_NUMBER: {
      double d = duk_get_number(ctx, index);
      return V8ValueImpl::Number(d, V8ValueImpl::Classify(d)).get();
    }
    case DUK_TYPE_STRING: {
      CefRefPtr<V8ValueImpl> v = new V8ValueImpl(V8ValueImpl::kString);
      duk_size_t len = 0;
      const char* s = duk_get_lstring(ctx, index, &len);
      v->m_string = Utf8ToWide(std::string(s ? s : "", len));
      return v.get();
    }
    default: {
      CefRefPtr<V8ValueImpl> v = new V8ValueImpl(V8ValueImpl::kObject);
      v->m_isFunction = duk_is_function(ctx, index) != 0;
      v->m_isArray = duk_is_array(ctx, index) != 0;
      v->m_ref = StashPut(ctx, index);
      return v.get();
    }
  }
}

void PushValue(duk_context* ctx, CefRefPtr<CefV8Value> value) {
  if (!value)
    duk_push_undefined(ctx);
  else
    static_cast<V8ValueImpl*>(value.get())->Push(ctx);
}

// ---------------------------------------------------------------------------------------------
// Contexts

V8ContextImpl::V8ContextImpl(CefRefPtr<CefBrowser> browser,
                             CefRefPtr<CefFrame> frame,
                             int browserId_,
                             int64 frameId_,
                             const std::string& url_,
                             HtmlDocument document_)
    : browserId(browserId_),
      frameId(frameId_),
      url(url_),
      document(std::move(document_)),
      m_browser(browser),
      m_frame(frame) {
  duk_context* heap = ScriptHeap();
  duk_push_thread_new_globalenv(heap);
  m_thread = duk_get_context(heap, -1);
  m_threadRef = StashPut(heap, -1);
  duk_pop(heap);
  g_threads[m_thread] = this;
  g_live.insert(this);
}

V8ContextImpl::~V8ContextImpl() {
  Invalidate();
  if (m_threadRef)
    StashDrop(m_threadRef);
}

void V8ContextImpl::Invalidate() {
  if (!m_valid)
    return;
  m_valid = false;
  for (auto& timer : timers) {
    if (timer.second.callbackRef)
      StashDrop(timer.second.callbackRef);
  }
  timers.clear();
  g_threads.erase(m_thread);
  g_live.erase(this);
}

CefRefPtr<CefV8Value> V8ContextImpl::GetGlobal() {
  if (!m_valid)
    return nullptr;
  duk_push_global_object(m_thread);
  CefRefPtr<CefV8Value> global = WrapValue(m_thread, -1);
  duk_pop(m_thread);
  return global;
}

bool V8ContextImpl::Enter() {
  g_entered.push_back(this);
  return true;
}

bool V8ContextImpl::Exit() {
  for (auto it = g_entered.rbegin(); it != g_entered.rend(); ++it) {
    if (it->get() == this) {
      g_entered.erase(std::next(it).base());
      return true;
    }
  }
  return false;
}

bool V8ContextImpl::Eval(const CefString& code,
                         const CefString& script_url,
                         int start_line,
                         CefRefPtr<CefV8Value>& retval,
                         CefString& exception) {
  if (!m_valid)
    return false;
  Enter();
  std::string source(start_line > 1 ? start_line - 1 : 0, '\n');
  source += code.ToString();
  std::string name = script_url.empty() ? url : script_url.ToString();
  duk_push_string(m_thread, name.c_str());
  bool ok = duk_pcompile_lstring_filename(m_thread, DUK_COMPILE_EVAL, source.data(),
                                          source.size()) == 0 &&
            duk_pcall(m_thread, 0) == DUK_EXEC_SUCCESS;
  if (ok)
    retval = WrapValue(m_thread, -1);
  else
    exception = duk_safe_to_string(m_thread, -1);
  duk_pop(m_thread);
  Exit();
  return ok;
}

bool V8ContextImpl::RunScript(const std::string& code, const std::string& scriptUrl, int line) {
  if (!m_valid)
    return false;
  Enter();
  std::string source(line > 1 ? line - 1 : 0, '\n');
  source += code;
  duk_push_string(m_thread, scriptUrl.c_str());
  bool ok = duk_pcompile_lstring_filename(m_thread, 0, source.data(), source.size()) == 0 &&
            duk_pcall(m_thread, 0) == DUK_EXEC_SUCCESS;
  if (!ok)
    ReportException(m_thread);
  duk_pop(m_thread);
  Exit();
  return ok;
}

void V8ContextImpl::ReportException(duk_context* ctx) {
  duk_dup(ctx, -1);  // the text is made from a copy: the error object stays for its details
  std::string message = std::string("Uncaught ") + duk_safe_to_string(ctx, -1);
  duk_pop(ctx);
  std::string source = url;
  int line = 0;
  if (duk_is_object(ctx, -1)) {
    duk_get_prop_string(ctx, -1, "fileName");
    if (duk_is_string(ctx, -1))
      source = duk_get_string(ctx, -1);
    duk_pop(ctx);
    duk_get_prop_string(ctx, -1, "lineNumber");
    line = duk_is_number(ctx, -1) ? duk_get_int(ctx, -1) : 0;
    duk_pop(ctx);
  }
  // The compiler's errors name their line only in the text: "... (line 4)".
  size_t mark = message.rfind("(line ");
  if (line == 0 && mark != std::string::npos)
    line = atoi(message.c_str() + mark + 6);
  Console(LOGSEVERITY_ERROR, message, source, line);
}

void V8ContextImpl::Console(cef_log_severity_t severity,
                            const std::string& message,
                            const std::string& source,
                            int line) {
  IpcWriter w;
  w.Int(severity).Str(message).Str(source).Int(line);
  SendToBrowser(MakeIpc(IPC_CONSOLE_MESSAGE, browserId, frameId, w));
}

V8ContextImpl* ContextOfThread(duk_context* ctx) {
  auto it = g_threads.find(ctx);
  return it == g_threads.end() ? nullptr : it->second;
}

ULONGLONG NextPageTimerDue() {
  ULONGLONG next = 0;
  for (V8ContextImpl* c : g_live) {
    for (auto& timer : c->timers) {
      if (next == 0 || timer.second.due < next)
        next = timer.second.due;
    }
  }
  return next;
}

void RunDuePageTimers() {
  ULONGLONG now = GetTickCount64();
  // One due timer at a time: a callback may change any context's timers.
  for (;;) {
    CefRefPtr<V8ContextImpl> context;
    int id = 0;
    for (V8ContextImpl* c : g_live) {
      for (auto& timer : c->timers) {
        if (timer.second.due <= now && (!context || timer.second.due < context->timers[id].due)) {
          context = c;
          id = timer.first;
        }
      }
    }
    if (!context)
      return;
    PageTimer timer = context->timers[id];
    if (timer.repeat) {
      context->timers[id].due = now + (timer.interval ? timer.interval : 1);
    } else {
      context->timers.erase(id);
    }
    duk_context* ctx = context->thread();
    context->Enter();
    if (timer.callbackRef) {
      StashPush(ctx, timer.callbackRef);
      duk_push_undefined(ctx);
      if (duk_pcall_method(ctx, 0) != DUK_EXEC_SUCCESS)
        context->ReportException(ctx);
      duk_pop(ctx);
      if (!timer.repeat)
        StashDrop(timer.callbackRef);
    } else {
      context->Exit();
      context->RunScript(timer.code, context->url, 1);
      context->Enter();
    }
    context->Exit();
  }
}

}  // namespace cefimpl

// ---------------------------------------------------------------------------------------------
// Public V8 entry points

using cefimpl::V8ContextImpl;

CefRefPtr<CefV8Context> CefV8Context::GetCurrentContext() {
  return cefimpl::g_entered.empty() ? nullptr : cefimpl::g_entered.back().get();
}
CefRefPtr<CefV8Context> CefV8Context::GetEnteredContext() {
  return GetCurrentContext();
}
bool CefV8Context::InContext() {
  return !cefimpl::g_entered.empty();
}

CefRefPtr<CefV8Value> CefV8Value::CreateUndefined() {
  return new cefimpl::V8ValueImpl(cefimpl::V8ValueImpl::kUndefined);
}
CefRefPtr<CefV8Value> CefV8Value::CreateNull() {
  return new cefimpl::V8ValueImpl(cefimpl::V8ValueImpl::kNull);
}
CefRefPtr<CefV8Value> CefV8Value::CreateBool(bool value) {
  CefRefPtr<cefimpl::V8ValueImpl> v = new cefimpl::V8ValueImpl(cefimpl::V8ValueImpl::kBool);
  v->m_bool = value;
  return v.get();
}
CefRefPtr<CefV8Value> CefV8Value::CreateInt(int32 value) {
  return cefimpl::V8ValueImpl::Number(value, cefimpl::V8ValueImpl::kInt32).get();
}
CefRefPtr<CefV8Value> CefV8Value::CreateUInt(uint32 value) {
  return cefimpl::V8ValueImpl::Number(value, cefimpl::V8ValueImpl::kUInt32).get();
}
CefRefPtr<CefV8Value> CefV8Value::CreateDouble(double value) {
  return cefimpl::V8ValueImpl::Number(value, cefimpl::V8ValueImpl::kDouble).get();
}
CefRefPtr<CefV8Value> CefV8Value::CreateString(const CefString& value) {
  CefRefPtr<cefimpl::V8ValueImpl> v = new cefimpl::V8ValueImpl(cefimpl::V8ValueImpl::kString);
  v->m_string = value.ToWString();
  return v.get();
}
CefRefPtr<CefV8Value> CefV8Value::CreateObject(void*, void*) {
  if (!CefV8Context::InContext())
    return nullptr;
  duk_context* ctx = cefimpl::WorkThread();
  duk_push_object(ctx);
  CefRefPtr<CefV8Value> v = cefimpl::WrapValue(ctx, -1);
  duk_pop(ctx);
  return v;
}
CefRefPtr<CefV8Value> CefV8Value::CreateArray(int length) {
  if (!CefV8Context::InContext())
    return nullptr;
  duk_context* ctx = cefimpl::WorkThread();
  duk_push_array(ctx);
  if (length > 0) {
    duk_push_int(ctx, length);
    duk_put_prop_string(ctx, -2, "length");
  }
  CefRefPtr<CefV8Value> v = cefimpl::WrapValue(ctx, -1);
  duk_pop(ctx);
  return v;
}
CefRefPtr<CefV8Value> CefV8Value::CreateFunction(const CefString& name,
                                                 CefRefPtr<CefV8Handler> handler) {
  if (!CefV8Context::InContext() || !handler)
    return nullptr;
  duk_context* ctx = cefimpl::WorkThread();
  duk_push_c_function(ctx, cefimpl::FunctionTrampoline, DUK_VARARGS);
  auto* holder = new cefimpl::HandlerHolder{handler, name};
  duk_push_pointer(ctx, holder);
  duk_put_prop_string(ctx, -2, cefimpl::kHandlerKey);
  duk_push_c_function(ctx, cefimpl::HolderFinalizer, 1);
  duk_set_finalizer(ctx, -2);
  duk_push_string(ctx, "name");
  std::string n = name.ToString();
  duk_push_string(ctx, n.c_str());
  duk_def_prop(ctx, -3, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_FORCE);
  CefRefPtr<CefV8Value> v = cefimpl::WrapValue(ctx, -1);
  duk_pop(ctx);
  return v;
}
