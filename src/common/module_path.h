// Paths beside the running executable.
#pragma once

#include <windows.h>

#include <string>

namespace zarvik {

// Full path of the module (at most MAX_PATH characters, as the system returns it).
std::wstring ModuleFilePath(HMODULE module = nullptr);
// The module's directory with a trailing backslash.
std::wstring ModuleDirectory(HMODULE module = nullptr);
// Removes the last path component, keeping the trailing backslash: "C:\a\b.exe" -> "C:\a\".
std::wstring StripLastComponent(const std::wstring& path);
bool FileExists(const std::wstring& path);

}  // namespace zarvik
