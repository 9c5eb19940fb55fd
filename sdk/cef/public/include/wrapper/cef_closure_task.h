// Tasks made from a base::Closure (include/base/cef_bind.h makes one).
#pragma once

#include "include/base/cef_callback_forward.h"
#include "include/cef_task.h"

CefRefPtr<CefTask> CefCreateClosureTask(const base::Closure& closure);
bool CefPostTask(CefThreadId threadId, const base::Closure& closure);
bool CefPostDelayedTask(CefThreadId threadId, const base::Closure& closure, int64 delay_ms);
