// Value containers, process messages, requests and the other small engine objects that both
// processes use.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>

#include "include/base/cef_callback.h"
#include "include/cef_context_menu_handler.h"
#include "include/cef_drag_data.h"
#include "include/cef_process_message.h"
#include "include/cef_request.h"
#include "include/cef_request_context.h"
#include "include/cef_sandbox_win.h"
#include "include/cef_values.h"
#include "include/wrapper/cef_closure_task.h"
#include "include/wrapper/cef_helpers.h"
#include "src/common/threads.h"

namespace {

struct Value {
  CefValueType type = VTYPE_NULL;
  bool b = false;
  int i = 0;
  double d = 0;
  std::wstring s;
};

class ListValueImpl : public CefListValue {
 public:
  bool IsValid() override { return true; }
  bool IsOwned() override { return false; }
  bool IsReadOnly() override { return false; }
  CefRefPtr<CefListValue> Copy() override {
    std::lock_guard<std::mutex> lock(m_lock);
    CefRefPtr<ListValueImpl> copy = new ListValueImpl();
    copy->m_values = m_values;
    return copy.get();
  }
  bool SetSize(size_t size) override {
    std::lock_guard<std::mutex> lock(m_lock);
    m_values.resize(size);
    return true;
  }
  size_t GetSize() override {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_values.size();
  }
  bool Clear() override {
    std::lock_guard<std::mutex> lock(m_lock);
    m_values.clear();
    return true;
  }
  bool Remove(size_t index) override {
    std::lock_guard<std::mutex> lock(m_lock);
    if (index >= m_values.size())
      return false;
    m_values.erase(m_values.begin() + index);
    return true;
  }
  CefValueType GetType(size_t index) override { return Get(index).type; }
  bool GetBool(size_t index) override {
    Value v = Get(index);
    return v.type == VTYPE_BOOL && v.b;
  }
  int GetInt(size_t index) override {
    Value v = Get(index);
    return v.type == VTYPE_INT ? v.i : 0;
  }
  double GetDouble(size_t index) override {
    Value v = Get(index);
    return v.type == VTYPE_DOUBLE ? v.d : (v.type == VTYPE_INT ? v.i : 0.0);
  }
  CefString GetString(size_t index) override {
    Value v = Get(index);
    return v.type == VTYPE_STRING ? CefString(v.s) : CefString();
  }
  bool SetNull(size_t index) override { return Set(index, Value()); }
  bool SetBool(size_t index, bool value) override {
    Value v;
    v.type = VTYPE_BOOL;
    v.b = value;
    return Set(index, v);
  }
  bool SetInt(size_t index, int value) override {
    Value v;
    v.type = VTYPE_INT;
    v.i = value;
    return Set(index, v);
  }
  bool SetDouble(size_t index, double value) override {
    Value v;
    v.type = VTYPE_DOUBLE;
    v.d = value;
    return Set(index, v);
  }
  bool SetString(size_t index, const CefString& value) override {
    Value v;
    v.type = VTYPE_STRING;
    v.s = value.ToWString();
    return Set(index, v);
  }

 private:
  Value Get(size_t index) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (index >= m_values.size()) {
      Value invalid;
      invalid.type = VTYPE_INVALID;
      return invalid;
    }
    return m_values[index];
  }
  // Setting past the end grows the list with nulls, as the engine's list does.
  bool Set(size_t index, const Value& v) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (index >= m_values.size())
      m_values.resize(index + 1);
    m_values[index] = v;
    return true;
  }
  std::mutex m_lock;
  std::vector<Value> m_values;
  IMPLEMENT_REFCOUNTING(ListValueImpl);
};

class DictionaryValueImpl : public CefDictionaryValue {
 public:
  bool IsValid() override { return true; }
  size_t GetSize() override {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_values.size();
  }
  bool Clear() override {
    std::lock_guard<std::mutex> lock(m_lock);
    m_values.clear();
    return true;
  }
  bool HasKey(const CefString& key) override {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_values.count(key.ToWString()) != 0;
  }
  bool Remove(const CefString& key) override {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_values.erase(key.ToWString()) != 0;
  }
  CefValueType GetType(const CefString& key) override {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_values.find(key.ToWString());
    return it == m_values.end() ? VTYPE_INVALID : it->second.type;
  }
  int GetInt(const CefString& key) override {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_values.find(key.ToWString());
    return it != m_values.end() && it->second.type == VTYPE_INT ? it->second.i : 0;
  }
  CefString GetString(const CefString& key) override {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_values.find(key.ToWString());
    return it != m_values.end() && it->second.type == VTYPE_STRING ? CefString(it->second.s)
                                                                   : CefString();
  }
  bool SetInt(const CefString& key, int value) override {
    std::lock_guard<std::mutex> lock(m_lock);
    Value& v = m_values[key.ToWString()];
    v = Value();
    v.type = VTYPE_INT;
    v.i = value;
    return true;
  }
  bool SetString(const CefString& key, const CefString& value) override {
    std::lock_guard<std::mutex> lock(m_lock);
    Value& v = m_values[key.ToWString()];
    v = Value();
    v.type = VTYPE_STRING;
    v.s = value.ToWString();
    return true;
  }

 private:
  std::mutex m_lock;
  std::map<std::wstring, Value> m_values;
  IMPLEMENT_REFCOUNTING(DictionaryValueImpl);
};

