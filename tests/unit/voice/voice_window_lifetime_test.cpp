// The main window and the voice window it holds: the voice window can be closed on its own
// (Alt+F4 while it has the focus, a WM_CLOSE from any process), and then deletes itself. The
// main window's joins, leaves and its close sequence must not reach the freed object.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "UIlib.h"
#include "bridge/common/bridge_messages.h"
#include "common/encoding.h"
#include "diagnostics/log.h"
#include "support/temp_dir.h"
#include "ui/main_wnd.h"
#include "ui/main_wnd_ids.h"
#include "voice/join_params.h"
#include "voice/vcast_wnd.h"

namespace {

using zarvik_test::ReadFileBytes;

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

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

LRESULT SendJoin(HWND mainWindow, const wchar_t* text) {
  COPYDATASTRUCT copy = {0, static_cast<DWORD>(wcslen(text) * sizeof(wchar_t)),
                         const_cast<wchar_t*>(text)};
  return SendMessageW(mainWindow, WM_COPYDATA, COPYDATA_JOIN_CHANNEL,
                      reinterpret_cast<LPARAM>(&copy));
}

class VoiceWindowLifetime : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    DuiLib::CPaintManagerUI::SetResourcePath(DuiLib::CPaintManagerUI::GetInstancePath());
    DuiLib::CPaintManagerUI::SetResourceZip(L"zarvik.ui", false);
    DuiLib::CWndShadow::InitShadowSupport(GetModuleHandleW(nullptr));
  }
  void SetUp() override {
    ASSERT_NE(CLog::Instance(zarvik::WideToAnsi(m_dir.File(L"zarvik.log")), true), nullptr);
    ASSERT_TRUE(m_main.Create(nullptr, L"Zarvik", 0x10CE0000, 0, 0, 0, 1480, 890) != nullptr);
    m_mainHwnd = m_main.GetHWND();
    // As start-up does.
    m_main.SetVoiceWnd(CreateVoiceWindow(m_mainHwnd));
    ASSERT_NE(m_main.GetVoiceWnd(), nullptr);
    m_voiceHwnd = m_main.GetVoiceWnd()->GetHWND();
    ASSERT_TRUE(IsWindow(m_voiceHwnd));
  }
  void TearDown() override {
    if (IsWindow(m_voiceHwnd))
      DestroyWindow(m_voiceHwnd);
    if (IsWindow(m_mainHwnd))
      DestroyWindow(m_mainHwnd);
    Pump();
    CLog::Destroy();
  }
  std::string Log() { return ReadFileBytes(m_dir.File(L"zarvik.log")); }

  zarvik_test::TempDir m_dir;
  CMainWnd m_main;
  HWND m_mainHwnd = nullptr;
  HWND m_voiceHwnd = nullptr;
};

TEST_F(VoiceWindowLifetime, ClosedVoiceWindowEmptiesTheSlotAndJoinsAreRefused) {
  struct Way {
    const char* name;
    void (*close)(HWND);
  };
  const Way ways[] = {
      {"Alt+F4", [](HWND w) { SendMessageW(w, WM_SYSKEYDOWN, VK_F4, 1 << 29); }},
      {"SC_CLOSE", [](HWND w) { SendMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"WM_CLOSE", [](HWND w) { PostMessageW(w, WM_CLOSE, 0, 0); }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    if (!m_main.GetVoiceWnd()) {
      m_main.SetVoiceWnd(CreateVoiceWindow(m_mainHwnd));
      ASSERT_NE(m_main.GetVoiceWnd(), nullptr);
      m_voiceHwnd = m_main.GetVoiceWnd()->GetHWND();
    }
    way.close(m_voiceHwnd);
    for (int i = 0; i < 50 && IsWindow(m_voiceHwnd); ++i) {
      Pump();
      Sleep(10);
    }
    ASSERT_FALSE(IsWindow(m_voiceHwnd));
    EXPECT_EQ(m_main.GetVoiceWnd(), nullptr);

    // Join, leave and the visibility check of the close sequence find the slot empty.
    SendJoin(m_mainHwnd, L"12345@678@key");
    EXPECT_EQ(ReadJoinRecord(), kJoinRefused);
    SendMessageW(m_mainHwnd, WM_BRIDGE_LEAVE_CHANNEL, 0, 0);
    EXPECT_TRUE(IsWindow(m_mainHwnd));
  }
  std::string log = Log();
  EXPECT_NE(log.find("the voice window was destroyed; the voice channel is no longer available."),
            std::string::npos);
  EXPECT_NE(log.find("join refused: the voice window was closed."), std::string::npos);
  EXPECT_NE(log.find("call OnJoinChannel return value : 2"), std::string::npos);

  // The client's close sequence runs to its end.
  SendMessageW(m_mainHwnd, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(m_mainHwnd));
}

}  // namespace
