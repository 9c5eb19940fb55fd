// Process-wide start values. Start-up sets them once on its own thread before any other thread
// exists; everything else only reads them.
#pragma once

#include <windows.h>

#include <string>

#include "include/internal/cef_ptr.h"

extern std::string g_loginOpt;   // login option, ANSI code page
extern DWORD g_gamePid;          // the game's process id
extern unsigned g_editionIndex;  // 0 or 1: the row of every endpoint table
extern std::wstring g_guid;      // the user's GUID as the game passed it
extern HWND g_gameWnd;           // the game's main window, may be null

class ClientAppBrowser;
// The browser process's engine application object (none in sub-processes).
extern CefRefPtr<ClientAppBrowser> g_appBrowser;
