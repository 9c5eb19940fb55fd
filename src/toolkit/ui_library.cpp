#include "toolkit/ui_library.h"

namespace zarvik {

bool RouteUiLibraryLog(UiLibraryLogCallback callback) {
  // Looked up at run time, so the client builds and runs against a library without it.
  typedef void (*SetLogCallback)(UiLibraryLogCallback);
  HMODULE library = ::GetModuleHandleW(L"duilib.dll");
  if (!library)
    return false;
  auto set = reinterpret_cast<SetLogCallback>(
      reinterpret_cast<void*>(::GetProcAddress(library, "DuiLibSetLogCallback")));
  if (!set)
    return false;
  set(callback);
  return true;
}

}  // namespace zarvik
