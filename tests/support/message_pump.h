// Runs the calling thread's window messages until a condition holds, for tests and probe
// programs whose windows or engines answer through messages. Header-only: the probe programs use
// it without the test-support library.
#pragma once

#include <windows.h>

#include <functional>

namespace zarvik_test {

// Dispatches this thread's messages until done() holds (true) or timeoutMs has passed (false).
// The bound keeps a broken engine or window from hanging the run; it is not a timing check.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs)
      return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return true;
}

}  // namespace zarvik_test
