// Pinning a window above others (HWND_TOPMOST) or unpinning it (HWND_NOTOPMOST) together with a
// move or size. Some window managers (Wine's among them) refuse the topmost state to a window
// that owns pop-ups, such as the main window with its shadow; there the owned windows are let go
// for the change and taken back right after, so the pin holds everywhere.
#pragma once

#include <windows.h>

bool IsWindowTopmost(HWND window);

// SetWindowPos with HWND_TOPMOST (topmost true) or HWND_NOTOPMOST and the given place and
// flags (SWP_NOZORDER must not be among them). True when the window ends in the wanted state.
bool SetWindowPosTopmost(HWND window, bool topmost, int x, int y, int cx, int cy, UINT flags);
