// Window messages, command codes and timer ids of the main window that are not the renderer's
// (those live in bridge/bridge_messages.h). Other processes send some of them, so the numbers
// are fixed.
#pragma once

#include <windows.h>

// Any process may send it: the client closes as if its close button had been pressed.
constexpr UINT WM_CLIENT_EXIT = 0x7E8;
// Posted by the browser client when a navigation to a URL containing "about:blank" starts.
constexpr UINT WM_BROWSER_BLANK = 0x7EB;

#if __has_include("voice/voice_messages.h")
#include "voice/voice_messages.h"
#else
// Sent by the voice window when the remote user left: the page must close its microphone.
constexpr UINT WM_VOICE_CLOSE_MIC = WM_USER + 0x209;
#endif

// WM_COMMAND codes. The activation test (high word) comes before the low-word codes.
constexpr WORD CMD_ACTIVATE = 0xF120;       // high word of wParam
constexpr WORD CMD_SYNC_GAME_INFO = 203;    // low word; type = high word, value = lParam
constexpr WORD CMD_MASTER_BROADCAST = 204;  // low word; high part = high word, low = lParam

// Timer ids (WM_TIMER wParam). 1000 and 2000 arrive from another process.
constexpr UINT_PTR TIMER_EXIT_NOW = 1000;
constexpr UINT_PTR CHECK_GAME_IS_RUNNING_TIMER = 2000;
constexpr UINT_PTR TIMER_MINIMIZE_REPORT = 15000;
constexpr UINT kMinimizeReportPeriodMs = 15000;
