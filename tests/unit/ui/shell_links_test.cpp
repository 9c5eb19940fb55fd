// Which "ispopup" links go to the system shell.
#include <gtest/gtest.h>

#include <string>

#include "ui/shell_links.h"

namespace {

TEST(ShellLinks, OnlyWebAddressesGoToTheShell) {
  struct Case {
    const wchar_t* url;
    bool expected;
  };
  const Case cases[] = {
      {L"http://127.0.0.1:18280/liveRoom.action?room=8&ispopup=true", true},
      {L"https://example.org/a?ispopup=true", true},
      {L"HTTP://EXAMPLE.ORG/?ispopup=true", true},
      {L"HtTpS://example.org/x#ispopup=true", true},
      {L"file:///C:/Windows/System32/calc.exe?ispopup=true", false},
      {L"file://server/share/x.exe?ispopup=true", false},
      {L"\\\\server\\share\\x.exe?ispopup=true", false},
      {L"//server/share/x.exe?ispopup=true", false},
      {L"zarvikprobe:run?ispopup=true", false},
      {L"ms-settings:?ispopup=true", false},
      {L"search-ms:query=x&ispopup=true", false},
      {L"javascript:alert(1)//ispopup=true", false},
      {L"C:\\Windows\\notepad.exe?ispopup=true", false},
      {L" http://example.org/?ispopup=true", false},
      {L"http:example.org/?ispopup=true", false},
      {L"http:///C:/x?ispopup=true", false},
      {L"http://\\\\server\\share?ispopup=true", false},
      {L"http://?ispopup=true", false},
      {L"http://", false},
      {L"https:/", false},
      {L"httpx://example.org/?ispopup=true", false},
      {L"http://example.org/\" --new-window file:///C:/?ispopup=true", false},
      {L"http://example.org/ a?ispopup=true", false},
      {L"http://example.org/\ta?ispopup=true", false},
      {L"http://example.org/\r\n?ispopup=true", false},
      {L"", false},
  };
  for (const Case& c : cases) {
    std::wstring url = c.url;
    SCOPED_TRACE(std::string(url.begin(), url.end()));
    EXPECT_EQ(zarvik::IsShellWebUrl(url), c.expected);
  }
  // A NUL inside the text would cut the address the shell sees.
  EXPECT_FALSE(zarvik::IsShellWebUrl(std::wstring(L"http://a/\0file:x", 16)));
}

}  // namespace
