// The page functions' names and argument rules, as tables.
#include "bridge/renderer/page_call_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>

namespace {

using K = PageArgKind;

TEST(PageCallRules, NineNamesInBindingOrder) {
  const char* expected[] = {"ExitLiveHall",       "EnterLiveRoom",    "LeaveLiveRoom",
                            "GetWsNgbNode",       "JoinChannel",      "LeaveChannel",
                            "registerJSFunction", "ChangeBackground", "Login"};
  for (size_t i = 0; i < 9; ++i) {
    SCOPED_TRACE(expected[i]);
    EXPECT_STREQ(kPageFunctions[i].name, expected[i]);
    EXPECT_EQ(PageFunctionFromName(expected[i]), kPageFunctions[i].function);
  }
  // Names are matched exactly.
  for (const char* other : {"joinChannel", "JoinChannel ", "", "RegisterJSFunction", "login"})
    EXPECT_EQ(PageFunctionFromName(other), PageFunction::kUnknown) << other;
}

TEST(PageCallRules, JoinChannelArguments) {
  struct Row {
    const char* label;
    PageArgKinds args;
    JoinCheck expected;
  } rows[] = {
      {"no arguments", {}, JoinCheck::kTooFewArguments},
      {"three arguments", {K::kInt, K::kInt, K::kString}, JoinCheck::kTooFewArguments},
      {"all right", {K::kInt, K::kInt, K::kString, K::kFunction}, JoinCheck::kJoin},
      {"extra arguments ignored",
       {K::kInt, K::kInt, K::kString, K::kFunction, K::kOther},
       JoinCheck::kJoin},
      {"cid as text", {K::kString, K::kInt, K::kString, K::kFunction}, JoinCheck::kWrongTypesTell},
      {"uid a fraction",
       {K::kInt, K::kOther, K::kString, K::kFunction},
       JoinCheck::kWrongTypesTell},
      {"key a number", {K::kInt, K::kInt, K::kInt, K::kFunction}, JoinCheck::kWrongTypesTell},
      {"no callback", {K::kInt, K::kInt, K::kString, K::kInt}, JoinCheck::kWrongTypesSilent},
      {"nothing right", {K::kOther, K::kOther, K::kOther, K::kOther}, JoinCheck::kWrongTypesSilent},
      {"callback fifth",
       {K::kInt, K::kInt, K::kString, K::kOther, K::kFunction},
       JoinCheck::kWrongTypesSilent},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(CheckJoin(row.args), row.expected);
  }
}

TEST(PageCallRules, NodeQueryBackgroundAndRegistrationArguments) {
  struct Row {
    const char* label;
    PageArgKinds args;
    NodeQueryCheck node;
    bool background, registration;
  } rows[] = {
      {"none", {}, NodeQueryCheck::kWrongCount, false, false},
      {"one integer", {K::kInt}, NodeQueryCheck::kWrongCount, true, false},
      {"one text", {K::kString}, NodeQueryCheck::kWrongCount, false, false},
      {"one other (2.5, null...)", {K::kOther}, NodeQueryCheck::kWrongCount, false, false},
      {"text, function", {K::kString, K::kFunction}, NodeQueryCheck::kQuery, false, true},
      {"number, function", {K::kInt, K::kFunction}, NodeQueryCheck::kQuery, false, true},
      {"other, function", {K::kOther, K::kFunction}, NodeQueryCheck::kQuery, false, true},
      {"text, number", {K::kString, K::kInt}, NodeQueryCheck::kNotAFunction, false, false},
      {"two integers", {K::kInt, K::kInt}, NodeQueryCheck::kNotAFunction, false, false},
      {"function first", {K::kFunction, K::kString}, NodeQueryCheck::kNotAFunction, false, false},
      {"three", {K::kString, K::kFunction, K::kInt}, NodeQueryCheck::kWrongCount, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(CheckNodeQuery(row.args), row.node);
    EXPECT_EQ(AcceptsBackground(row.args), row.background);
    EXPECT_EQ(AcceptsRegistration(row.args), row.registration);
  }
}

TEST(PageCallRules, CopyDataByteCountStaysWithinItsBounds) {
  struct Row {
    size_t units, maxUnits;
    bool fits;
    uint32_t bytes;
  } rows[] = {
      {0, 100, true, 2},
      {10, 100, true, 22},  // "12345@678@" and its terminator
      {100, 100, true, 202},
      {101, 100, false, 0},
      {0x10000, 0x10000, true, 0x20002},
      {0x7FFFFFFE, SIZE_MAX, true, 0xFFFFFFFEu},  // the largest count the field holds
      {0x7FFFFFFF, SIZE_MAX, false, 0},
      {SIZE_MAX, SIZE_MAX, false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.units);
    uint32_t bytes = 7;
    EXPECT_EQ(JoinCopyDataBytes(row.units, row.maxUnits, &bytes), row.fits);
    EXPECT_EQ(bytes, row.fits ? row.bytes : 7u);  // untouched when refused
  }
}

// Names order by UTF-16 code unit, not by code point: a surrogate pair (U+1F600) sorts before
// U+FF01, and a prefix before its extensions.
TEST(PageCallRules, CallbackNamesOrderByCodeUnit) {
  std::map<std::wstring, int, CodeUnitLess> names;
  for (const wchar_t* name : {L"\xFF01", L"closeMic", L"\xD83D\xDE00", L"close", L"", L"Z", L"a"})
    names.emplace(name, 0);
  std::vector<std::wstring> order;
  for (const auto& entry : names)
    order.push_back(entry.first);
  std::vector<std::wstring> expected = {
      L"", L"Z", L"a", L"close", L"closeMic", L"\xD83D\xDE00", L"\xFF01"};
  EXPECT_EQ(order, expected);
}

}  // namespace
