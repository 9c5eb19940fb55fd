// The renderer's page functions and callback dispatch, called the way the engine calls them,
// against a real window standing in for the main window and a real join result record. Script
// values are small fakes here; the end-to-end tests run the same code in a real renderer.
#include "bridge/renderer/client_app_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "bridge/common/bridge_messages.h"
#include "bridge/common/join_result_record.h"
#include "common/encoding.h"

namespace {

// What reached the page: one line per callback call, e.g. "join(3)" or "history()".
std::vector<std::string> g_pageCalls;

class FakeValue : public CefV8Value {
 public:
  enum Kind { kUndefined, kInt, kDouble, kString, kFunction, kObject };
  static CefRefPtr<CefV8Value> Int(int v) { return new FakeValue(kInt, v); }
  static CefRefPtr<CefV8Value> Double(double v) { return new FakeValue(kDouble, v); }
  static CefRefPtr<CefV8Value> Str(const std::wstring& s) {
    CefRefPtr<FakeValue> v = new FakeValue(kString, 0);
    v->m_string = s;
    return v.get();
  }
  static CefRefPtr<CefV8Value> Undefined() { return new FakeValue(kUndefined, 0); }
  static CefRefPtr<CefV8Value> Object() { return new FakeValue(kObject, 0); }
  // A page function that writes "label(arg,...)" into g_pageCalls.
  static CefRefPtr<CefV8Value> Function(const std::string& label) {
    CefRefPtr<FakeValue> v = new FakeValue(kFunction, 0);
    v->m_label = label;
    return v.get();
  }

  bool IsValid() override { return true; }
  bool IsUndefined() override { return m_kind == kUndefined; }
  bool IsNull() override { return false; }
  bool IsBool() override { return false; }
  bool IsInt() override { return m_kind == kInt; }
  bool IsUInt() override { return m_kind == kInt && m_number >= 0; }
  bool IsDouble() override { return m_kind == kInt || m_kind == kDouble; }
  bool IsString() override { return m_kind == kString; }
  bool IsObject() override { return m_kind == kFunction || m_kind == kObject; }
  bool IsArray() override { return false; }
  bool IsFunction() override { return m_kind == kFunction; }
  bool IsSame(CefRefPtr<CefV8Value> that) override { return that.get() == this; }
  bool GetBoolValue() override { return false; }
  int32 GetIntValue() override { return static_cast<int32>(m_number); }
  uint32 GetUIntValue() override { return static_cast<uint32>(m_number); }
  double GetDoubleValue() override { return m_number; }
  CefString GetStringValue() override {
    return m_kind == kString ? CefString(m_string) : CefString();
  }
  bool HasValue(const CefString&) override { return false; }
  bool DeleteValue(const CefString&) override { return false; }
  CefRefPtr<CefV8Value> GetValue(const CefString&) override { return nullptr; }
  CefRefPtr<CefV8Value> GetValue(int) override { return nullptr; }
  bool SetValue(const CefString&, CefRefPtr<CefV8Value>, PropertyAttribute) override {
    return false;
  }
  bool SetValue(int, CefRefPtr<CefV8Value>) override { return false; }
  bool GetKeys(std::vector<CefString>&) override { return false; }
  int GetArrayLength() override { return 0; }
  CefString GetFunctionName() override { return m_label; }
  CefRefPtr<CefV8Handler> GetFunctionHandler() override { return nullptr; }
  CefRefPtr<CefV8Value> ExecuteFunction(CefRefPtr<CefV8Value> object,
                                        const CefV8ValueList& arguments) override {
    return ExecuteFunctionWithContext(nullptr, object, arguments);
  }
  CefRefPtr<CefV8Value> ExecuteFunctionWithContext(CefRefPtr<CefV8Context>,
                                                   CefRefPtr<CefV8Value> object,
                                                   const CefV8ValueList& arguments) override {
    std::string call = m_label + "(";
    for (size_t i = 0; i < arguments.size(); ++i) {
      if (i)
        call += ",";
      // Arguments are the engine's own values, made by the renderer.
      const CefRefPtr<CefV8Value>& a = arguments[i];
      call += a->IsString() ? "'" + a->GetStringValue().ToString() + "'"
                            : std::to_string(a->GetIntValue());
    }
    g_pageCalls.push_back(call + ")" + (object ? " with receiver" : ""));
    return Undefined();
  }

