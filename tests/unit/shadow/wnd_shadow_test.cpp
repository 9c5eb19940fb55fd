// The shadow window on a real parent window under the system's window manager.
#include "ui/wnd_shadow.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/scoped_handle.h"
#include "shadow_image.h"
#include "shadow_reference.h"

namespace {

using DuiLib::CWndShadow;

constexpr UINT kEchoMessage = WM_APP + 7;  // the parent's own procedure answers 77
int g_parentMessages = 0;

LRESULT CALLBACK ParentProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ++g_parentMessages;
  if (message == kEchoMessage)
    return 77;
  return DefWindowProcW(wnd, message, wParam, lParam);
}

// A window that attaches its shadow while it is being created, as the main window does.
CWndShadow* g_shadowOnCreate = nullptr;

LRESULT CALLBACK AttachOnCreateProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE && g_shadowOnCreate != nullptr) {
    g_shadowOnCreate->SetSize(4);
    g_shadowOnCreate->AttachToParent(wnd);
    g_shadowOnCreate->SetPosition(0, 2);
  }
  return DefWindowProcW(wnd, message, wParam, lParam);
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

RECT WindowRect(HWND wnd) {
  RECT rect = {};
  GetWindowRect(wnd, &rect);
  return rect;
}

std::string Describe(const RECT& rect) {
  return std::to_string(rect.left) + "," + std::to_string(rect.top) + " - " +
         std::to_string(rect.right) + "," + std::to_string(rect.bottom);
}

// The main window's shadow as a window gets its placement: 4 px out at the sides, 2 px above,
// 6 px below.
void ExpectShadowAround(HWND shadow, HWND parent) {
  const RECT p = WindowRect(parent);
  const RECT expected = {p.left - 4, p.top - 2, p.right + 4, p.bottom + 6};
  EXPECT_EQ(Describe(WindowRect(shadow)), Describe(expected));
}

class WndShadowTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(CWndShadow::InitShadowSupport(GetModuleHandleW(nullptr)));
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"ShadowTestParent";
    RegisterClassExW(&wc);
    wc.lpfnWndProc = AttachOnCreateProc;
    wc.lpszClassName = L"ShadowTestAttachOnCreate";
    RegisterClassExW(&wc);
  }

  void SetUp() override {
    m_parent = CreateWindowExW(0, L"ShadowTestParent", L"parent",
                               WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, 200, 150,
                               300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(m_parent, nullptr) << "no display?";
  }

  void TearDown() override {
    if (IsWindow(m_parent))
      DestroyWindow(m_parent);
    PumpMessages();
  }

  // As the main window does it while it is created (still hidden).
  void AttachLikeTheMainWindow(CWndShadow& shadow) {
    ASSERT_TRUE(shadow.SetSize(4));
    ASSERT_TRUE(shadow.AttachToParent(m_parent));
    ASSERT_TRUE(shadow.SetPosition(0, 2));
  }

  HWND m_parent = nullptr;
};

