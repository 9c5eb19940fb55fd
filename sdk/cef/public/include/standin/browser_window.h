// What the engine stand-in tells its clients beyond the engine's own API. The engine's headers
// do not name the window class of a browser's host window, yet a client that looks for the
// browser inside the parent it gave it (FindWindowEx) needs it; this header is the one place
// it is written.
#pragma once

// The class of the child window each browser paints into.
constexpr wchar_t kCefBrowserWindowClass[] = L"CefBrowserWindow";
