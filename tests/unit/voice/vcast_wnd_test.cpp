// The voice window as start-up creates it, with a plain test window as its owner.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "UIlib.h"
#include "common/encoding.h"
#include "common/module_path.h"
#include "diagnostics/log.h"
#include "support/temp_dir.h"
#include "voice/ag_engine_event_handler.h"
#include "voice/vcast_wnd.h"
#include "voice/voice_messages.h"

namespace {

using zarvik_test::ReadFileBytes;

class VCastWndTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(CLog::Instance(zarvik::WideToAnsi(m_dir.File(L"zarvik.log")), true), nullptr);
    // As start-up does: skins come from zarvik.ui beside the executable.
    DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    DuiLib::CPaintManagerUI::SetResourcePath(DuiLib::CPaintManagerUI::GetInstancePath());
    DuiLib::CPaintManagerUI::SetResourceZip(L"zarvik.ui", false);
    m_owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 130, 70,
                              1000, 700, nullptr, nullptr, nullptr, nullptr);
    m_voice = CreateVoiceWindow(m_owner);
    ASSERT_NE(m_voice, nullptr);
    m_hwnd = m_voice->GetHWND();
    ASSERT_TRUE(IsWindow(m_hwnd));
  }
  void TearDown() override {
    if (IsWindow(m_hwnd))
      DestroyWindow(m_hwnd);
    DestroyWindow(m_owner);
    CLog::Destroy();
  }
  std::string Log() { return ReadFileBytes(m_dir.File(L"zarvik.log")); }
  void ExpectOverOwner() {
    POINT origin = {0, 0};
    ClientToScreen(m_owner, &origin);
    RECT rect;
    GetWindowRect(m_hwnd, &rect);
    EXPECT_EQ(rect.left, origin.x + 476);
    EXPECT_EQ(rect.top, origin.y + 90);
    EXPECT_EQ(rect.right - rect.left, 480);
    EXPECT_EQ(rect.bottom - rect.top, 360);
    EXPECT_TRUE(GetWindowLongW(m_hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
  }

  zarvik_test::TempDir m_dir;
  HWND m_owner = nullptr;
  CVCastWnd* m_voice = nullptr;
  HWND m_hwnd = nullptr;
};

TEST_F(VCastWndTest, CreatedHiddenOverTheOwner) {
  wchar_t name[64] = {};
  GetClassNameW(m_hwnd, name, 64);
  EXPECT_STREQ(name, L"LiveCastWindowClass");
  EXPECT_EQ(GetClassLongW(m_hwnd, GCL_STYLE) & CS_DBLCLKS, static_cast<DWORD>(CS_DBLCLKS));
  wchar_t title[16] = {};
  GetWindowTextW(m_hwnd, title, 16);
  EXPECT_STREQ(title, L"\u89C6\u9891");
  EXPECT_FALSE(IsWindowVisible(m_hwnd));
  ExpectOverOwner();
  LONG style = GetWindowLongW(m_hwnd, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, 0);
  EXPECT_EQ(style & (WS_CLIPSIBLINGS | WS_CLIPCHILDREN), WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
  EXPECT_TRUE(GetWindowLongW(m_hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_EQ(m_voice->GetOwnerWindow(), m_owner);
  EXPECT_EQ(Log().find("vcast.xml could not be built"), std::string::npos);
  EXPECT_NE(Log().find("[INFO]:" + zarvik::WideToAnsi(L"初始化Agora SDK成功。")),
            std::string::npos);
}

TEST_F(VCastWndTest, EveryPointDragsTheWindow) {
  m_voice->ShowOnOwner(m_owner, true);
  RECT rect;
  GetWindowRect(m_hwnd, &rect);
  const POINT points[] = {{rect.left, rect.top},
                          {rect.left + 240, rect.top + 180},
                          {rect.right - 1, rect.bottom - 1},
                          {rect.left + 1, rect.bottom - 2}};
  for (POINT p : points) {
    SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
    EXPECT_EQ(SendMessageW(m_hwnd, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)), HTCAPTION);
  }
}

TEST_F(VCastWndTest, ShowOnOwnerAndHide) {
  // The owner moved since the window was created: showing follows it.
  SetWindowPos(m_owner, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  m_voice->ShowOnOwner(m_owner, true);
  EXPECT_TRUE(IsWindowVisible(m_hwnd));
  ExpectOverOwner();
  m_voice->ShowOnOwner(m_owner, false);
  EXPECT_FALSE(IsWindowVisible(m_hwnd));
  m_voice->ShowOnOwner(nullptr, true);  // no owner: stays hidden
  EXPECT_FALSE(IsWindowVisible(m_hwnd));
}

TEST_F(VCastWndTest, EngineMessagesReachTheWindow) {
  JoinParams params;
  params.cid = 0;
  EXPECT_EQ(m_voice->JoinChannel(0, &params), 65535);
  EXPECT_EQ(m_voice->GetRequestedCid(), 0);
  GetEngineEventHandler().SetReceiver(m_hwnd);
  GetEngineEventHandler().onTranscodingUpdated();
  GetEngineEventHandler().onStreamPublished("rtmp://h/a", 3);
  MSG msg;
  while (PeekMessageW(&msg, m_hwnd, 0, 0, PM_REMOVE))
    DispatchMessageW(&msg);
  std::string log = Log();
  EXPECT_NE(log.find("[INFO]:EID_LIVE_TRANSCODING"), std::string::npos);
  EXPECT_NE(log.find("[INFO]:onStreamPublished : rtmp://h/a"), std::string::npos);
  // 0x609 means nothing to the voice window itself.
  EXPECT_EQ(SendMessageW(m_hwnd, WM_VOICE_CLOSE_MIC, 0, 0), 0);
}

TEST_F(VCastWndTest, ClosingLeavesTheChannel) {
  std::string engineLog = zarvik::WideToAnsi(zarvik::ModuleDirectory()) + "AgoraSDK.log";
  auto leaves = [&] {
    std::string text = ReadFileBytes(zarvik::AnsiToWide(engineLog));
    size_t count = 0;
    for (size_t at = text.find("leaveChannel"); at != std::string::npos;
         at = text.find("leaveChannel", at + 1))
      ++count;
    return count;
  };
  size_t before = leaves();
  m_voice->ShowOnOwner(m_owner, true);
  SendMessageW(m_hwnd, WM_CLOSE, 0, 0);  // close, then destroy: each leaves the channel
  EXPECT_FALSE(IsWindow(m_hwnd));
  EXPECT_EQ(leaves(), before + 2);
}

}  // namespace
