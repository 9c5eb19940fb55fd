// Notifications the client posts to the game's window (lParam always 0). The numbers lie above
// 0xFFFF; each wParam carries the low 16 bits of its message number in its high 16 bits.
#pragma once

#include <windows.h>

constexpr UINT GAME_NOTIFY_EXIT = 0x1857B;
constexpr UINT GAME_NOTIFY_UPDATE_BEGIN = 0x1857C;
constexpr UINT GAME_NOTIFY_UPDATE_OK = 0x1857D;
constexpr UINT GAME_NOTIFY_UPDATE_FAIL = 0x1857E;
constexpr UINT GAME_NOTIFY_INSTANCES_CLOSED = 0x1857F;
constexpr UINT GAME_NOTIFY_UPDATE_BUSY = 0x18580;

constexpr WPARAM GameNotifyWParam(UINT message) {
  return static_cast<WPARAM>((message & 0xFFFF) << 16);
}

// Posts a notification to g_gameWnd, null or not, with its standard wParam plus `extra` in the
// low 16 bits (the installer's attempt counter).
void PostGameNotify(UINT message, WPARAM extra = 0);
