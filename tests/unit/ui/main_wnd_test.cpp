// The main window built from the shipped skin, driven through its messages and title-band
// operations, without a browser.
#include "ui/main_wnd.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "bridge/common/bridge_messages.h"
#include "ui/main_wnd_ids.h"

namespace {

struct BandState {
  int bandWidth, bandHeight;
  RECT bandInset;
  std::wstring bandImage;
  int stretchWidth;
  std::wstring images[5][2];  // vmode, history, pin, min, close: normal, hot
  SIZE minInfo;

  bool operator==(const BandState& o) const {
    if (bandWidth != o.bandWidth || bandHeight != o.bandHeight || bandImage != o.bandImage ||
        stretchWidth != o.stretchWidth || minInfo.cx != o.minInfo.cx ||
        minInfo.cy != o.minInfo.cy || !EqualRect(&bandInset, &o.bandInset))
      return false;
    for (int i = 0; i < 5; ++i)
      for (int j = 0; j < 2; ++j)
        if (images[i][j] != o.images[i][j])
          return false;
    return true;
  }
};

class MainWndTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    DuiLib::CPaintManagerUI::SetResourcePath(DuiLib::CPaintManagerUI::GetInstancePath());
    DuiLib::CPaintManagerUI::SetResourceZip(L"zarvik.ui", false);
    DuiLib::CWndShadow::InitShadowSupport(GetModuleHandleW(nullptr));
  }

  void SetUp() override {
    ASSERT_TRUE(m_wnd.Create(nullptr, L"Zarvik", 0x10CE0000, 0, 0, 0, 1480, 890) != nullptr);
    m_hwnd = m_wnd.GetHWND();
  }

  void TearDown() override {
    if (IsWindow(m_hwnd))
      DestroyWindow(m_hwnd);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  template <class T = DuiLib::CControlUI>
  T* Find(const wchar_t* name) {
    T* control = static_cast<T*>(m_wnd.PaintManager().FindControl(name));
    EXPECT_NE(control, nullptr) << "no control " << std::string(name, name + wcslen(name));
    return control;
  }

  BandState Band() {
    BandState s;
    auto* band = Find<DuiLib::CContainerUI>(L"topArea");
    s.bandWidth = band->GetFixedWidth();
    s.bandHeight = band->GetFixedHeight();
    s.bandInset = band->GetInset();
    s.bandImage = band->GetBkImage();
    s.stretchWidth = Find(L"leftstrach")->GetFixedWidth();
    const wchar_t* names[] = {L"vmode", L"browseHistoryBtn", L"binbtn", L"minbtn", L"closebtn"};
    for (int i = 0; i < 5; ++i) {
      auto* button = Find<DuiLib::CButtonUI>(names[i]);
      s.images[i][0] = button->GetNormalImage();
      s.images[i][1] = button->GetHotImage();
    }
    s.minInfo = m_wnd.PaintManager().GetMinInfo();
    return s;
  }

  SIZE WindowSize() {
    RECT rect;
    GetWindowRect(m_hwnd, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
  }

  bool Pinned() { return (GetWindowLongW(m_hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

  CMainWnd m_wnd;
  HWND m_hwnd = nullptr;
};

TEST_F(MainWndTest, FreshWindowIsFramelessWithHiddenViewModeButton) {
  LONG style = GetWindowLongW(m_hwnd, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, 0);
  EXPECT_EQ(style & (WS_CLIPSIBLINGS | WS_CLIPCHILDREN), WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
  EXPECT_FALSE(Find(L"vmode")->IsVisible());
  EXPECT_TRUE(Find(L"binbtn")->IsVisible());
  SIZE minInfo = m_wnd.PaintManager().GetMinInfo();
  EXPECT_EQ(minInfo.cx, 1480);
  EXPECT_EQ(minInfo.cy, 890);
  wchar_t title[32] = {};
  GetWindowTextW(m_hwnd, title, 32);
  EXPECT_STREQ(title, L"Zarvik");
  EXPECT_EQ(m_wnd.GetViewMode(), 1);
  EXPECT_TRUE(DuiLib::CWndShadow::HasShadow(m_hwnd));
  // The whole window is client area.
  RECT window, client;
  GetWindowRect(m_hwnd, &window);
  GetClientRect(m_hwnd, &client);
  EXPECT_EQ(client.right, window.right - window.left);
  EXPECT_EQ(client.bottom, window.bottom - window.top);
}

TEST_F(MainWndTest, ViewModeTwiceRestoresSizeAndImages) {
  m_wnd.OnLiveRoomState(0);
  EXPECT_TRUE(Find(L"vmode")->IsVisible());
  BandState before = Band();

  m_wnd.ToggleViewMode();
  EXPECT_EQ(m_wnd.GetViewMode(), 0);
  SIZE small = WindowSize();
  EXPECT_EQ(small.cx, 420);
  EXPECT_EQ(small.cy, 340);
  BandState simple = Band();
  EXPECT_EQ(simple.bandWidth, 420);
  EXPECT_EQ(simple.bandHeight, 34);
  EXPECT_EQ(simple.bandImage, L"mini-topbackground.png");
  EXPECT_EQ(simple.bandInset.top, 3);
  EXPECT_EQ(simple.stretchWidth, 213);
  EXPECT_EQ(simple.images[0][0], L"fm-normal.png");
  EXPECT_EQ(simple.images[1][1], L"mini_vh_hover.png");
  EXPECT_EQ(simple.images[2][0], L"mm-bin-normal.png");
  EXPECT_EQ(simple.images[3][0], L"mm-mini-normal.png");
  EXPECT_EQ(simple.images[4][1], L"mm-close-hover.png");
  EXPECT_EQ(simple.minInfo.cx, 420);

  m_wnd.ToggleViewMode();
  EXPECT_EQ(m_wnd.GetViewMode(), 1);
  SIZE big = WindowSize();
  EXPECT_EQ(big.cx, 1480);
  EXPECT_EQ(big.cy, 890);
  EXPECT_TRUE(Band() == before);
}

TEST_F(MainWndTest, PinFollowsViewModeAndSetsTooltip) {
  auto* pin = Find<DuiLib::CButtonUI>(L"binbtn");
  m_wnd.OnLiveRoomState(0);
  m_wnd.ToggleViewMode();

  m_wnd.TogglePin();
  EXPECT_TRUE(Pinned());
  EXPECT_STREQ(pin->GetNormalImage(), L"mm-bin-top-normal.png");
  EXPECT_STREQ(pin->GetHotImage(), L"mm-bin-top-hover.png");
  EXPECT_EQ(std::wstring(pin->GetToolTip()), L"\u53D6\u6D88\u7F6E\u9876");

  m_wnd.ToggleViewMode();  // complete view while pinned
  EXPECT_STREQ(pin->GetNormalImage(), L"bin-top-normal.png");
  EXPECT_TRUE(Pinned());

  m_wnd.TogglePin();
  EXPECT_FALSE(Pinned());
  EXPECT_STREQ(pin->GetNormalImage(), L"bin-normal.png");
  EXPECT_EQ(std::wstring(pin->GetToolTip()), L"\u7F6E\u9876");
}

TEST_F(MainWndTest, LeavingLiveRoomRestoresCompleteView) {
  // In the complete view, leaving only hides the button.
  m_wnd.OnLiveRoomState(0);
  m_wnd.OnLiveRoomState(1);
  EXPECT_FALSE(Find(L"vmode")->IsVisible());
  EXPECT_EQ(Find(L"leftstrach")->GetFixedWidth(), 1273);

  m_wnd.OnLiveRoomState(0);
  m_wnd.ToggleViewMode();
  m_wnd.OnLiveRoomState(1);
  EXPECT_EQ(m_wnd.GetViewMode(), 1);
  EXPECT_FALSE(Find(L"vmode")->IsVisible());
  SIZE big = WindowSize();
  EXPECT_EQ(big.cx, 1480);
  EXPECT_EQ(big.cy, 890);
  EXPECT_EQ(Find(L"header")->GetFixedWidth(), 1080);
  EXPECT_EQ(Find(L"leftstrach")->GetFixedWidth(), 869);
  EXPECT_STREQ(Find<DuiLib::CButtonUI>(L"closebtn")->GetNormalImage(), L"close-normal.png");
  EXPECT_STREQ(Find<DuiLib::CButtonUI>(L"binbtn")->GetNormalImage(), L"bin-normal.png");
  // The band and the minimum size fit the complete window again.
  EXPECT_EQ(Find(L"topArea")->GetFixedWidth(), 1480);
  EXPECT_EQ(m_wnd.PaintManager().GetMinInfo().cx, 1480);

  m_wnd.OnLiveRoomState(7);  // unknown states change nothing
  EXPECT_FALSE(Find(L"vmode")->IsVisible());
}

int ReadJoinRecord() {
  HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, kJoinResultMappingName);
  if (!mapping)
    return -1;
  int value = -1;
  if (void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 4)) {
    value = *static_cast<int*>(view);
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
  return value;
}

TEST_F(MainWndTest, JoinRequestReadsOnlyTheGivenBytes) {
  // A record that already holds another value, as an earlier join would leave it.
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      kJoinResultMappingSize, kJoinResultMappingName);
  ASSERT_NE(mapping, nullptr);
  void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 4);
  *static_cast<int*>(view) = 77;
  UnmapViewOfFile(view);

  // The text ends exactly at an inaccessible page and has no terminator: reading one unit past
  // cbData would fault.
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  auto* pages = static_cast<BYTE*>(
      VirtualAlloc(nullptr, info.dwPageSize * 2, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(pages, nullptr);
  DWORD oldProtect;
  VirtualProtect(pages + info.dwPageSize, info.dwPageSize, PAGE_NOACCESS, &oldProtect);
  const wchar_t text[] = L"12345@678@key";
  size_t bytes = (sizeof(text) - sizeof(wchar_t));
  BYTE* start = pages + info.dwPageSize - bytes;
  memcpy(start, text, bytes);

  COPYDATASTRUCT copy = {0, static_cast<DWORD>(bytes), start};
  EXPECT_EQ(
      SendMessageW(m_hwnd, WM_COPYDATA, COPYDATA_JOIN_CHANNEL, reinterpret_cast<LPARAM>(&copy)), 0);
  // No voice window: the answer and the record are 0.
  EXPECT_EQ(ReadJoinRecord(), 0);

  // An odd byte count, no data, or another tag: nothing is read past the data.
  COPYDATASTRUCT odd = {0, 3, start + bytes - 3};
  EXPECT_EQ(
      SendMessageW(m_hwnd, WM_COPYDATA, COPYDATA_JOIN_CHANNEL, reinterpret_cast<LPARAM>(&odd)), 0);
  COPYDATASTRUCT none = {0, 0, nullptr};
  EXPECT_EQ(
      SendMessageW(m_hwnd, WM_COPYDATA, COPYDATA_JOIN_CHANNEL, reinterpret_cast<LPARAM>(&none)), 0);
  view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 4);
  *static_cast<int*>(view) = 77;
  UnmapViewOfFile(view);
  EXPECT_EQ(SendMessageW(m_hwnd, WM_COPYDATA, 0x11, reinterpret_cast<LPARAM>(&copy)), 0);
  EXPECT_EQ(ReadJoinRecord(), 77);

  VirtualFree(pages, 0, MEM_RELEASE);
  CloseHandle(mapping);
}

TEST_F(MainWndTest, KeysAndForeignMessagesLeaveItOpenButCloseEndsIt) {
  SendMessageW(m_hwnd, WM_SYSKEYDOWN, VK_F4, 1 << 29);  // Alt+F4
  SendMessageW(m_hwnd, WM_KEYDOWN, VK_ESCAPE, 1);
  SendMessageW(m_hwnd, WM_TIMER, 4242, 0);
  SendMessageW(m_hwnd, WM_COMMAND, 0x1234, 99);
  SendMessageW(m_hwnd, WM_BRIDGE_CHANGE_BACKGROUND, 0, 5);
  SendMessageW(m_hwnd, WM_BROWSER_BLANK, 0, 0);
  SendMessageW(m_hwnd, WM_BRIDGE_LEAVE_CHANNEL, 0, 0);
  SendMessageW(m_hwnd, WM_VOICE_CLOSE_MIC, 0, 0);
  EXPECT_TRUE(IsWindow(m_hwnd));
  EXPECT_TRUE(IsWindowVisible(m_hwnd));

  // Without any browser there is nothing for the engine to close: the window goes at once and
  // the message loop is told to end.
  SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(m_hwnd));
  MSG msg;
  bool quit = false;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    quit = quit || msg.message == WM_QUIT;
  EXPECT_TRUE(quit);
}

TEST(FirstPage, LoginOptionIsWidenedByteForByte) {
  EXPECT_EQ(FirstPageUrl("http://127.0.0.1:80/", "a b&c"),
            L"http://127.0.0.1:80/gameLogin.action?opt=a b&c");
  // A byte above 0x7F becomes the code unit of the same value, not a code-page character.
  EXPECT_EQ(FirstPageUrl("http://h/", "\xC4\xE3"), L"http://h/gameLogin.action?opt=\u00C4\u00E3");
}

}  // namespace
