// Tasks on the engine's threads: TID_UI in the browser process, TID_RENDERER in the renderer.
#pragma once

#include "include/cef_base.h"

class CefTask : public virtual CefBaseRefCounted {
 public:
  virtual void Execute() = 0;
};

// True when called on the given engine thread.
bool CefCurrentlyOn(CefThreadId threadId);
// Queues the task on the thread; false when that thread does not run (yet or any more).
bool CefPostTask(CefThreadId threadId, CefRefPtr<CefTask> task);
bool CefPostDelayedTask(CefThreadId threadId, CefRefPtr<CefTask> task, int64 delay_ms);