 private:
  FakeValue(Kind kind, double number) : m_kind(kind), m_number(number) {}
  Kind m_kind;
  double m_number;
  std::wstring m_string;
  std::string m_label;
  IMPLEMENT_REFCOUNTING(FakeValue);
};

class FakeContext : public CefV8Context {
 public:
  bool IsValid() override { return true; }
  CefRefPtr<CefBrowser> GetBrowser() override { return nullptr; }
  CefRefPtr<CefFrame> GetFrame() override { return nullptr; }
  CefRefPtr<CefV8Value> GetGlobal() override { return FakeValue::Object(); }
  bool Enter() override { return true; }
  bool Exit() override { return true; }
  bool IsSame(CefRefPtr<CefV8Context> that) override { return that.get() == this; }
  bool Eval(const CefString&, const CefString&, int, CefRefPtr<CefV8Value>&, CefString&) override {
    return false;
  }

 private:
  IMPLEMENT_REFCOUNTING(FakeContext);
};

// The main window as the renderer sees it: records every bridge message, and answers a join
// request by writing the next result into the record, as the client's main window does.
struct MainWindowDouble {
  std::vector<std::string> messages;
  std::wstring lastJoinText;
  DWORD lastJoinBytes = 0;
  std::vector<int> results;  // handed out one per join; the last one repeats
  size_t joins = 0;
  HANDLE record = nullptr;
  std::wstring recordName;
};
MainWindowDouble* g_window = nullptr;

LRESULT CALLBACK DoubleProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MainWindowDouble* w = g_window;
  if (!w)
    return DefWindowProcW(hwnd, message, wParam, lParam);
  char line[96];
  switch (message) {
    case WM_COPYDATA: {
      auto* data = reinterpret_cast<COPYDATASTRUCT*>(lParam);
      snprintf(line, sizeof(line), "copydata 0x%X", static_cast<unsigned>(wParam));
      w->messages.push_back(line);
      w->lastJoinBytes = data->cbData;
      w->lastJoinText.assign(static_cast<const wchar_t*>(data->lpData),
                             data->cbData / sizeof(wchar_t) - 1);
      int result = w->results.empty() ? 0 : w->results[std::min(w->joins, w->results.size() - 1)];
      ++w->joins;
      if (!w->record)
        w->record = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                       kJoinResultMappingSize, w->recordName.c_str());
      void* view = MapViewOfFile(w->record, FILE_MAP_WRITE, 0, 0, 4);
      std::memcpy(view, &result, 4);
      UnmapViewOfFile(view);
      return 1;
    }
    case WM_BRIDGE_LIVE_ROOM:
    case WM_BRIDGE_LEAVE_CHANNEL:
    case WM_BRIDGE_CHANGE_BACKGROUND:
      snprintf(line, sizeof(line), "%s %u 0x%lX",
               message == WM_BRIDGE_LIVE_ROOM       ? "live-room"
               : message == WM_BRIDGE_LEAVE_CHANNEL ? "leave-channel"
                                                    : "background",
               static_cast<unsigned>(wParam), static_cast<unsigned long>(lParam));
      w->messages.push_back(line);
      return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class RendererBridge : public testing::Test {
 protected:
  void SetUp() override {
    g_pageCalls.clear();
    std::wstring suffix =
        std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++s_count);
    m_endpoints.mainWindowClass = L"BridgeTestMainWindow-" + suffix;
    m_endpoints.joinResultMapping = L"bridge-test-record-" + suffix;
    m_window.recordName = m_endpoints.joinResultMapping;
    g_window = &m_window;
    m_app = new ClientAppRenderer(m_endpoints);
  }
  void TearDown() override {
    if (m_hwnd)
      DestroyWindow(m_hwnd);
    if (m_window.record)
      CloseHandle(m_window.record);
    g_window = nullptr;
  }

