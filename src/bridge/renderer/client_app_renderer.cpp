#include "bridge/renderer/client_app_renderer.h"

#include <string>
#include <vector>

#include "bridge/common/bridge_messages.h"
#include "bridge/common/join_result_record.h"
#include "bridge/common/join_text.h"
#include "common/encoding.h"
#include "diagnostics/log.h"
#include "include/wrapper/cef_helpers.h"
#include "web/stream_node.h"

// The renderer process has no log object: every LogLine here is dropped, and the texts only mark
// the branches, alike in every build of the client.

namespace {

PageArgKind KindOf(const CefRefPtr<CefV8Value>& value) {
  if (!value)
    return PageArgKind::kOther;
  if (value->IsFunction())
    return PageArgKind::kFunction;
  if (value->IsString())
    return PageArgKind::kString;
  if (value->IsInt())
    return PageArgKind::kInt;
  return PageArgKind::kOther;
}

PageArgKinds KindsOf(const CefV8ValueList& arguments) {
  PageArgKinds kinds;
  kinds.reserve(arguments.size());
  for (const auto& argument : arguments)
    kinds.push_back(KindOf(argument));
  return kinds;
}

std::wstring StringOf(const CefRefPtr<CefV8Value>& value) {
  return value ? value->GetStringValue().ToWString() : std::wstring();
}

// Argument 0 of a process message as an integer; a missing or non-integer argument reads 0.
int IntArgument0(const CefRefPtr<CefProcessMessage>& message) {
  CefRefPtr<CefListValue> args = message->GetArgumentList();
  if (!args || args->GetSize() < 1 || args->GetType(0) != VTYPE_INT)
    return 0;
  return args->GetInt(0);
}

// Calls a page function of the running call: current context, no receiver; the result and any
// exception stay in the page.
void CallBack(const CefRefPtr<CefV8Value>& callback, const CefV8ValueList& arguments) {
  callback->ExecuteFunctionWithContext(CefV8Context::GetCurrentContext(), nullptr, arguments);
}

}  // namespace

BridgeEndpoints BridgeEndpoints::Client() {
  return BridgeEndpoints{kMainWindowClass, kJoinResultMappingName};
}

ClientAppRenderer::ClientAppRenderer() : ClientAppRenderer(BridgeEndpoints::Client()) {}

ClientAppRenderer::ClientAppRenderer(const BridgeEndpoints& endpoints) : m_endpoints(endpoints) {}

// ---------------------------------------------------------------------------------------------
// CefApp

CefRefPtr<CefRenderProcessHandler> ClientAppRenderer::GetRenderProcessHandler() {
  return this;
}

// ---------------------------------------------------------------------------------------------
// CefRenderProcessHandler

void ClientAppRenderer::OnWebKitInitialized() {
  ::OutputDebugStringW(L"ClientAppRenderer::OnWebKitInitialized, create js extensions\r\n");
}

void ClientAppRenderer::OnContextCreated(CefRefPtr<CefBrowser> browser,
                                         CefRefPtr<CefFrame> frame,
                                         CefRefPtr<CefV8Context> context) {
  CEF_REQUIRE_RENDERER_THREAD();
  ::OutputDebugStringW(L"ClientAppRenderer::OnContextCreated, create window binding\r\n");
  CefRefPtr<CefV8Value> global = context ? context->GetGlobal() : nullptr;
  // Callbacks go nowhere until the new document registers again.
  m_callbackContext = nullptr;
  m_mainWnd = ::FindWindowW(m_endpoints.mainWindowClass.c_str(), nullptr);
  if (!global)
    return;
  for (const PageFunctionName& entry : kPageFunctions) {
    CefRefPtr<CefV8Value> function = CefV8Value::CreateFunction(entry.name, this);
    if (function)
      global->SetValue(entry.name, function, V8_PROPERTY_ATTRIBUTE_NONE);
  }
}

