#include "common/file_version.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "common/module_path.h"

namespace zarvik {

std::wstring ReadFileVersionText(const std::wstring& path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0)
    return std::wstring();
  std::vector<BYTE> data(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data()))
    return std::wstring();
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof(VS_FIXEDFILEINFO))
    return std::wstring();
  wchar_t text[64];
  swprintf(text, 64, L"%d.%d.%d.%d", static_cast<int>(HIWORD(info->dwFileVersionMS)),
           static_cast<int>(LOWORD(info->dwFileVersionMS)),
           static_cast<int>(HIWORD(info->dwFileVersionLS)),
           static_cast<int>(LOWORD(info->dwFileVersionLS)));
  return text;
}

}  // namespace zarvik

std::wstring GetFileVersionText() {
  return zarvik::ReadFileVersionText(zarvik::ModuleFilePath());
}
