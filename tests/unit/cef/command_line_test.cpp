// The engine's command line: parsing, switch prefixes and the text handed to a sub-process.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include "include/cef_command_line.h"

namespace {

std::vector<std::wstring> SplitBySystem(const std::wstring& text) {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(text.c_str(), &count);
  std::vector<std::wstring> out(argv, argv + count);
  LocalFree(argv);
  return out;
}

TEST(CefCommandLineTest, ReadsSwitchesAndArgumentsFromText) {
  struct Case {
    const wchar_t* text;
    const char* name;
    bool has;
    const wchar_t* value;
  } cases[] = {
      {L"app.exe --type=renderer", "type", true, L"renderer"},
      {L"app.exe --TYPE=Renderer", "type", true, L"Renderer"},  // names ignore case, values not
      {L"app.exe --type=", "type", true, L""},
      {L"app.exe --type", "type", true, L""},
      {L"app.exe -type=gpu", "type", true, L"gpu"},
      {L"app.exe /type=gpu", "type", true, L"gpu"},
      {L"app.exe \"--type=a b\"", "type", true, L"a b"},
      {L"app.exe -- --type=renderer", "type", false, L""},  // after "--" only arguments
      {L"app.exe opt XVEND_{4B1E} 4242 1 {GUID}", "type", false, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.text);
    CefRefPtr<CefCommandLine> line = CefCommandLine::CreateCommandLine();
    line->InitFromString(c.text);
    EXPECT_EQ(line->HasSwitch(c.name), c.has);
    EXPECT_EQ(line->GetSwitchValue(c.name).ToWString(), c.value);
    EXPECT_EQ(line->GetProgram().ToWString(), L"app.exe");
  }
}

TEST(CefCommandLineTest, KeepsGameArgumentsInOrder) {
  CefRefPtr<CefCommandLine> line = CefCommandLine::CreateCommandLine();
  line->InitFromString(L"\"C:\\x y\\zarvik.exe\" opt XVEND_{A} 4242 2 {G}");
  CefCommandLine::ArgumentList args;
  line->GetArguments(args);
  ASSERT_EQ(args.size(), 5u);
  EXPECT_EQ(args[0].ToWString(), L"opt");
  EXPECT_EQ(args[4].ToWString(), L"{G}");
  EXPECT_FALSE(line->HasSwitches());
}

// A switch keeps the prefix it was given; one without gets "--". Switches come before the
// plain arguments, and the text survives the system's own splitting unchanged.
TEST(CefCommandLineTest, AppendedSwitchesRoundTripThroughTheSystemSplitter) {
  CefRefPtr<CefCommandLine> line = CefCommandLine::CreateCommandLine();
  line->SetProgram(L"C:\\Program Files\\app.exe");
  line->AppendArgument("plain arg");
  line->AppendSwitch("--disable-gpu");
  line->AppendSwitch("enable-begin-frame-scheduling");
  line->AppendSwitchWithValue("--ppapi-flash-path", "ppflash/pepflashplayer.dll");
  line->AppendSwitchWithValue("pipe", "\\\\.\\pipe\\a \"b\"");

  std::vector<std::wstring> argv = SplitBySystem(line->GetCommandLineString().ToWString());
  std::vector<std::wstring> expected = {
      L"C:\\Program Files\\app.exe",      L"--disable-gpu",
      L"--enable-begin-frame-scheduling", L"--ppapi-flash-path=ppflash/pepflashplayer.dll",
      L"--pipe=\\\\.\\pipe\\a \"b\"",     L"plain arg"};
  EXPECT_EQ(argv, expected);
  EXPECT_TRUE(line->HasSwitch("enable-begin-frame-scheduling"));
  EXPECT_TRUE(line->HasSwitch("disable-gpu"));
  EXPECT_EQ(line->GetSwitchValue("ppapi-flash-path").ToString(), "ppflash/pepflashplayer.dll");
}

TEST(CefCommandLineTest, GlobalLineIsReadOnly) {
  CefRefPtr<CefCommandLine> global = CefCommandLine::GetGlobalCommandLine();
  ASSERT_TRUE(global);
  EXPECT_TRUE(global->IsReadOnly());
  global->AppendSwitch("never-added");
  EXPECT_FALSE(global->HasSwitch("never-added"));
  CefRefPtr<CefCommandLine> copy = global->Copy();
  copy->AppendSwitch("added");
  EXPECT_TRUE(copy->HasSwitch("added"));
}

}  // namespace
