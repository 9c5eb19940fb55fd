#include "updater/update_wnd.h"

#include <gtest/gtest.h>

#include <thread>

#include "base/game_notify.h"
#include "support/log_capture.h"
#include "updater/update_messages.h"

namespace {

using DuiLib::CPaintManagerUI;

class TestUpdateWnd : public CUpdateWnd {
 public:
  using CUpdateWnd::CUpdateWnd;
  DuiLib::CProgressUI* Bar() {
    return static_cast<DuiLib::CProgressUI*>(m_PaintManager.FindControl(L"updateprogress"));
  }
  std::wstring Tip() {
    DuiLib::CControlUI* tip = m_PaintManager.FindControl(L"progressTip");
    return tip ? std::wstring(tip->GetText().GetData()) : L"<none>";
  }
};

// The procedure of the tests: waits for the test to let it go, then returns g_result after
// posting what the test asked for.
HANDLE g_release = nullptr;
int g_result = 0;
WPARAM g_retryNotice = 0;
int GatedProcedure(HWND window) {
  WaitForSingleObject(g_release, 20000);
  if (g_retryNotice)
    PostMessageW(window, GAME_NOTIFY_UPDATE_FAIL, g_retryNotice, 7);
  return g_result;
}

// A stand-in for the game's window that records the notifications it receives (lParam 7 only:
// the test's retry notice carries it).
std::vector<std::pair<UINT, WPARAM>> g_gameMessages;
LRESULT CALLBACK GameWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= 0x18000 && lParam == 7)
    g_gameMessages.emplace_back(message, wParam);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}
HWND CreateGameWindow() {
  g_gameMessages.clear();
  WNDCLASSW wc = {};
  wc.lpfnWndProc = GameWndProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"UpdateWindowTestGame";
  RegisterClassW(&wc);
  return CreateWindowExW(0, wc.lpszClassName, L"game", WS_POPUP | WS_VISIBLE, 100, 50, 800, 600,
                         nullptr, nullptr, wc.hInstance, nullptr);
}

class UpdateWindow : public testing::Test {
 protected:
  void SetUp() override {
    CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath());
    CPaintManagerUI::SetResourceZip(L"zarvik.ui", false);
    g_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_result = 0;
    g_retryNotice = 0;
  }
  void TearDown() override {
    SetEvent(g_release);
    CloseHandle(g_release);
    CPaintManagerUI::SetResourceZip(L"", false);
    CPaintManagerUI::SetResourcePath(L"");
  }
};

TEST_F(UpdateWindow, ShowsPercentagesAndClosesWhenTheProcedureSucceeds) {
  TestUpdateWnd wnd(nullptr, &GatedProcedure);
  ASSERT_TRUE(wnd.Create(nullptr, L"UpdateWnd", 0x10CE0000, 0, 0, 0, 264, 22));
  HWND hwnd = wnd.GetHWND();
  ASSERT_NE(wnd.Bar(), nullptr);
  EXPECT_EQ(wnd.Tip(), L"Zarvik\u6b63\u5728\u66f4\u65b00%");
  EXPECT_EQ(SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(5, 5)), HTCAPTION);
  EXPECT_FALSE(GetWindowLongW(hwnd, GWL_STYLE) & WS_CAPTION);
  EXPECT_TRUE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_TRUE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
  RECT rect;
  GetWindowRect(hwnd, &rect);
  EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 264) / 2);
  EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 22) / 2);
  EXPECT_EQ(rect.right - rect.left, 264);

  struct Step {
    LPARAM percent;
    const wchar_t* tip;
    const wchar_t* image;
    int value;
  } steps[] = {
      {1, L"Zarvik\u6b63\u5728\u66f4\u65b01%", L"file='ver_update_fg.png' source='0,0,2,22'", 1},
      {0, L"Zarvik\u6b63\u5728\u66f4\u65b01%", L"file='ver_update_fg.png' source='0,0,2,22'", 1},
      {57, L"Zarvik\u6b63\u5728\u66f4\u65b057%", L"file='ver_update_fg.png' source='0,0,150,22'",
       57},
      {101, L"Zarvik\u6b63\u5728\u66f4\u65b057%", L"file='ver_update_fg.png' source='0,0,150,22'",
       57},
      {100, L"Zarvik\u6b63\u5728\u66f4\u65b0100%", L"file='ver_update_fg.png' source='0,0,264,22'",
       100},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.percent);
    SendMessageW(hwnd, WM_UPDATE_PROGRESS, 0, step.percent);
    EXPECT_EQ(wnd.Tip(), step.tip);
    EXPECT_STREQ(wnd.Bar()->GetForeImage(), step.image);
    EXPECT_EQ(wnd.Bar()->GetValue(), step.value);
  }
  SendMessageW(hwnd, WM_UPDATE_INSTALLING, 0, 0);
  EXPECT_EQ(wnd.Tip(), L"\u6b63\u5728\u66f4\u65b0\u6587\u4ef6...");

  SetEvent(g_release);
  wnd.ShowModal();
  wnd.WaitForWorker();
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(wnd.Result(), 0);
}

