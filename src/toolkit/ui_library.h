// The UI library as the client includes it, and the route of its problem reports.
//
// The real DirectUI library's UIlib.h includes <windowsx.h>, whose window-walking macros
// (GetFirstChild, GetNextSibling, ...) would rewrite the engine's CefDOMNode methods in every
// file that reads the engine's headers after it. The client uses none of them, so they are
// removed here: include this header, not UIlib.h.
#pragma once

#include <windows.h>
#include <windowsx.h>

#include "UIlib.h"

#undef GetFirstChild
#undef GetFirstSibling
#undef GetLastSibling
#undef GetNextSibling
#undef GetPrevSibling

namespace zarvik {

typedef void(CALLBACK* UiLibraryLogCallback)(LPCTSTR text);

// Sends the UI library's problem reports (missing or damaged skins and images, unknown controls)
// to `callback` (null: back to the debugger output) and returns true, when the loaded library
// offers that: our duilib.dll exports "DuiLibSetLogCallback". The real library has no such route
// and keeps its traces in the debugger output; then this returns false.
bool RouteUiLibraryLog(UiLibraryLogCallback callback);

}  // namespace zarvik
