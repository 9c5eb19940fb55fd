#include "app/early_settle.h"

#include "app/process_role.h"
#include "common/scoped_handle.h"
#include "diagnostics/log.h"

bool StartsBrowserProcess(const wchar_t* commandLine) {
  CefRefPtr<CefCommandLine> line = CefCommandLine::CreateCommandLine();
  line->InitFromString(commandLine ? commandLine : L"");
  return ChooseProcessRole(line) == ProcessRole::kBrowser;
}

EarlySettle SettleUpdateFirst(const std::wstring& exeDirectory, const wchar_t* mutexName) {
  EarlySettle result;
  CLog::HoldLines();
  zarvik::ScopedHandle running(OpenMutexW(SYNCHRONIZE, FALSE, mutexName));
  if (running) {
    result.updating = true;
    return result;
  }
  result.found = zarvik::SettleEarlierUpdate(exeDirectory);
  return result;
}
