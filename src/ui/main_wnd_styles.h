// The main window's styles: it is created with an ordinary frame and made frameless when it is
// created (its own title band draws the caption). Other code relies on these exact values.
#pragma once

#include <windows.h>

// Visible, caption, system menu, sizing border, minimise box.
constexpr DWORD kMainWndCreateStyle =
    WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;
static_assert(kMainWndCreateStyle == 0x10CE0000, "the main window is created with 0x10CE0000");

// On WM_CREATE the caption goes and the window stops painting over its children and siblings
// (the browser is a child window of the engine).
constexpr DWORD kMainWndRemovedStyle = WS_CAPTION;
constexpr DWORD kMainWndAddedStyle = WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
static_assert(~kMainWndRemovedStyle == 0xFF3FFFFF, "WM_CREATE keeps the bits of 0xFF3FFFFF");
static_assert(kMainWndAddedStyle == 0x06000000, "WM_CREATE adds 0x06000000");

// The style the main window takes on WM_CREATE, from the one it was created with.
constexpr LONG FramelessMainWndStyle(LONG style) {
  return static_cast<LONG>((static_cast<DWORD>(style) & ~kMainWndRemovedStyle) |
                           kMainWndAddedStyle);
}