bool ClientAppRenderer::OnProcessMessageReceived(CefRefPtr<CefBrowser> browser,
                                                 CefRefPtr<CefFrame> frame,
                                                 CefProcessId source_process,
                                                 CefRefPtr<CefProcessMessage> message) {
  CEF_REQUIRE_RENDERER_THREAD();
  if (!message)
    return false;
  const std::string name = message->GetName().ToString();
  LogLine(INFO, "OnProcessMessageReceived : ", name);

  if (name == kMsgCloseMic) {
    if (m_callbacks.empty()) {
      LogLine(ERROR, "empty jsfuntion list");
    } else {
      CallPage(name, {CefV8Value::CreateInt(IntArgument0(message))});
    }
    if (!m_mainWnd)
      m_mainWnd = ::FindWindowW(m_endpoints.mainWindowClass.c_str(), nullptr);
    return true;
  }
  if (name == kMsgChangeWindowSize) {
    CallPage(name, {CefV8Value::CreateInt(IntArgument0(message))});
  } else if (name == kMsgChangeWindowMode) {
    const int mode = IntArgument0(message);
    LogLine(INFO, "changeWindowMode args : ", mode);
    if (!m_callbacks.empty()) {
      LogLine(INFO, "js func map size : ", m_callbacks.size());
      CallPage(name, {CefV8Value::CreateInt(mode)});
    }
  } else if (name == kMsgBrowseHistory) {
    if (!m_callbacks.empty()) {
      LogLine(INFO, "js func map size : ", m_callbacks.size());
      CallPage(name, {});
    }
  }
  return false;
}

void ClientAppRenderer::CallPage(const std::string& name, const CefV8ValueList& arguments) {
  auto it = m_callbacks.find(zarvik::Utf8ToWide(name));
  // Keep the function alive through the call: the page may register or leave the room inside.
  CefRefPtr<CefV8Value> function = it == m_callbacks.end() ? nullptr : it->second;
  if (!function || !function->IsFunction()) {
    LogLine(ERROR, "not found js function : ", name);
    return;
  }
  // With no callback context (a new document that has not registered yet) the engine calls
  // nothing.
  function->ExecuteFunctionWithContext(m_callbackContext, nullptr, arguments);
  LogLine(INFO, "call ", name);
}

// ---------------------------------------------------------------------------------------------
// CefV8Handler

bool ClientAppRenderer::Execute(const CefString& name,
                                CefRefPtr<CefV8Value> object,
                                const CefV8ValueList& arguments,
                                CefRefPtr<CefV8Value>& retval,
                                CefString& exception) {
  CEF_REQUIRE_RENDERER_THREAD();
  // Every page function returns undefined and never throws: results go through callbacks.
  switch (PageFunctionFromName(name.ToString())) {
    case PageFunction::kEnterLiveRoom:
      LiveRoom(false);
      break;
    case PageFunction::kLeaveLiveRoom:
      LiveRoom(true);
      break;
    case PageFunction::kGetWsNgbNode:
      QueryNode(arguments);
      break;
    case PageFunction::kJoinChannel:
      Join(arguments);
      break;
    case PageFunction::kChangeBackground:
      ChangeBackground(arguments);
      break;
    case PageFunction::kLeaveChannel:
      LeaveChannel();
      break;
    case PageFunction::kRegisterJSFunction:
      Register(arguments);
      break;
    case PageFunction::kExitLiveHall:
    case PageFunction::kLogin:
      break;
    case PageFunction::kUnknown:
      return false;
  }
  return true;
}

bool ClientAppRenderer::HasMainWindow() const {
  return m_mainWnd && ::IsWindow(m_mainWnd);
}

void ClientAppRenderer::LiveRoom(bool left) {
  if (left) {
    LogLine(INFO, "call LeaveChannel frome webside.");
    // Entries go one at a time; a function released here may be the last hold on a page's
    // closure.
    while (!m_callbacks.empty()) {
      LogLine(INFO, "clear jsfunc map.");
      m_callbacks.erase(m_callbacks.begin());
    }
  }
  if (HasMainWindow())
    ::SendMessageW(m_mainWnd, WM_BRIDGE_LIVE_ROOM, 0, left ? 1 : 0);
}