TEST_F(UpdateWindow, FailureShowsItsTextForwardsRetriesAndEndsWithOne) {
  // A game window at a known place; the strip sits 80 pixels below its client top, centred.
  HWND game = CreateGameWindow();
  ASSERT_TRUE(game);
  g_result = 22;
  g_retryNotice = 0x857E0003;
  TestUpdateWnd wnd(game, &GatedProcedure);
  ASSERT_TRUE(wnd.Create(nullptr, L"UpdateWnd", 0x10CE0000, 0, 0, 0, 264, 22));
  RECT rect;
  GetWindowRect(wnd.GetHWND(), &rect);
  EXPECT_EQ(rect.left, 100 + (800 - 264) / 2);
  EXPECT_EQ(rect.top, 50 + 80);
  SendMessageW(wnd.GetHWND(), WM_UPDATE_PROGRESS, 0, 40);

  SetEvent(g_release);
  wnd.ShowModal();  // the failure text stays until timer 1000 closes the window
  wnd.WaitForWorker();
  EXPECT_EQ(wnd.Result(), 1);
  EXPECT_EQ(wnd.Tip(), L"\u66f4\u65b0\u5931\u8d25\uff0c\u8bf7\u7a0d\u540e\u518d\u8bd5.");
  EXPECT_STREQ(wnd.Bar()->GetForeImage(), L"");
  EXPECT_EQ(wnd.Bar()->GetValue(), 0);

  EXPECT_EQ(g_gameMessages,
            (std::vector<std::pair<UINT, WPARAM>>{{GAME_NOTIFY_UPDATE_FAIL, 0x857E0003},
                                                  {GAME_NOTIFY_UPDATE_BEGIN, 0x857E0003}}));
  DestroyWindow(game);
}

TEST_F(UpdateWindow, HandlerEnteredOffTheWindowThreadIsLogged) {
  zarvik_test::LogCapture log;
  auto wrongThreadLines = [&log] {
    int count = 0;
    for (const zarvik_test::LogEntry& entry : log.Entries())
      count += entry.level == "ERROR" && entry.message.find("not on its own thread") != std::string::npos;
    return count;
  };
  TestUpdateWnd wnd(nullptr, &GatedProcedure);
  ASSERT_TRUE(wnd.Create(nullptr, L"UpdateWnd", 0x10CE0000, 0, 0, 0, 264, 22));
  SendMessageW(wnd.GetHWND(), WM_UPDATE_PROGRESS, 0, 30);
  EXPECT_EQ(wrongThreadLines(), 0);

  std::thread([&wnd] {
    BOOL handled = TRUE;
    wnd.OnNcHitTest(WM_NCHITTEST, 0, 0, handled);
  }).join();
  EXPECT_EQ(wrongThreadLines(), 1);
  EXPECT_TRUE(log.HasError("CUpdateWnd::OnNcHitTest ran on thread "));

  // The worker's posts and the close all reach the handlers on the window's own thread.
  SetEvent(g_release);
  wnd.ShowModal();
  wnd.WaitForWorker();
  EXPECT_EQ(wnd.Result(), 0);
  EXPECT_EQ(wrongThreadLines(), 1);
}

}  // namespace
