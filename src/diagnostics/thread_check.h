// The thread a component's handlers belong to, checked at their entry. A handler entered on
// another thread writes an ERROR line naming itself and goes on; the line is what a person or a
// test finds.
#pragma once

#include <windows.h>

class ThreadCheck {
 public:
  // Belongs to the thread that creates it.
  ThreadCheck() : m_threadId(::GetCurrentThreadId()) {}

  DWORD ThreadId() const { return m_threadId; }
  bool OnOwnThread() const { return ::GetCurrentThreadId() == m_threadId; }
  // Writes "<function> ran on thread N, not on its own thread M" at ERROR level when called on
  // another thread; true on the own thread.
  bool Check(const char* function) const;

 private:
  DWORD m_threadId;
};

// For a window's handlers, whose own thread is the one that created the window: the same ERROR
// line when called on another thread; true on that thread or while there is no window yet.
bool CheckWindowThread(HWND window, const char* function);

// One line at a handler's entry.
#define REQUIRE_OWN_THREAD(check) (check).Check(__FUNCTION__)