void ClientAppRenderer::QueryNode(const CefV8ValueList& arguments) {
  switch (CheckNodeQuery(KindsOf(arguments))) {
    case NodeQueryCheck::kWrongCount:
      LogLine(ERROR, "call GetWsNgbNode param error : ", arguments.size());
      return;
    case NodeQueryCheck::kNotAFunction:
      LogLine(ERROR, "call GetWsNgbNode the second param must be a function!");
      return;
    case NodeQueryCheck::kQuery:
      break;
  }
  const std::string streamName = zarvik::WideToUtf8(StringOf(arguments[0]));
  // Blocks this thread, and with it the page, for the query (about 12 s at most).
  const std::string node = QueryStreamNode(streamName);
  LogLine(INFO, "pass stream name : ", streamName, ",return ws ngb node : ", node);
  CallBack(arguments[1], {CefV8Value::CreateString(zarvik::Utf8ToWide(node))});
}

void ClientAppRenderer::Join(const CefV8ValueList& arguments) {
  switch (CheckJoin(KindsOf(arguments))) {
    case JoinCheck::kTooFewArguments:
      LogLine(ERROR, "call JoinChannel params Error,args num : ", arguments.size());
      return;
    case JoinCheck::kWrongTypesTell:
      CallBack(arguments[3], {CefV8Value::CreateInt(kJoinWrongArguments)});
      return;
    case JoinCheck::kWrongTypesSilent:
      return;
    case JoinCheck::kJoin:
      break;
  }
  const std::wstring text = FormatJoinText(arguments[0]->GetIntValue(), arguments[1]->GetIntValue(),
                                           StringOf(arguments[2]));
  uint32_t bytes = 0;
  if (!JoinCopyDataBytes(text.size(), kMaxJoinTextUnits, &bytes)) {
    // No request can be made: the record would only tell an earlier join's result.
    LogLine(ERROR, "call JoinChannel text too long : ", text.size());
    CallBack(arguments[3], {CefV8Value::CreateInt(kJoinResultUnavailable)});
    return;
  }
  // The main window handles the request (and writes the record) before SendMessageW returns.
  // A missing or stale handle just makes the send fail; the record is read all the same.
  COPYDATASTRUCT data = {};
  data.cbData = bytes;
  data.lpData = const_cast<wchar_t*>(text.c_str());
  ::SendMessageW(m_mainWnd, WM_COPYDATA, COPYDATA_JOIN_CHANNEL, reinterpret_cast<LPARAM>(&data));
  const int result = ReadJoinResult(m_endpoints.joinResultMapping.c_str());
  CallBack(arguments[3], {CefV8Value::CreateInt(result)});
}

void ClientAppRenderer::ChangeBackground(const CefV8ValueList& arguments) {
  if (!AcceptsBackground(KindsOf(arguments)) || !HasMainWindow())
    return;
  // Sign-extended: -1 arrives as lParam 0xFFFFFFFF.
  const LPARAM value = static_cast<LPARAM>(arguments[0]->GetIntValue());
  ::PostMessageW(m_mainWnd, WM_BRIDGE_CHANGE_BACKGROUND, 0, value);
}

void ClientAppRenderer::LeaveChannel() {
  if (HasMainWindow())
    ::SendMessageW(m_mainWnd, WM_BRIDGE_LEAVE_CHANNEL, 0, 0);
}

void ClientAppRenderer::Register(const CefV8ValueList& arguments) {
  if (!AcceptsRegistration(KindsOf(arguments)))
    return;
  const std::wstring name = StringOf(arguments[0]);
  m_callbacks.erase(name);
  LogLine(INFO, "in registerJSFunction : ", zarvik::WideToUtf8(name));
  m_callbacks.emplace(name, arguments[1]);
  m_callbackContext = CefV8Context::GetCurrentContext();
}
