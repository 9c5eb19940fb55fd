#include "updater/update_steps.h"

#include <windows.h>

#include <mutex>

namespace zarvik {

namespace {
UpdateStepHook g_hook = nullptr;
// Members are flushed on the flush pool's threads: the hook sees one step at a time.
std::mutex g_hookLock;
}  // namespace

void SetUpdateStepHook(UpdateStepHook hook) {
  std::lock_guard<std::mutex> guard(g_hookLock);
  g_hook = hook;
}

bool UpdateStep(const char* step, const std::wstring& path) {
  {
    std::lock_guard<std::mutex> guard(g_hookLock);
    if (!g_hook || g_hook(step, path))
      return true;
  }
  SetLastError(ERROR_ACCESS_DENIED);
  return false;
}

}  // namespace zarvik
