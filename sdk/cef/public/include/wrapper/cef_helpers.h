// Thread checks for handler entries.
#pragma once

#include "include/cef_task.h"

namespace cef_internal {
// Writes a debugger line when a function runs on the wrong engine thread.
void ReportWrongThread(const char* function, CefThreadId expected);
}  // namespace cef_internal

#define CEF_REQUIRE_THREAD(id)                           \
  do {                                                   \
    if (!CefCurrentlyOn(id))                             \
      cef_internal::ReportWrongThread(__FUNCTION__, id); \
  } while (0)
#define CEF_REQUIRE_UI_THREAD() CEF_REQUIRE_THREAD(TID_UI)
#define CEF_REQUIRE_RENDERER_THREAD() CEF_REQUIRE_THREAD(TID_RENDERER)
