// Screenshots for a crash report, taken from the screen by the sender.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace crashrpt {

// Screen areas to capture for the CR_AS_* flags: the virtual screen, the process's first visible
// top-level window, or each of its visible top-level windows.
std::vector<RECT> ScreenshotAreas(DWORD pid, DWORD flags);

// Captures the areas into "screenshot0.jpg", "screenshot1.jpg"... (PNG when JPEG is not asked for
// or the system has no JPEG encoder) in folder; returns the file names written.
std::vector<std::wstring> TakeScreenshots(DWORD pid,
                                          DWORD flags,
                                          int jpegQuality,
                                          const std::wstring& folder);

}  // namespace crashrpt
