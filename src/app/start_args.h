// The five start arguments the game passes, and the lookup of the game's window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The game marker, compared without regard to letter case.
extern const wchar_t kGameMarker[];
// A GUID needs at most 38 characters; a longer field is refused.
constexpr size_t kMaxGuidLength = 38;

struct StartArguments {
  std::wstring loginOpt;
  std::wstring gamePidText;
  DWORD gamePid = 0;  // leading decimal number of gamePidText, 0 without digits
  std::wstring serverIdText;
  unsigned editionIndex = 0;
  std::wstring guid;
};

enum class StartArgsError { kNone, kTooFewFields, kBadMarker, kBadServerId, kGuidTooLong };

// Checks the fields of a split command line. When fields[0] equals exePath (without regard to
// case) it is skipped. Pure: reads and writes nothing else.
StartArgsError CheckStartFields(const std::vector<std::wstring>& fields,
                                const std::wstring& exePath,
                                StartArguments* out);

// Splits the process command line with the system's parser, checks it and, when it is
// acceptable, stores g_loginOpt, g_gamePid, g_editionIndex and g_guid and logs the game's ids.
bool ParseStartArguments();

// Splits a command line the way the system does (CommandLineToArgvW).
std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine);

// The first top-level window of the process without parent or owner, else the last owned one
// met, else null.
HWND FindGameWindow(DWORD pid);
