#include "base/globals.h"

std::string g_loginOpt;
DWORD g_gamePid = 0;
unsigned g_editionIndex = 0;
std::wstring g_guid;
HWND g_gameWnd = nullptr;