  void CreateMainWindow() {
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = DoubleProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = m_endpoints.mainWindowClass.c_str();
    RegisterClassExW(&wc);
    m_hwnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             wc.hInstance, nullptr);
    ASSERT_TRUE(m_hwnd);
  }
  // A new document: the renderer looks the main window up again.
  void NewContext() { m_app->OnContextCreated(nullptr, nullptr, new FakeContext()); }

  void Call(const char* name, const CefV8ValueList& args) {
    CefRefPtr<CefV8Value> retval;
    CefString exception;
    EXPECT_TRUE(m_app->Execute(name, nullptr, args, retval, exception)) << name;
    EXPECT_FALSE(retval) << name << " returns undefined";
    EXPECT_TRUE(exception.empty()) << name << " never throws";
  }
  // Posted messages arrive once this thread looks at its queue.
  std::vector<std::string> Messages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&msg);
    return m_window.messages;
  }
  void Message(const char* name, const std::vector<int>& args) {
    CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(name);
    for (size_t i = 0; i < args.size(); ++i)
      message->GetArgumentList()->SetInt(i, args[i]);
    m_app->OnProcessMessageReceived(nullptr, nullptr, PID_BROWSER, message);
  }

  static int s_count;
  BridgeEndpoints m_endpoints;
  MainWindowDouble m_window;
  HWND m_hwnd = nullptr;
  CefRefPtr<ClientAppRenderer> m_app;
};
int RendererBridge::s_count = 0;

using V = FakeValue;

TEST_F(RendererBridge, EachFunctionSendsOnlyWhatItsArgumentsAllow) {
  CreateMainWindow();
  NewContext();
  struct Row {
    const char* function;
    CefV8ValueList args;
    std::vector<std::string> messages;
    std::vector<std::string> pageCalls;
  } rows[] = {
      {"ExitLiveHall", {V::Int(1)}, {}, {}},
      {"Login", {V::Str(L"user"), V::Function("f")}, {}, {}},
      {"EnterLiveRoom", {V::Str(L"ignored"), V::Undefined()}, {"live-room 0 0x0"}, {}},
      {"LeaveLiveRoom", {}, {"live-room 0 0x1"}, {}},
      {"LeaveChannel", {V::Int(9), V::Int(9)}, {"leave-channel 0 0x0"}, {}},
      {"ChangeBackground", {V::Int(-1)}, {"background 0 0xFFFFFFFF"}, {}},
      {"ChangeBackground", {V::Int(7)}, {"background 0 0x7"}, {}},
      {"ChangeBackground", {V::Double(2.5)}, {}, {}},
      {"ChangeBackground", {V::Int(1), V::Int(2)}, {}, {}},
      {"ChangeBackground", {V::Str(L"3")}, {}, {}},
      {"ChangeBackground", {}, {}, {}},
      {"JoinChannel", {V::Int(1), V::Int(2), V::Str(L"k")}, {}, {}},
      {"JoinChannel",
       {V::Str(L"1"), V::Int(2), V::Str(L"k"), V::Function("join")},
       {},
       {"join(3)"}},
      {"JoinChannel",
       {V::Int(1), V::Double(2.5), V::Str(L"k"), V::Function("join")},
       {},
       {"join(3)"}},
      {"JoinChannel", {V::Int(1), V::Int(2), V::Str(L"k"), V::Int(4)}, {}, {}},
      {"JoinChannel",
       {V::Int(-5), V::Int(7), V::Str(L"a@b"), V::Function("join")},
       {"copydata 0x10"},
       {"join(0)"}},
      {"JoinChannel",
       {V::Int(1), V::Int(2), V::Str(L"k"), V::Function("join"), V::Str(L"extra")},
       {"copydata 0x10"},
       {"join(0)"}},
      {"GetWsNgbNode", {V::Str(L"s")}, {}, {}},
      {"GetWsNgbNode", {V::Str(L"s"), V::Int(5)}, {}, {}},
      {"registerJSFunction", {V::Str(L"closeMic")}, {}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.function + std::string(" row ") + std::to_string(&row - rows));
    m_window.messages.clear();
    g_pageCalls.clear();
    Call(row.function, row.args);
    EXPECT_EQ(Messages(), row.messages);
    EXPECT_EQ(g_pageCalls, row.pageCalls);
  }
  EXPECT_EQ(m_app->callbacks().size(), 0u);
}

