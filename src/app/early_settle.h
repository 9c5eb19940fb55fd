// The browser process's first step. An update that was interrupted (or finished but not yet
// started) left a journal beside the executable; it is settled before anything loads a DLL that
// the update may have replaced. The stand-in DLLs are delay-loaded, so up to here the executable
// binds to none of them, whichever version of it and of them the folder holds.
#pragma once

#include <windows.h>

#include <string>

#include "updater/installer.h"

struct EarlySettle {
  bool updating = false;  // another process holds the update lock: nothing was looked at
  zarvik::EarlierUpdate found = zarvik::EarlierUpdate::kNone;
};

// True when `commandLine` starts the browser process (the engine's switch "type" is absent);
// the engine's sub-processes never settle.
bool StartsBrowserProcess(const wchar_t* commandLine);

// Settles the journal in `exeDirectory` (with a trailing backslash) unless a process holds the
// update lock `mutexName`: that process is installing and its journal is live. The log file is
// not open yet: the settle's lines are held until start-up writes them (CLog::WriteHeldLines).
EarlySettle SettleUpdateFirst(const std::wstring& exeDirectory, const wchar_t* mutexName);
