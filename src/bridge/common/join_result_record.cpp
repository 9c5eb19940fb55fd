#include "bridge/common/join_result_record.h"

#include <cstdint>
#include <cstring>
#include <cwchar>

#include "diagnostics/log.h"

JoinResultRecord::JoinResultRecord(const wchar_t* name) : m_name(name ? name : L"") {}

bool JoinResultRecord::Store(int result) {
  if (!m_mapping) {
    m_mapping.Reset(::OpenFileMappingW(FILE_MAP_WRITE, FALSE, m_name.c_str()));
    if (!m_mapping)
      m_mapping.Reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                           kJoinResultMappingSize, m_name.c_str()));
  }
  if (!m_mapping) {
    LogLine(ERROR, "CreateFileMapping Error : ", ::GetLastError());
    return false;
  }
  zarvik::ScopedMappedView view(
      ::MapViewOfFile(m_mapping.Get(), FILE_MAP_WRITE, 0, 0, sizeof(int32_t)));
  if (!view) {
    LogLine(ERROR, "MapViewOfFile failed.");
    return false;
  }
  int32_t value = result;
  std::memcpy(view.Get(), &value, sizeof(value));
  return true;
}

int ReadJoinResult(const wchar_t* name) {
  int result = kJoinResultUnavailable;
  zarvik::ScopedHandle mapping(::OpenFileMappingW(FILE_MAP_READ, FALSE, name));
  if (!mapping) {
    wchar_t text[260] = {};
    std::swprintf(text, 260, L"OpenFileMapping failed,error code : %d",
                  static_cast<int>(::GetLastError()));
    ::OutputDebugStringW(text);
    return result;
  }
  zarvik::ScopedMappedView view(
      ::MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, sizeof(int32_t)));
  if (view) {
    int32_t value = 0;
    std::memcpy(&value, view.Get(), sizeof(value));
    result = value;
    ::OutputDebugStringW(std::to_wstring(result).c_str());
  }
  return result;
}