TEST_F(RendererBridge, JoinTextCarriesTheKeyAsGivenAndTheRecordAnswers) {
  CreateMainWindow();
  NewContext();
  m_window.results = {1, 0};
  Call("JoinChannel", {V::Int(-5), V::Int(7), V::Str(L"a@b"), V::Function("first")});
  EXPECT_EQ(m_window.lastJoinText, L"-5@7@a@b");
  EXPECT_EQ(m_window.lastJoinBytes, (8u + 1) * 2);
  Call("JoinChannel", {V::Int(12345), V::Int(678), V::Str(L""), V::Function("second")});
  EXPECT_EQ(m_window.lastJoinText, L"12345@678@");
  // The longest text goes out whole; one unit more, or a 1 MB key, is not sent at all and
  // the page hears 65535, not an earlier join's result.
  std::wstring key(kMaxJoinTextUnits - 4, L'k');
  key[0] = L'\x4E2D';
  Call("JoinChannel", {V::Int(1), V::Int(2), V::Str(key), V::Function("third")});
  EXPECT_EQ(m_window.lastJoinText, L"1@2@" + key);
  EXPECT_EQ(m_window.lastJoinBytes, (kMaxJoinTextUnits + 1) * 2);
  m_window.messages.clear();
  Call("JoinChannel", {V::Int(1), V::Int(2), V::Str(key + L"k"), V::Function("fourth")});
  Call("JoinChannel",
       {V::Int(1), V::Int(2), V::Str(std::wstring(1 << 20, L'k')), V::Function("fifth")});
  EXPECT_EQ(Messages(), std::vector<std::string>{});
  EXPECT_EQ(g_pageCalls, (std::vector<std::string>{"first(1)", "second(0)", "third(0)",
                                                   "fourth(65535)", "fifth(65535)"}));
}

TEST_F(RendererBridge, WithoutMainWindowJoinStillAnswers) {
  // No window and no record yet: 65535.
  NewContext();
  Call("JoinChannel", {V::Int(1), V::Int(2), V::Str(L"k"), V::Function("join")});
  Call("EnterLiveRoom", {});
  Call("ChangeBackground", {V::Int(3)});
  EXPECT_EQ(g_pageCalls, std::vector<std::string>{"join(65535)"});

  // A record left by an earlier join answers with its value even with the window gone.
  CreateMainWindow();
  NewContext();
  m_window.results = {42};
  Call("JoinChannel", {V::Int(1), V::Int(2), V::Str(L"k"), V::Function("join")});
  DestroyWindow(m_hwnd);
  m_hwnd = nullptr;
  m_window.messages.clear();
  Call("JoinChannel", {V::Int(1), V::Int(2), V::Str(L"k"), V::Function("join")});
  Call("LeaveChannel", {});
  EXPECT_EQ(Messages(), std::vector<std::string>{});
  EXPECT_EQ(g_pageCalls, (std::vector<std::string>{"join(65535)", "join(42)", "join(42)"}));
}

TEST_F(RendererBridge, MainWindowIsLookedUpAtContextCreation) {
  NewContext();  // before the main window exists
  CreateMainWindow();
  Call("EnterLiveRoom", {});
  EXPECT_EQ(Messages(), std::vector<std::string>{});
  NewContext();
  Call("EnterLiveRoom", {});
  EXPECT_EQ(Messages(), std::vector<std::string>{"live-room 0 0x0"});
}

