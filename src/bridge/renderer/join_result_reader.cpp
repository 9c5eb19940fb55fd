#include "bridge/renderer/join_result_reader.h"

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>

#include "bridge/common/bridge_messages.h"
#include "common/scoped_handle.h"

int ReadJoinResult(const wchar_t* name) {
  int result = kJoinResultUnavailable;
  HANDLE mapping = ::OpenFileMappingW(FILE_MAP_READ, FALSE, name);
  if (!mapping) {
    wchar_t text[260] = {};
    std::swprintf(text, 260, L"OpenFileMapping failed,error code : %d",
                  static_cast<int>(::GetLastError()));
    ::OutputDebugStringW(text);
    return result;
  }
  zarvik::ScopedHandle owner(mapping);
  void* view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(int32_t));
  if (view) {
    int32_t value = 0;
    std::memcpy(&value, view, sizeof(value));
    result = value;
    ::OutputDebugStringW(std::to_wstring(result).c_str());
    ::UnmapViewOfFile(view);
  }
  return result;
}