class ProcessMessageImpl : public CefProcessMessage {
 public:
  ProcessMessageImpl(const CefString& name, CefRefPtr<CefListValue> args)
      : m_name(name), m_args(args) {}
  bool IsValid() override { return true; }
  bool IsReadOnly() override { return false; }
  CefRefPtr<CefProcessMessage> Copy() override {
    return new ProcessMessageImpl(m_name, m_args->Copy());
  }
  CefString GetName() override { return m_name; }
  CefRefPtr<CefListValue> GetArgumentList() override { return m_args; }

 private:
  CefString m_name;
  CefRefPtr<CefListValue> m_args;
  IMPLEMENT_REFCOUNTING(ProcessMessageImpl);
};

class RequestImpl : public CefRequest {
 public:
  bool IsReadOnly() override { return false; }
  CefString GetURL() override { return Locked(m_url); }
  void SetURL(const CefString& url) override { Set(m_url, url); }
  CefString GetMethod() override { return Locked(m_method); }
  void SetMethod(const CefString& method) override { Set(m_method, method); }
  CefString GetReferrerURL() override { return Locked(m_referrer); }
  TransitionType GetTransitionType() override { return m_transition; }
  uint64_t GetIdentifier() override { return m_id; }

  void SetTransitionType(TransitionType t) { m_transition = t; }
  void SetReferrer(const CefString& r) { Set(m_referrer, r); }

 private:
  CefString Locked(const std::wstring& s) {
    std::lock_guard<std::mutex> lock(m_lock);
    return s;
  }
  void Set(std::wstring& s, const CefString& v) {
    std::lock_guard<std::mutex> lock(m_lock);
    s = v.ToWString();
  }
  static std::atomic<uint64_t> s_nextId;
  std::mutex m_lock;
  std::wstring m_url, m_method = L"GET", m_referrer;
  TransitionType m_transition = TT_EXPLICIT;
  uint64_t m_id = ++s_nextId;
  IMPLEMENT_REFCOUNTING(RequestImpl);
};
std::atomic<uint64_t> RequestImpl::s_nextId{0};

class DragDataImpl : public CefDragData {
 public:
  bool IsReadOnly() override { return false; }
  bool IsLink() override { return false; }
  bool IsFragment() override { return false; }
  bool IsFile() override { return !m_files.empty(); }
  CefString GetLinkURL() override { return CefString(); }
  CefString GetFileName() override { return m_files.empty() ? CefString() : m_files[0]; }
  bool GetFileNames(std::vector<CefString>& names) override {
    names.assign(m_files.begin(), m_files.end());
    return !m_files.empty();
  }
  void AddFile(const CefString& path, const CefString&) override { m_files.push_back(path); }

 private:
  std::vector<CefString> m_files;
  IMPLEMENT_REFCOUNTING(DragDataImpl);
};

class RequestContextImpl : public CefRequestContext {
 public:
  bool IsGlobal() override { return true; }
  CefString GetCachePath() override { return CefString(); }
  IMPLEMENT_REFCOUNTING(RequestContextImpl);
};

class ClosureTask : public CefTask {
 public:
  explicit ClosureTask(std::function<void()> f) : m_f(std::move(f)) {}
  void Execute() override {
    if (m_f)
      m_f();
  }

 private:
  std::function<void()> m_f;
  IMPLEMENT_REFCOUNTING(ClosureTask);
};

struct SandboxInfo {
  unsigned magic = 0x53424F58;
};

}  // namespace

CefRefPtr<CefListValue> CefListValue::Create() {
  return new ListValueImpl();
}
CefRefPtr<CefDictionaryValue> CefDictionaryValue::Create() {
  return new DictionaryValueImpl();
}
CefRefPtr<CefProcessMessage> CefProcessMessage::Create(const CefString& name) {
  return new ProcessMessageImpl(name, CefListValue::Create());
}
CefRefPtr<CefRequest> CefRequest::Create() {
  return new RequestImpl();
}
CefRefPtr<CefDragData> CefDragData::Create() {
  return new DragDataImpl();
}
CefRefPtr<CefRequestContext> CefRequestContext::GetGlobalContext() {
  static CefRefPtr<CefRequestContext> global = new RequestContextImpl();
  return global;
}
CefRefPtr<CefTask> CefCreateClosureTask(const base::Closure& closure) {
  if (closure.is_null())
    return nullptr;
  return new ClosureTask([closure] { closure.Run(); });
}
bool CefPostTask(CefThreadId threadId, const base::Closure& closure) {
  CefRefPtr<CefTask> task = CefCreateClosureTask(closure);
  return task && CefPostTask(threadId, task);
}
bool CefPostDelayedTask(CefThreadId threadId, const base::Closure& closure, int64 delay_ms) {
  CefRefPtr<CefTask> task = CefCreateClosureTask(closure);
  return task && CefPostDelayedTask(threadId, task, delay_ms);
}

namespace cefimpl {
CefRefPtr<CefTask> FunctionTask(std::function<void()> fn) {
  return new ClosureTask(std::move(fn));
}
}  // namespace cefimpl

namespace cefimpl {
void SetRequestTransition(CefRefPtr<CefRequest> request, cef_transition_type_t type) {
  static_cast<RequestImpl*>(request.get())->SetTransitionType(type);
}
}  // namespace cefimpl

namespace cef_internal {
void ReportWrongThread(const char* function, CefThreadId expected) {
  char text[256];
  snprintf(text, sizeof(text), "%s called on the wrong thread (expected engine thread %d)\n",
           function, static_cast<int>(expected));
  OutputDebugStringA(text);
}
}  // namespace cef_internal

extern "C" void* cef_sandbox_info_create() {
  return new SandboxInfo();
}
extern "C" void cef_sandbox_info_destroy(void* info) {
  delete static_cast<SandboxInfo*>(info);
}
