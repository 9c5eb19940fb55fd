#include "diagnostics/thread_check.h"

#include "diagnostics/log.h"

bool ThreadCheck::Check(const char* function) const {
  if (OnOwnThread())
    return true;
  LogLine(ERROR, function ? function : "(unknown)", " ran on thread ", ::GetCurrentThreadId(),
          ", not on its own thread ", m_threadId);
  return false;
}
