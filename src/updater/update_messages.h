// Messages the update procedure posts to the update window.
#pragma once

#include <windows.h>

constexpr UINT WM_UPDATE_PROGRESS = 0x501;  // lParam: download percentage
constexpr UINT WM_UPDATE_FAILED = 0x502;    // the procedure ended with a non-zero result
constexpr UINT WM_UPDATE_INSTALLING =
    0x503;  // the package is downloaded, files are being put in place
