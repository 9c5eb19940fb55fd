#include "app/globals.h"

#include "app/client_app_browser.h"

std::string g_loginOpt;
DWORD g_gamePid = 0;
unsigned g_editionIndex = 0;
std::wstring g_guid;
HWND g_gameWnd = nullptr;
CefRefPtr<ClientAppBrowser> g_appBrowser;
