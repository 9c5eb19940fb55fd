// What the page's functions accept: the names in the order they are bound on a page's global
// object, and the argument checks of each function, on a plain description of the arguments so
// the rules can be read (and tested) apart from the script engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class PageFunction {
  kExitLiveHall,
  kEnterLiveRoom,
  kLeaveLiveRoom,
  kGetWsNgbNode,
  kJoinChannel,
  kLeaveChannel,
  kRegisterJSFunction,
  kChangeBackground,
  kLogin,
  kUnknown,
};

struct PageFunctionName {
  const char* name;
  PageFunction function;
};

// The nine names in binding order.
extern const PageFunctionName kPageFunctions[9];

PageFunction PageFunctionFromName(const std::string& name);

// How the bridge sees one argument of a page call.
enum class PageArgKind {
  kInt,  // a number that is a 32-bit integer
  kString,
  kFunction,
  kOther,  // anything else: undefined, null, booleans, fractions, objects, arrays
};
typedef std::vector<PageArgKind> PageArgKinds;

enum class NodeQueryCheck { kWrongCount, kNotAFunction, kQuery };
// GetWsNgbNode(streamName, callback): exactly two arguments, the second a function.
NodeQueryCheck CheckNodeQuery(const PageArgKinds& args);

enum class JoinCheck {
  kTooFewArguments,   // fewer than four: nothing happens
  kWrongTypesTell,    // a type is wrong and the fourth is a function: it hears 3
  kWrongTypesSilent,  // a type is wrong and there is no callback to tell
  kJoin,
};
// JoinChannel(cid, uid, channelKey, callback, ...): integers, a string, a function.
JoinCheck CheckJoin(const PageArgKinds& args);
// The code a JoinChannel callback hears when the page's arguments have the wrong types.
constexpr int kJoinWrongArguments = 3;

// ChangeBackground(n): exactly one integer.
bool AcceptsBackground(const PageArgKinds& args);
// registerJSFunction(name, fn): exactly two arguments, the second a function.
bool AcceptsRegistration(const PageArgKinds& args);

// Byte count of the join request's copy data, terminator included, for a text of at most
// `maxUnits` code units; false for a longer text, which is not sent.
bool JoinCopyDataBytes(size_t codeUnits, size_t maxUnits, uint32_t* bytes);

// Orders callback names code unit by code unit (unsigned 16-bit), a shorter prefix first.
struct CodeUnitLess {
  bool operator()(const std::wstring& a, const std::wstring& b) const;
};
