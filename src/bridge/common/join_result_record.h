// The join result record: a signed 32-bit value at offset 0 of the named mapping
// "zarvik-sharememory-object". The browser process's main window stores the result of a join
// request there before its handler returns; the renderer reads it right after its request
// returns. Both sides of that agreement live here.
#pragma once

#include <windows.h>

#include <string>

#include "bridge/common/bridge_messages.h"
#include "common/scoped_handle.h"

// The writer's side. Once a result has been stored the record keeps its mapping open until it
// is destroyed, so the value outlives the request (and a later read finds it).
class JoinResultRecord {
 public:
  explicit JoinResultRecord(const wchar_t* name = kJoinResultMappingName);
  JoinResultRecord(const JoinResultRecord&) = delete;
  JoinResultRecord& operator=(const JoinResultRecord&) = delete;

  // Opens the mapping for writing, creating it in the paging file when it does not exist yet
  // (the first store only; later stores reuse the handle), and stores `result`. On failure
  // writes "CreateFileMapping Error : <code>" or "MapViewOfFile failed." at ERROR level and
  // returns false; the record then keeps whatever value it had.
  bool Store(int result);

  bool IsOpen() const { return m_mapping.IsValid(); }
  // Gives the mapping up (the window's destructor).
  void Close() { m_mapping.Reset(); }

 private:
  std::wstring m_name;
  zarvik::ScopedHandle m_mapping;
};

// The reader's side: the value at offset 0 of the mapping `name`, or kJoinResultUnavailable
// (65535) when the mapping does not exist or cannot be mapped. Failures go to the debugger
// output (the renderer has no log).
int ReadJoinResult(const wchar_t* name);