TEST_F(WndShadowTest, SupportRegistersTheShadowClassOnce) {
  EXPECT_TRUE(CWndShadow::IsShadowSupported());
  EXPECT_TRUE(CWndShadow::InitShadowSupport(GetModuleHandleW(nullptr)));
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"VeltoShadowWnd", &wc));
  EXPECT_EQ(wc.style, UINT(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(wc.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  EXPECT_EQ(wc.cbClsExtra, 0);
  EXPECT_EQ(wc.cbWndExtra, 0);
  EXPECT_NE(wc.hCursor, nullptr);
}

TEST_F(WndShadowTest, ShadowWindowIsAClickThroughLayeredPopupOwnedByTheParent) {
  CWndShadow shadow;
  EXPECT_EQ(shadow.GetShadowWindow(), static_cast<HWND>(INVALID_HANDLE_VALUE));
  AttachLikeTheMainWindow(shadow);
  HWND wnd = shadow.GetShadowWindow();
  ASSERT_TRUE(IsWindow(wnd));

  wchar_t className[64] = {};
  GetClassNameW(wnd, className, 64);
  EXPECT_STREQ(className, L"VeltoShadowWnd");
  const LONG_PTR exStyle = GetWindowLongPtrW(wnd, GWL_EXSTYLE);
  EXPECT_EQ(exStyle & (WS_EX_LAYERED | WS_EX_TRANSPARENT), WS_EX_LAYERED | WS_EX_TRANSPARENT);
  EXPECT_EQ(GetWindowLongPtrW(wnd, GWL_STYLE) & WS_POPUPWINDOW, LONG_PTR(WS_POPUPWINDOW));
  EXPECT_EQ(GetWindow(wnd, GW_OWNER), m_parent);
  EXPECT_EQ(GetWindowLongPtrW(m_parent, GWLP_WNDPROC),
            reinterpret_cast<LONG_PTR>(&CWndShadow::ShadowParentProc));

  // The parent is still hidden: the shadow waits for it.
  EXPECT_FALSE(IsWindowVisible(wnd));
  EXPECT_EQ(shadow.GetStatus(), CWndShadow::SHADOW_ENABLED);

  ShowWindow(m_parent, SW_SHOWNOACTIVATE);
  PumpMessages();
  EXPECT_TRUE(IsWindowVisible(wnd));
  EXPECT_EQ(shadow.GetStatus(), CWndShadow::SHADOW_ENABLED | CWndShadow::SHADOW_VISIBLE |
                                    CWndShadow::SHADOW_PARENT_VISIBLE);
  ExpectShadowAround(wnd, m_parent);

  ShowWindow(m_parent, SW_HIDE);
  PumpMessages();
  EXPECT_FALSE(IsWindowVisible(wnd));
  EXPECT_EQ(shadow.GetStatus(), CWndShadow::SHADOW_ENABLED);
}

TEST_F(WndShadowTest, VisibleWindowAttachingDuringCreationGetsItsShadowShown) {
  CWndShadow shadow;
  g_shadowOnCreate = &shadow;
  HWND wnd = CreateWindowExW(0, L"ShadowTestAttachOnCreate", L"created",
                             WS_POPUP | WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX, 120, 90, 260, 170,
                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  g_shadowOnCreate = nullptr;
  ASSERT_NE(wnd, nullptr);
  PumpMessages();
  ASSERT_TRUE(IsWindow(shadow.GetShadowWindow()));
  EXPECT_TRUE(IsWindowVisible(shadow.GetShadowWindow()));
  EXPECT_TRUE(shadow.GetStatus() & CWndShadow::SHADOW_VISIBLE);
  ExpectShadowAround(shadow.GetShadowWindow(), wnd);
  DestroyWindow(wnd);
  EXPECT_FALSE(IsWindow(shadow.GetShadowWindow()));
}

TEST_F(WndShadowTest, ShadowFollowsMovesAndSizeChanges) {
  CWndShadow shadow;
  AttachLikeTheMainWindow(shadow);
  ShowWindow(m_parent, SW_SHOWNOACTIVATE);
  UpdateWindow(m_parent);
  PumpMessages();
  HWND wnd = shadow.GetShadowWindow();

  SetWindowPos(m_parent, nullptr, 320, 240, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  PumpMessages();
  SCOPED_TRACE("moved");
  ExpectShadowAround(wnd, m_parent);

  // Growing waits for the parent's next paint; shrinking redraws at once.
  SetWindowPos(m_parent, nullptr, 0, 0, 420, 260, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  UpdateWindow(m_parent);
  PumpMessages();
  SCOPED_TRACE("grown");
  ExpectShadowAround(wnd, m_parent);

  SetWindowPos(m_parent, nullptr, 0, 0, 250, 180, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SCOPED_TRACE("shrunk");
  ExpectShadowAround(wnd, m_parent);

  // A composition change with composition off (as here) keeps the shadow.
  SendMessageW(m_parent, WM_DWMCOMPOSITIONCHANGED, 0, 0);
  EXPECT_TRUE(IsWindowVisible(wnd));
  EXPECT_FALSE(shadow.GetStatus() & CWndShadow::SHADOW_DISABLED_BY_COMPOSITION);
}

TEST_F(WndShadowTest, MaximiseAndMinimiseHideTheShadowAndRestoreShowsIt) {
  CWndShadow shadow;
  AttachLikeTheMainWindow(shadow);
  ShowWindow(m_parent, SW_SHOWNOACTIVATE);
  PumpMessages();
  HWND wnd = shadow.GetShadowWindow();
  ASSERT_TRUE(IsWindowVisible(wnd));

  const struct {
    int command;
    const char* name;
  } steps[] = {{SW_MAXIMIZE, "maximise"},
               {SW_RESTORE, "restore"},
               {SW_MINIMIZE, "minimise"},
               {SW_RESTORE, "restore again"}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.name);
    ShowWindow(m_parent, step.command);
    PumpMessages();
    const bool shown = step.command == SW_RESTORE;
    EXPECT_EQ(IsWindowVisible(wnd) != FALSE, shown);
    EXPECT_EQ((shadow.GetStatus() & CWndShadow::SHADOW_VISIBLE) != 0, shown);
    if (shown)
      ExpectShadowAround(wnd, m_parent);
  }
}

TEST_F(WndShadowTest, MessagesAfterTheParentIsGoneGetZeroAndReachNothing) {
  CWndShadow shadow;
  AttachLikeTheMainWindow(shadow);
  ShowWindow(m_parent, SW_SHOWNOACTIVATE);
  PumpMessages();
  HWND wnd = shadow.GetShadowWindow();
  // While attached the parent's own procedure answers through the shadow's.
  EXPECT_TRUE(CWndShadow::HasShadow(m_parent));
  EXPECT_EQ(CWndShadow::ShadowParentProc(m_parent, kEchoMessage, 0, 0), 77);

  DestroyWindow(m_parent);
  EXPECT_FALSE(IsWindow(wnd));
  EXPECT_FALSE(CWndShadow::HasShadow(m_parent));
  const int before = g_parentMessages;
  EXPECT_EQ(CWndShadow::ShadowParentProc(m_parent, kEchoMessage, 0, 0), 0);
  EXPECT_EQ(CWndShadow::ShadowParentProc(m_parent, WM_SIZE, SIZE_RESTORED, MAKELPARAM(10, 10)), 0);
  EXPECT_EQ(g_parentMessages, before);
}

TEST_F(WndShadowTest, SecondAttachIsRefusedAndAnEarlyDestructorGivesTheParentBack) {
  {
    CWndShadow shadow;
    AttachLikeTheMainWindow(shadow);
    EXPECT_FALSE(shadow.AttachToParent(m_parent));
    CWndShadow other;
    EXPECT_FALSE(other.AttachToParent(m_parent));
    EXPECT_EQ(other.GetShadowWindow(), static_cast<HWND>(INVALID_HANDLE_VALUE));
    // The parent still answers, once, through the shadow's procedure.
    EXPECT_EQ(SendMessageW(m_parent, kEchoMessage, 0, 0), 77);
  }
  // The shadow object is gone before its parent: the parent has its own procedure again.
  EXPECT_EQ(GetWindowLongPtrW(m_parent, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&ParentProc));
  EXPECT_EQ(SendMessageW(m_parent, kEchoMessage, 0, 0), 77);
  ShowWindow(m_parent, SW_SHOWNOACTIVATE);
  PumpMessages();
  EXPECT_TRUE(IsWindowVisible(m_parent));
}

// The shadow of a real rounded window, as the window draws it, matches the per-pixel reference.
TEST_F(WndShadowTest, RoundedParentImageMatchesTheReference) {
  SetWindowPos(m_parent, nullptr, 0, 0, 320, 210, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  HRGN rounded = CreateRoundRectRgn(0, 0, 321, 211, 6, 6);
  ASSERT_NE(SetWindowRgn(m_parent, rounded, FALSE), 0);
  CWndShadow shadow;
  AttachLikeTheMainWindow(shadow);
  const RECT rect = WindowRect(m_parent);
  ASSERT_EQ(rect.right - rect.left, 320);

  ShadowImage fast(328, 218), reference(328, 218);
  shadow.RenderShadowBits(fast.Bits(), m_parent, rect);
  zarvik::ScopedRegion windowRegion(CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(GetWindowRgn(m_parent, windowRegion.Get()), ERROR);
  RenderShadowPerPixel(reference.Bits(), windowRegion.Get(), 320, 210, shadow.GetParams());
  windowRegion.Reset();
  EXPECT_TRUE(fast.GuardsIntact());
  EXPECT_TRUE(fast == reference) << "first difference at " << fast.FirstDifference(reference);
  EXPECT_EQ(fast.At(160, 0) >> 24, 24u);
}

}  // namespace
