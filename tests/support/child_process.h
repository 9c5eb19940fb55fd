// A program a test starts (often a suspended copy of the test program itself, which never runs
// and so stands for any other process), with its process and thread handles owned. A process
// still running when the object ends is terminated: a failed test leaves none behind.
#pragma once

#include <windows.h>

#include <string>

#include "common/scoped_handle.h"

namespace zarvik_test {

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `exe` with its quoted path and then `arguments` as the command line; `flags` as
  // CreateProcessW takes them (CREATE_SUSPENDED, CREATE_NO_WINDOW). False when it did not start.
  bool Start(const std::wstring& exe, const std::wstring& arguments, DWORD flags);
  // Terminates the process with `exitCode` and waits up to 10 s for it to end.
  void Kill(UINT exitCode = 0);
  // Waits up to `timeoutMs` for the process to end; its exit code (STILL_ACTIVE when it runs on).
  DWORD WaitForExit(DWORD timeoutMs);
  // Lets go of both handles, as a process ends that nobody else holds open.
  void Forget();

  HANDLE process() const { return m_process.Get(); }
  DWORD id() const { return m_id; }

 private:
  zarvik::ScopedHandle m_process;
  zarvik::ScopedHandle m_thread;
  DWORD m_id = 0;
};

// The full path of the running test program.
std::wstring OwnProgramPath();

}  // namespace zarvik_test