TEST_F(RendererBridge, RegistryKeepsTheLastFunctionPerNameUntilTheRoomIsLeft) {
  NewContext();
  Call("registerJSFunction", {V::Str(L"browseHistory"), V::Function("f")});
  Call("registerJSFunction", {V::Str(L"browseHistory"), V::Function("g")});
  Call("registerJSFunction", {V::Int(1), V::Function("unnamed")});
  Call("registerJSFunction", {V::Str(L"closeMic"), V::Int(1)});
  ASSERT_EQ(m_app->callbacks().size(), 2u);
  EXPECT_EQ(m_app->callbacks().begin()->first, L"");  // a non-text name registers as ""
  EXPECT_EQ(m_app->callbacks().at(L"browseHistory")->GetFunctionName().ToString(), "g");

  Message("browseHistory", {});
  EXPECT_EQ(g_pageCalls, std::vector<std::string>{"g()"});

  Call("LeaveLiveRoom", {});
  EXPECT_TRUE(m_app->callbacks().empty());
  // A new document does not empty the registry.
  Call("registerJSFunction", {V::Str(L"closeMic"), V::Function("mic")});
  NewContext();
  EXPECT_EQ(m_app->callbacks().size(), 1u);
}

TEST_F(RendererBridge, ProcessMessagesCallTheirCallbacks) {
  NewContext();
  // Nothing registered: no message calls anything.
  for (const char* name : {"closeMic", "changeWindowSize", "changeWindowMode", "browseHistory"})
    Message(name, {1});
  EXPECT_EQ(g_pageCalls, std::vector<std::string>{});

  for (const char* name : {"closeMic", "changeWindowSize", "changeWindowMode", "browseHistory"})
    Call("registerJSFunction", {V::Str(zarvik::Utf8ToWide(name)), V::Function(name)});
  struct Row {
    const char* name;
    std::vector<int> args;
    const char* call;  // null: no call
  } rows[] = {
      {"closeMic", {1}, "closeMic(1)"},
      {"closeMic", {}, "closeMic(0)"},  // a missing argument reads 0
      {"changeWindowSize", {1}, "changeWindowSize(1)"},
      {"changeWindowSize", {0, 5}, "changeWindowSize(0)"},
      {"changeWindowMode", {1}, "changeWindowMode(1)"},
      {"browseHistory", {7}, "browseHistory()"},
      {"CloseMic", {1}, nullptr},
      {"closeMic ", {1}, nullptr},
      {"unknown", {1}, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    g_pageCalls.clear();
    CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(row.name);
    for (size_t i = 0; i < row.args.size(); ++i)
      message->GetArgumentList()->SetInt(i, row.args[i]);
    bool handled = m_app->OnProcessMessageReceived(nullptr, nullptr, PID_BROWSER, message);
    EXPECT_EQ(handled, std::string(row.name) == "closeMic");
    EXPECT_EQ(g_pageCalls,
              row.call ? std::vector<std::string>{row.call} : std::vector<std::string>{});
  }

  // A text argument reads 0 as well.
  g_pageCalls.clear();
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create("changeWindowMode");
  message->GetArgumentList()->SetString(0, "1");
  m_app->OnProcessMessageReceived(nullptr, nullptr, PID_BROWSER, message);
  EXPECT_EQ(g_pageCalls, std::vector<std::string>{"changeWindowMode(0)"});
}

TEST_F(RendererBridge, CloseMicLooksForTheMainWindowWhenItHadNone) {
  NewContext();
  CreateMainWindow();
  Message("closeMic", {0});  // nothing registered; the window is found all the same
  Call("LeaveChannel", {});
  EXPECT_EQ(Messages(), std::vector<std::string>{"leave-channel 0 0x0"});
}

}  // namespace
