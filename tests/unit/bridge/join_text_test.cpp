#include "bridge/common/join_text.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace {

TEST(JoinText, FormatsPageValues) {
  EXPECT_EQ(FormatJoinText(12345, 678, L""), L"12345@678@");
  EXPECT_EQ(FormatJoinText(-5, 0, L"k@y"), L"-5@0@k@y");
}

TEST(JoinText, SplitsLikeTheReceiverMust) {
  struct Row {
    const wchar_t* text;
    int cid, uid;
    const char* key;
  } rows[] = {
      {L"7@8@abc", 7, 8, "abc"},
      {L"7@8@", 7, 8, ""},
      {L"7@8@a@b", 7, 8, "a"},       // a key with "@" is cut at its first "@"
      {L"7@@8@abc", 7, 8, "abc"},    // consecutive separators count as one
      {L"12345@@678", 12345, 678, ""},
      {L"@@@", 0, 0, ""},
      {L"", 0, 0, ""},
      {L"x@y@z", 0, 0, "z"},         // pieces without a number give 0
      {L"-3@-4@k", -3, -4, "k"},
      {L"5", 5, 0, ""},
      {L"1@2@\x4E2D\x6587", 1, 2, "\xE4\xB8\xAD\xE6\x96\x87"},  // key goes out as UTF-8
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(row.text)));
    JoinTextFields fields = ParseJoinText(row.text, std::wcslen(row.text) + 1);
    EXPECT_EQ(fields.cid, row.cid);
    EXPECT_EQ(fields.uid, row.uid);
    EXPECT_EQ(fields.channelKeyUtf8, row.key);
  }
}

// Copy data from another process need not be terminated: nothing past the byte count is read.
TEST(JoinText, NeverReadsPastTheGivenLength) {
  const wchar_t unterminated[] = {L'1', L'@', L'2', L'@', L'k', L'e', L'y', L'X', L'Y'};
  JoinTextFields fields = ParseJoinText(unterminated, 6);
  EXPECT_EQ(fields.cid, 1);
  EXPECT_EQ(fields.uid, 2);
  EXPECT_EQ(fields.channelKeyUtf8, "ke");
  EXPECT_EQ(ParseJoinText(nullptr, 100).cid, 0);
  EXPECT_EQ(ParseJoinText(unterminated, 0).cid, 0);

  std::wstring huge = L"9@9@" + std::wstring(1 << 20, L'k');  // a 1 MB key stays within bounds
  EXPECT_EQ(ParseJoinText(huge.c_str(), huge.size() + 1).channelKeyUtf8.size(), 1u << 20);
}

}  // namespace
