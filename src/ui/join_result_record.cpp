#include "ui/join_result_record.h"

#include <cstring>

#include "bridge/common/bridge_messages.h"
#include "diagnostics/log.h"

void StoreJoinResult(HANDLE& mapping, int result) {
  if (!mapping) {
    mapping = ::OpenFileMappingW(FILE_MAP_WRITE, FALSE, kJoinResultMappingName);
    if (!mapping)
      mapping = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                     kJoinResultMappingSize, kJoinResultMappingName);
  }
  if (!mapping) {
    LogLine(ERROR, "CreateFileMapping Error : ", ::GetLastError());
    return;
  }
  void* view = ::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(int32_t));
  if (!view) {
    LogLine(ERROR, "MapViewOfFile failed.");
    return;
  }
  int32_t value = result;
  std::memcpy(view, &value, sizeof(value));
  ::UnmapViewOfFile(view);
}
