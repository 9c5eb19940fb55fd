#include "src/common/threads.h"

#include <deque>
#include <map>
#include <mutex>

#include "src/common/library_names.h"

namespace cefimpl {

namespace {
std::mutex g_runnersLock;
ThreadRunner* g_runners[TID_RENDERER + 1] = {};

const UINT kRunTasks = WM_APP + 1;
const UINT kArmTimers = WM_APP + 2;
const wchar_t kTaskWindowClass[] = L"CefTaskWindow";
}  // namespace

void SetThreadRunner(CefThreadId id, ThreadRunner* runner) {
  std::lock_guard<std::mutex> lock(g_runnersLock);
  if (id >= 0 && id <= TID_RENDERER)
    g_runners[id] = runner;
}

struct WindowTaskRunner::Impl {
  HWND hwnd = nullptr;
  std::mutex lock;
  std::deque<CefRefPtr<CefTask>> tasks;
  std::deque<std::pair<int64, CefRefPtr<CefTask>>> newDelayed;  // waiting for a timer
  std::map<UINT_PTR, CefRefPtr<CefTask>> timers;
  UINT_PTR nextTimer = 1;
};

WindowTaskRunner::WindowTaskRunner() : m_impl(new Impl), m_threadId(GetCurrentThreadId()) {
  WNDCLASSEXW wc = {sizeof(wc)};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kTaskWindowClass;
  RegisterClassExW(&wc);  // fails harmlessly when the class exists
  m_impl->hwnd = CreateWindowExW(0, kTaskWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, nullptr);
  SetWindowLongPtrW(m_impl->hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

WindowTaskRunner::~WindowTaskRunner() {
  if (m_impl->hwnd) {
    SetWindowLongPtrW(m_impl->hwnd, GWLP_USERDATA, 0);
    DestroyWindow(m_impl->hwnd);
  }
  Discard();
  delete m_impl;
}

bool WindowTaskRunner::PostTask(CefRefPtr<CefTask> task, int64 delayMs) {
  if (!task || !m_impl->hwnd)
    return false;
  {
    std::lock_guard<std::mutex> lock(m_impl->lock);
    if (delayMs > 0)
      m_impl->newDelayed.emplace_back(delayMs, task);
    else
      m_impl->tasks.push_back(task);
  }
  return PostMessageW(m_impl->hwnd, delayMs > 0 ? kArmTimers : kRunTasks, 0, 0) != FALSE;
}

void WindowTaskRunner::RunPending() {
  for (;;) {
    CefRefPtr<CefTask> task;
    {
      std::lock_guard<std::mutex> lock(m_impl->lock);
      if (m_impl->tasks.empty())
        return;
      task = m_impl->tasks.front();
      m_impl->tasks.pop_front();
    }
    task->Execute();
  }
}

void WindowTaskRunner::Discard() {
  std::deque<CefRefPtr<CefTask>> tasks;
  std::deque<std::pair<int64, CefRefPtr<CefTask>>> delayed;
  std::map<UINT_PTR, CefRefPtr<CefTask>> timers;
  {
    std::lock_guard<std::mutex> lock(m_impl->lock);
    tasks.swap(m_impl->tasks);
    delayed.swap(m_impl->newDelayed);
    timers.swap(m_impl->timers);
  }
  // Released outside the lock: a task's destructor may post again.
}

LRESULT CALLBACK WindowTaskRunner::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<WindowTaskRunner*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self)
    return DefWindowProcW(hwnd, message, wParam, lParam);
  Impl* impl = self->m_impl;
  switch (message) {
    case kRunTasks:
      self->RunPending();
      return 0;
    case kArmTimers: {
      std::lock_guard<std::mutex> lock(impl->lock);
      while (!impl->newDelayed.empty()) {
        UINT_PTR id = impl->nextTimer++;
        UINT delay = static_cast<UINT>(impl->newDelayed.front().first);
        impl->timers[id] = impl->newDelayed.front().second;
        impl->newDelayed.pop_front();
        SetTimer(hwnd, id, delay, nullptr);
      }
      return 0;
    }
    case WM_TIMER: {
      KillTimer(hwnd, wParam);
      CefRefPtr<CefTask> task;
      {
        std::lock_guard<std::mutex> lock(impl->lock);
        auto it = impl->timers.find(wParam);
        if (it == impl->timers.end())
          return 0;
        task = it->second;
        impl->timers.erase(it);
      }
      task->Execute();
      return 0;
    }
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace cefimpl

bool CefCurrentlyOn(CefThreadId threadId) {
  std::lock_guard<std::mutex> lock(cefimpl::g_runnersLock);
  if (threadId < 0 || threadId > TID_RENDERER || !cefimpl::g_runners[threadId])
    return false;
  return cefimpl::g_runners[threadId]->ThreadId() == GetCurrentThreadId();
}

bool CefPostDelayedTask(CefThreadId threadId, CefRefPtr<CefTask> task, int64 delay_ms) {
  std::lock_guard<std::mutex> lock(cefimpl::g_runnersLock);
  if (threadId < 0 || threadId > TID_RENDERER || !cefimpl::g_runners[threadId])
    return false;
  return cefimpl::g_runners[threadId]->PostTask(task, delay_ms < 0 ? 0 : delay_ms);
}

bool CefPostTask(CefThreadId threadId, CefRefPtr<CefTask> task) {
  return CefPostDelayedTask(threadId, task, 0);
}

int cef_currently_on(cef_thread_id_t threadId) {
  return CefCurrentlyOn(threadId) ? 1 : 0;
}
int cef_post_task(cef_thread_id_t threadId, CefTask* task) {
  return CefPostTask(threadId, task) ? 1 : 0;
}
int cef_post_delayed_task(cef_thread_id_t threadId, CefTask* task, int64 delay_ms) {
  return CefPostDelayedTask(threadId, task, delay_ms) ? 1 : 0;
}
