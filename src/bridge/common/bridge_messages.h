// What crosses between the renderer (page functions) and the browser process (main window):
// window messages, the join request text, the join result record and the process-message names.
// Both processes include this one header.
#pragma once

#include <windows.h>

// Main window's class, the target of every renderer message.
constexpr wchar_t kMainWindowClass[] = L"ZarvikMainWindow";

// Renderer -> main window.
constexpr WPARAM COPYDATA_JOIN_CHANNEL = 0x10;                 // WM_COPYDATA tag, SendMessageW
constexpr UINT WM_BRIDGE_LIVE_ROOM = WM_USER + 0x64;           // lParam 0 entered, 1 left
constexpr UINT WM_BRIDGE_LEAVE_CHANNEL = WM_USER + 0x12F;      // SendMessageW
constexpr UINT WM_BRIDGE_CHANGE_BACKGROUND = WM_USER + 0x131;  // PostMessageW, lParam = value

// Join result record: a signed 32-bit value at offset 0 of a 4096-byte paging-file mapping.
constexpr wchar_t kJoinResultMappingName[] = L"zarvik-sharememory-object";
constexpr DWORD kJoinResultMappingSize = 0x1000;
// The renderer's answer when no join request could be made or the record cannot be read.
constexpr int kJoinResultUnavailable = 65535;

// Browser process -> renderer process messages (names compared exactly).
constexpr char kMsgChangeWindowSize[] = "changeWindowSize";
constexpr char kMsgChangeWindowMode[] = "changeWindowMode";
constexpr char kMsgBrowseHistory[] = "browseHistory";
constexpr char kMsgCloseMic[] = "closeMic";

// Longest join request text the renderer sends, in UTF-16 code units without the terminator:
// far above any channel key, and well below what the system can carry in one copy-data message
// between processes (Wine fails the sender near 2 MB). A longer text is not sent and the page
// hears kJoinResultUnavailable.
constexpr size_t kMaxJoinTextUnits = 0x10000;
