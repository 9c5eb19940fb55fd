// The library's string: appends that read from the string itself, slices and formatting.
#include <gtest/gtest.h>

#include "UIlib.h"

namespace {

using DuiLib::CDuiString;

TEST(DuiString, AppendsAndSlicesIncludingFromItself) {
  CDuiString s(L"abc");
  s += s;  // grows while reading its own buffer
  EXPECT_EQ(s, L"abcabc");
  s += s.GetData() + 4;  // a tail of itself, without growing past the spare room
  EXPECT_EQ(s, L"abcabcbc");
  s = s.GetData() + 3;  // assign a tail of itself
  EXPECT_EQ(s, L"abcbc");
  EXPECT_EQ(s.GetLength(), 5);

  struct Row {
    CDuiString got;
    const wchar_t* want;
  } rows[] = {
      {s.Left(2), L"ab"}, {s.Left(99), L"abcbc"}, {s.Mid(1, 2), L"bc"},  {s.Mid(4), L"c"},
      {s.Mid(9), L""},    {s.Right(3), L"cbc"},   {s + L"!", L"abcbc!"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(row.want)));
    EXPECT_EQ(row.got, row.want);
  }
  EXPECT_EQ(s.Find(L'c'), 2);
  EXPECT_EQ(s.Find(L"bc", 2), 3);
  EXPECT_EQ(s.Find(L'x'), -1);
  EXPECT_EQ(s.CompareNoCase(L"ABCBC"), 0);

  CDuiString formatted;
  formatted.Format(L"file='%s' source='0,0,%d,22'", L"ver_update_fg.png", 1 * 264 / 100);
  EXPECT_EQ(formatted, L"file='ver_update_fg.png' source='0,0,2,22'");
  CDuiString empty;
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_STREQ(empty.GetData(), L"");
  EXPECT_EQ(empty, L"");
}

}  // namespace
