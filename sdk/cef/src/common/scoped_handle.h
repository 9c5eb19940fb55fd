// Owners for the handles the engine holds, in both processes: one owner per handle, copying
// disabled, moving allowed. Kernel objects use null as their invalid value, files and pipes
// INVALID_HANDLE_VALUE; both count as "nothing to close".
#pragma once

#include <windows.h>

#include <curl/curl.h>

#include <utility>

namespace cefimpl {

// Traits give the handle type, the value that means "nothing" and how to close one.
template <typename Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;

  UniqueHandle() = default;
  explicit UniqueHandle(Type handle) : m_handle(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : m_handle(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other)
      Reset(other.Release());
    return *this;
  }

  bool IsValid() const { return Traits::IsValid(m_handle); }
  explicit operator bool() const { return IsValid(); }
  Type Get() const { return m_handle; }
  Type Release() { return std::exchange(m_handle, Traits::Invalid()); }
  void Reset(Type handle = Traits::Invalid()) {
    if (IsValid())
      Traits::Close(m_handle);
    m_handle = handle;
  }

 private:
  Type m_handle = Traits::Invalid();
};

namespace handle_traits {

template <typename T, typename Closer>
struct NullIsInvalid {
  using Type = T;
  static T Invalid() { return nullptr; }
  static bool IsValid(T handle) { return handle != nullptr; }
  static void Close(T handle) { Closer::Close(handle); }
};

// Kernel objects come back as null on failure; a handle some call reports as
// INVALID_HANDLE_VALUE is never closed either.
struct KernelObject {
  using Type = HANDLE;
  static HANDLE Invalid() { return nullptr; }
  static bool IsValid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE handle) { ::CloseHandle(handle); }
};

// Files and pipe ends start as INVALID_HANDLE_VALUE, yet null never names an open one either.
struct File {
  using Type = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(HANDLE handle) { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
  static void Close(HANDLE handle) { ::CloseHandle(handle); }
};

struct GdiObject {
  static void Close(HGDIOBJ object) { ::DeleteObject(object); }
};

struct MemoryDc {
  static void Close(HDC dc) { ::DeleteDC(dc); }
};

struct Menu {
  static void Close(HMENU menu) { ::DestroyMenu(menu); }
};

// Memory the system allocated for us with LocalAlloc (security descriptors, SID strings).
struct LocalMemory {
  static void Close(void* memory) { ::LocalFree(memory); }
};

struct Curl {
  static void Close(CURL* curl) { curl_easy_cleanup(curl); }
};

struct CurlList {
  static void Close(curl_slist* list) { curl_slist_free_all(list); }
};

struct CurlText {
  static void Close(char* text) { curl_free(text); }
};

}  // namespace handle_traits

using ScopedHandle = UniqueHandle<handle_traits::KernelObject>;
using ScopedFileHandle = UniqueHandle<handle_traits::File>;
// A GDI object we created (bitmap, font, brush); never one that is selected into a DC:
// ScopedSelectObject puts the old one back first.
template <typename T>
using ScopedGdiObject = UniqueHandle<handle_traits::NullIsInvalid<T, handle_traits::GdiObject>>;
using ScopedBitmap = ScopedGdiObject<HBITMAP>;
using ScopedFont = ScopedGdiObject<HFONT>;
// A DC from CreateCompatibleDC (DeleteDC), not one from GetDC or BeginPaint.
using ScopedMemoryDc = UniqueHandle<handle_traits::NullIsInvalid<HDC, handle_traits::MemoryDc>>;
using ScopedMenu = UniqueHandle<handle_traits::NullIsInvalid<HMENU, handle_traits::Menu>>;
template <typename T>
using ScopedLocalMemory = UniqueHandle<handle_traits::NullIsInvalid<T, handle_traits::LocalMemory>>;
using ScopedCurl = UniqueHandle<handle_traits::NullIsInvalid<CURL*, handle_traits::Curl>>;
using ScopedCurlList = UniqueHandle<handle_traits::NullIsInvalid<curl_slist*, handle_traits::CurlList>>;
using ScopedCurlText = UniqueHandle<handle_traits::NullIsInvalid<char*, handle_traits::CurlText>>;

// An object selected into a DC for one scope; the DC's previous object goes back at the end, so
// the object can be deleted afterwards.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(::SelectObject(dc, object)) {}
  ~ScopedSelectObject() {
    if (m_old && m_old != HGDI_ERROR)
      ::SelectObject(m_dc, m_old);
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

 private:
  HDC m_dc;
  HGDIOBJ m_old;
};

// The paint pair of a WM_PAINT handler: EndPaint runs on every way out.
class ScopedPaint {
 public:
  explicit ScopedPaint(HWND hwnd) : m_hwnd(hwnd), m_dc(::BeginPaint(hwnd, &m_paint)) {}
  ~ScopedPaint() { ::EndPaint(m_hwnd, &m_paint); }
  ScopedPaint(const ScopedPaint&) = delete;
  ScopedPaint& operator=(const ScopedPaint&) = delete;

  HDC Dc() const { return m_dc; }

 private:
  HWND m_hwnd;
  PAINTSTRUCT m_paint;
  HDC m_dc;
};

}  // namespace cefimpl
