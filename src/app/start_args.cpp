#include "app/start_args.h"

#include <shellapi.h>

#include <cwchar>
#include <cstdlib>

#include "base/globals.h"
#include "common/encoding.h"
#include "common/module_path.h"
#include "diagnostics/log.h"

const wchar_t kGameMarker[] = L"XVEND_{4B1E7C29-8D05-4f3a-9C62-1E0B7A95D3F8}";

StartArgsError CheckStartFields(const std::vector<std::wstring>& fields,
                                const std::wstring& exePath,
                                StartArguments* out) {
  size_t first = 0;
  if (!fields.empty() && !exePath.empty() && _wcsicmp(fields[0].c_str(), exePath.c_str()) == 0)
    first = 1;
  if (fields.size() < first + 5)
    return StartArgsError::kTooFewFields;
  const std::wstring* field = &fields[first];
  if (_wcsicmp(field[1].c_str(), kGameMarker) != 0)
    return StartArgsError::kBadMarker;
  if (field[3] != L"1" && field[3] != L"2")
    return StartArgsError::kBadServerId;
  if (field[4].size() > kMaxGuidLength)
    return StartArgsError::kGuidTooLong;

  out->loginOpt = field[0];
  out->gamePidText = field[2];
  out->gamePid = static_cast<DWORD>(_wtoi(field[2].c_str()));
  out->serverIdText = field[3];
  out->editionIndex = field[3] == L"1" ? 0 : 1;
  out->guid = field[4];
  return StartArgsError::kNone;
}

std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine) {
  std::vector<std::wstring> fields;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(commandLine, &count);
  if (!argv)
    return fields;
  for (int i = 0; i < count; ++i)
    fields.emplace_back(argv[i]);
  LocalFree(argv);
  return fields;
}

bool ParseStartArguments() {
  std::vector<std::wstring> fields = SplitCommandLine(GetCommandLineW());
  StartArguments args;
  StartArgsError error = CheckStartFields(fields, zarvik::ModuleFilePath(), &args);
  if (error == StartArgsError::kGuidTooLong) {
    // Refused rather than cut: a cut GUID would be sent to the service as another user's.
    LogLine(ERROR, "start argument GUID longer than ", kMaxGuidLength, " characters.");
  }
  if (error != StartArgsError::kNone)
    return false;

  g_loginOpt = zarvik::WideToAnsi(args.loginOpt);
  g_gamePid = args.gamePid;
  g_editionIndex = args.editionIndex;
  g_guid = args.guid;

  LogLine(INFO, "current game process id : ", zarvik::WideToAnsi(args.gamePidText),
          " and server id : ", zarvik::WideToAnsi(args.serverIdText));
  return true;
}

namespace {

struct GameWindowSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindGameWindowProc(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<GameWindowSearch*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != search->pid)
    return TRUE;
  search->found = hwnd;
  return GetParent(hwnd) != nullptr;  // a window without parent or owner ends the search
}

}  // namespace

HWND FindGameWindow(DWORD pid) {
  GameWindowSearch search = {pid, nullptr};
  EnumWindows(FindGameWindowProc, reinterpret_cast<LPARAM>(&search));
  return search.found;
}
