#include "diagnostics/thread_check.h"

#include "diagnostics/log.h"

namespace {

bool CheckThread(DWORD ownThreadId, const char* function) {
  if (::GetCurrentThreadId() == ownThreadId)
    return true;
  LogLine(ERROR, function ? function : "(unknown)", " ran on thread ", ::GetCurrentThreadId(),
          ", not on its own thread ", ownThreadId);
  return false;
}

}  // namespace

bool ThreadCheck::Check(const char* function) const {
  return CheckThread(m_threadId, function);
}

bool CheckWindowThread(HWND window, const char* function) {
  if (!window)
    return true;
  return CheckThread(::GetWindowThreadProcessId(window, nullptr), function);
}
