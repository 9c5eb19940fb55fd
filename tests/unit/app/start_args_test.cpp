#include "app/start_args.h"

#include <gtest/gtest.h>

namespace {

const std::wstring kExe = L"C:\\Games\\Zarvik\\zarvik.exe";

struct Row {
  const wchar_t* commandLine;
  StartArgsError error;
  const wchar_t* loginOpt;
  DWORD gamePid;
  unsigned edition;
  const wchar_t* guid;
};

// Command lines go through the system's own splitter, as the client's do.
TEST(StartArgs, CommandLinesThroughSystemSplitter) {
  const Row rows[] = {
      {L"\"C:\\Games\\Zarvik\\zarvik.exe\" opt1 xvend_{4b1e7c29-8d05-4f3a-9c62-1e0b7a95d3f8} 4242 "
       L"2 {GUID-1}",
       StartArgsError::kNone, L"opt1", 4242, 1, L"{GUID-1}"},
      {L"c:\\games\\zarvik\\ZARVIK.EXE opt XVEND_{4B1E7C29-8D05-4f3a-9C62-1E0B7A95D3F8} 7 1 g",
       StartArgsError::kNone, L"opt", 7, 0, L"g"},
      // Without the executable path the fields start at once.
      {L"opt XVEND_{4B1E7C29-8D05-4f3a-9C62-1E0B7A95D3F8} 4242 1 {G}", StartArgsError::kNone,
       L"opt", 4242, 0, L"{G}"},
      // Quoted fields with blanks keep their blanks and lose their quotes.
      {L"\"C:\\Games\\Zarvik\\zarvik.exe\" \"login with blanks\" XVEND_{4B1E7C29-8D05-4f3a-9C62-1E0B7A95D3F8} 12abc 2 "
       L"\"a b&c\"",
       StartArgsError::kNone, L"login with blanks", 12, 1, L"a b&c"},
      {L"opt XVEND_{4B1E7C29-8D05-4f3a-9C62-1E0B7A95D3F8} notanumber 1 g", StartArgsError::kNone,
       L"opt", 0, 0, L"g"},
      {L"opt XVEND_{4B1E7C29-8D05-4f3a-9C62-1E0B7A95D3F8} 1 3 g", StartArgsError::kBadServerId},
      {L"opt XVEND_{4B1E7C29-8D05-4f3a-9C62-1E0B7A95D3F8} 1 0 g", StartArgsError::kBadServerId},
      {L"opt XVEND_{4B1E7C29-8D05-4f3a-9C62-1E0B7A95D3F8} 1 01 g", StartArgsError::kBadServerId},
      {L"opt XVEND_{4B1E7C29-8D05-4f3a-9C62-1E0B7A95D3F8} 1 \"1 \" g",
       StartArgsError::kBadServerId},
      {L"opt XVEND_{4B1E7C29-8D05-4f3a-9C62-1E0B7A95D3F8} 1 \"\" g", StartArgsError::kBadServerId},
      {L"opt XVEND_OTHER 1 1 g", StartArgsError::kBadMarker},
      // With the executable path, four fields after it are too few.
      {L"C:\\Games\\Zarvik\\zarvik.exe opt XVEND_{4B1E7C29-8D05-4f3a-9C62-1E0B7A95D3F8} 1 1",
       StartArgsError::kTooFewFields},
      {L"", StartArgsError::kTooFewFields},
      // 38 characters is the longest GUID accepted; 39 is refused, not cut.
      {L"opt XVEND_{4B1E7C29-8D05-4f3a-9C62-1E0B7A95D3F8} 1 1 "
       L"{12345678-1234-1234-1234-123456789ABC}",
       StartArgsError::kNone, L"opt", 1, 0, L"{12345678-1234-1234-1234-123456789ABC}"},
      {L"opt XVEND_{4B1E7C29-8D05-4f3a-9C62-1E0B7A95D3F8} 1 1 "
       L"{12345678-1234-1234-1234-123456789ABC}X",
       StartArgsError::kGuidTooLong},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "command line: " << testing::PrintToString(
                     std::wstring(row.commandLine)));
    std::vector<std::wstring> fields = SplitCommandLine(row.commandLine);
    if (*row.commandLine == 0)
      fields.clear();  // the system substitutes the program's own path for an empty line
    StartArguments args;
    EXPECT_EQ(CheckStartFields(fields, kExe, &args), row.error);
    if (row.error != StartArgsError::kNone)
      continue;
    EXPECT_EQ(args.loginOpt, row.loginOpt);
    EXPECT_EQ(args.gamePid, row.gamePid);
    EXPECT_EQ(args.editionIndex, row.edition);
    EXPECT_EQ(args.guid, row.guid);
  }
}

// The path is only skipped when it is this executable's; another program's path counts as the
// login option.
TEST(StartArgs, OtherExecutablePathIsAField) {
  auto fields = SplitCommandLine(
      L"C:\\other.exe opt XVEND_{4B1E7C29-8D05-4f3a-9C62-1E0B7A95D3F8} 1 1 g");
  StartArguments args;
  EXPECT_EQ(CheckStartFields(fields, kExe, &args), StartArgsError::kBadMarker);
}

TEST(FindGameWindowTest, FindsOwnTopLevelWindowAndNothingForUnknownPid) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ZarvikTestGameWindow";
  RegisterClassW(&wc);
  HWND top = CreateWindowExW(0, wc.lpszClassName, L"game", WS_OVERLAPPED, 0, 0, 50, 50, nullptr,
                             nullptr, wc.hInstance, nullptr);
  ASSERT_NE(top, nullptr);
  HWND owned = CreateWindowExW(0, wc.lpszClassName, L"owned", WS_OVERLAPPED, 0, 0, 50, 50, top,
                               nullptr, wc.hInstance, nullptr);
  ASSERT_NE(owned, nullptr);
  // Wine may own hidden top-level windows of this process too; any unowned one of ours is right.
  HWND found = FindGameWindow(GetCurrentProcessId());
  ASSERT_NE(found, nullptr);
  DWORD pid = 0;
  GetWindowThreadProcessId(found, &pid);
  EXPECT_EQ(pid, GetCurrentProcessId());
  EXPECT_EQ(GetParent(found), nullptr);
  EXPECT_EQ(FindGameWindow(0xFFFFFFF0u), nullptr);
  DestroyWindow(owned);
  DestroyWindow(top);
}

}  // namespace
