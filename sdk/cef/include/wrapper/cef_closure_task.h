// Tasks made from a callable.
#pragma once

#include <functional>

#include "include/cef_task.h"

CefRefPtr<CefTask> CefCreateClosureTask(std::function<void()> closure);
