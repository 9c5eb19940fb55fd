#include "updater/update_steps.h"

#include <windows.h>

namespace zarvik {

namespace {
UpdateStepHook g_hook = nullptr;
}

void SetUpdateStepHook(UpdateStepHook hook) {
  g_hook = hook;
}

bool UpdateStep(const char* step, const std::wstring& path) {
  if (!g_hook || g_hook(step, path))
    return true;
  SetLastError(ERROR_ACCESS_DENIED);
  return false;
}

}  // namespace zarvik
