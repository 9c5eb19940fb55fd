#include "ui/topmost.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND MakeWindow(HWND owner, DWORD exStyle, DWORD style) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZarvikTopmostTest";
    RegisterClassW(&wc);
    registered = true;
  }
  return CreateWindowExW(exStyle, L"ZarvikTopmostTest", L"", style, 10, 10, 200, 100, owner,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
}

// A window that owns a shadow-like pop-up (layered, click-through) is pinned and unpinned, keeps
// its pop-up, and a move in the same call happens too.
TEST(Topmost, PinsAWindowThatOwnsPopups) {
  HWND owner = MakeWindow(nullptr, 0, WS_POPUP | WS_VISIBLE);
  HWND popup = MakeWindow(owner, WS_EX_LAYERED | WS_EX_TRANSPARENT, WS_POPUPWINDOW);
  ShowWindow(popup, SW_SHOWNA);

  EXPECT_TRUE(SetWindowPosTopmost(owner, true, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_TRUE(IsWindowTopmost(owner));
  EXPECT_EQ(GetWindow(popup, GW_OWNER), owner);

  EXPECT_TRUE(SetWindowPosTopmost(owner, false, 30, 40, 300, 200, SWP_NOACTIVATE));
  EXPECT_FALSE(IsWindowTopmost(owner));
  EXPECT_EQ(GetWindow(popup, GW_OWNER), owner);
  RECT rect;
  GetWindowRect(owner, &rect);
  EXPECT_EQ(rect.left, 30);
  EXPECT_EQ(rect.right - rect.left, 300);

  DestroyWindow(owner);
}

}  // namespace
