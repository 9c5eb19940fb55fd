#include "support/child_process.h"

namespace zarvik_test {

ChildProcess::~ChildProcess() {
  if (m_process && WaitForSingleObject(m_process.Get(), 0) != WAIT_OBJECT_0)
    Kill();
}

bool ChildProcess::Start(const std::wstring& exe, const std::wstring& arguments, DWORD flags) {
  std::wstring commandLine = L"\"" + exe + L"\"";
  if (!arguments.empty())
    commandLine += L" " + arguments;
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr,
                      nullptr, &startup, &info))
    return false;
  m_process.Reset(info.hProcess);
  m_thread.Reset(info.hThread);
  m_id = info.dwProcessId;
  return true;
}

void ChildProcess::Kill(UINT exitCode) {
  if (!m_process)
    return;
  TerminateProcess(m_process.Get(), exitCode);
  WaitForSingleObject(m_process.Get(), 10000);
}

DWORD ChildProcess::WaitForExit(DWORD timeoutMs) {
  DWORD code = STILL_ACTIVE;
  if (m_process && WaitForSingleObject(m_process.Get(), timeoutMs) == WAIT_OBJECT_0)
    GetExitCodeProcess(m_process.Get(), &code);
  return code;
}

void ChildProcess::Forget() {
  m_process.Reset();
  m_thread.Reset();
}

std::wstring OwnProgramPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

}  // namespace zarvik_test
