#include "common/module_path.h"

namespace zarvik {

std::wstring ModuleFilePath(HMODULE module) {
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD length = GetModuleFileNameW(module, buffer, MAX_PATH);
  return std::wstring(buffer, length);
}

std::wstring StripLastComponent(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos)
    return std::wstring();
  return path.substr(0, slash + 1);
}

std::wstring ModuleDirectory(HMODULE module) {
  return StripLastComponent(ModuleFilePath(module));
}

bool FileExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace zarvik
