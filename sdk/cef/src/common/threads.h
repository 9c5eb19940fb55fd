// The engine threads that take tasks: TID_UI in the browser process, TID_RENDERER in the
// renderer. Each side registers the runner of its thread while it runs.
#pragma once

#include <windows.h>

#include <functional>

#include "include/cef_task.h"

namespace cefimpl {

// A task that runs a callable: how the engine's own code posts work (clients make tasks from a
// base::Closure with CefCreateClosureTask, as with the real engine).
CefRefPtr<CefTask> FunctionTask(std::function<void()> fn);

class ThreadRunner {
 public:
  virtual ~ThreadRunner() {}
  virtual bool PostTask(CefRefPtr<CefTask> task, int64 delayMs) = 0;
  virtual DWORD ThreadId() const = 0;
};

// Registers (or, with null, removes) the runner of an engine thread.
void SetThreadRunner(CefThreadId id, ThreadRunner* runner);

// A message-only window that runs posted tasks on the thread that created it.
class WindowTaskRunner : public ThreadRunner {
 public:
  WindowTaskRunner();  // on the thread that runs the tasks
  ~WindowTaskRunner() override;
  bool PostTask(CefRefPtr<CefTask> task, int64 delayMs) override;
  DWORD ThreadId() const override { return m_threadId; }
  // Runs every task queued so far (the thread's own loop calls it through the window).
  void RunPending();
  // Drops queued tasks without running them.
  void Discard();

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  struct Impl;
  Impl* m_impl;
  DWORD m_threadId;
};

}  // namespace cefimpl
