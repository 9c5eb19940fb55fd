#include "bridge/renderer/page_call_rules.h"

#include <limits>

const PageFunctionName kPageFunctions[9] = {
    {"ExitLiveHall", PageFunction::kExitLiveHall},
    {"EnterLiveRoom", PageFunction::kEnterLiveRoom},
    {"LeaveLiveRoom", PageFunction::kLeaveLiveRoom},
    {"GetWsNgbNode", PageFunction::kGetWsNgbNode},
    {"JoinChannel", PageFunction::kJoinChannel},
    {"LeaveChannel", PageFunction::kLeaveChannel},
    {"registerJSFunction", PageFunction::kRegisterJSFunction},
    {"ChangeBackground", PageFunction::kChangeBackground},
    {"Login", PageFunction::kLogin},
};

PageFunction PageFunctionFromName(const std::string& name) {
  for (const PageFunctionName& entry : kPageFunctions) {
    if (name == entry.name)
      return entry.function;
  }
  return PageFunction::kUnknown;
}

NodeQueryCheck CheckNodeQuery(const PageArgKinds& args) {
  if (args.size() != 2)
    return NodeQueryCheck::kWrongCount;
  if (args[1] != PageArgKind::kFunction)
    return NodeQueryCheck::kNotAFunction;
  return NodeQueryCheck::kQuery;
}

JoinCheck CheckJoin(const PageArgKinds& args) {
  if (args.size() < 4)
    return JoinCheck::kTooFewArguments;
  bool typesOk = args[0] == PageArgKind::kInt && args[1] == PageArgKind::kInt &&
                 args[2] == PageArgKind::kString && args[3] == PageArgKind::kFunction;
  if (typesOk)
    return JoinCheck::kJoin;
  return args[3] == PageArgKind::kFunction ? JoinCheck::kWrongTypesTell
                                           : JoinCheck::kWrongTypesSilent;
}

bool AcceptsBackground(const PageArgKinds& args) {
  return args.size() == 1 && args[0] == PageArgKind::kInt;
}

bool AcceptsRegistration(const PageArgKinds& args) {
  return args.size() == 2 && args[1] == PageArgKind::kFunction;
}

bool JoinCopyDataBytes(size_t codeUnits, size_t maxUnits, uint32_t* bytes) {
  // The byte count must also fit its 32-bit field.
  const size_t fieldLimit = std::numeric_limits<uint32_t>::max() / 2 - 1;
  if (codeUnits > maxUnits || codeUnits > fieldLimit)
    return false;
  *bytes = static_cast<uint32_t>((codeUnits + 1) * 2);
  return true;
}

bool CodeUnitLess::operator()(const std::wstring& a, const std::wstring& b) const {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    uint16_t x = static_cast<uint16_t>(a[i]), y = static_cast<uint16_t>(b[i]);
    if (x != y)
      return x < y;
  }
  return a.size() < b.size();
}
