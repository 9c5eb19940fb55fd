// Start-up steps of the browser process that do not depend on the windows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// A log file this large or larger is deleted at start (100 MiB).
constexpr uint64_t kLogSizeLimit = 104857600;

// "zarvik.log" beside the executable; deletes it first when it has reached kLogSizeLimit.
// Returns the path in the ANSI code page.
std::string PrepareLogFile(const std::wstring& exeDirectory);

// Creates the empty placeholder "Flash.exe" beside the executable unless it exists, and points
// this process's "ComSpec" at it so every child process inherits it.
void SetPlaceholderCommandInterpreter(const std::wstring& exeDirectory);

// Ends the process at once with exit code 0, without running any destructor.
[[noreturn]] void TerminateSelf();
