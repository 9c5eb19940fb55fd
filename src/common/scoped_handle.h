// Owners for Win32 handles: one owner per handle, copying disabled, moving allowed.
#pragma once

#include <windows.h>

#include <utility>

namespace zarvik {

// Kernel objects use null as their invalid value, files INVALID_HANDLE_VALUE.
template <HANDLE (*Invalid)()>
class BasicScopedHandle {
 public:
  BasicScopedHandle() = default;
  explicit BasicScopedHandle(HANDLE handle) : m_handle(handle) {}
  ~BasicScopedHandle() { Reset(); }
  BasicScopedHandle(const BasicScopedHandle&) = delete;
  BasicScopedHandle& operator=(const BasicScopedHandle&) = delete;
  BasicScopedHandle(BasicScopedHandle&& other) noexcept : m_handle(other.Release()) {}
  BasicScopedHandle& operator=(BasicScopedHandle&& other) noexcept {
    if (this != &other)
      Reset(other.Release());
    return *this;
  }

  bool IsValid() const { return m_handle != Invalid() && m_handle != nullptr; }
  explicit operator bool() const { return IsValid(); }
  HANDLE Get() const { return m_handle; }
  HANDLE Release() { return std::exchange(m_handle, Invalid()); }
  void Reset(HANDLE handle = Invalid()) {
    if (IsValid())
      CloseHandle(m_handle);
    m_handle = handle;
  }

 private:
  HANDLE m_handle = Invalid();
};

inline HANDLE NullHandleValue() {
  return nullptr;
}
inline HANDLE InvalidFileHandleValue() {
  return INVALID_HANDLE_VALUE;
}

using ScopedHandle = BasicScopedHandle<NullHandleValue>;
using ScopedFileHandle = BasicScopedHandle<InvalidFileHandleValue>;

}  // namespace zarvik
