// Owners for every kind of handle the client holds: one owner per handle, copying disabled,
// moving allowed. Kernel objects use null as their invalid value, files and find handles
// INVALID_HANDLE_VALUE; both count as "nothing to close".
#pragma once

#include <windows.h>

#include <curl/curl.h>
#include <minizip/unzip.h>

#include <cstdio>
#include <utility>

namespace zarvik {

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

struct Kernel {
  static void Close(HANDLE handle) { ::CloseHandle(handle); }
};

// Kernel objects come back as null on failure, but a handle some API reports as
// INVALID_HANDLE_VALUE is never closed either.
struct KernelObject {
  using Type = HANDLE;
  static HANDLE Invalid() { return nullptr; }
  static bool IsValid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE handle) { ::CloseHandle(handle); }
};

// A file handle starts as INVALID_HANDLE_VALUE, yet null never names an open file either.
template <typename Closer>
struct InvalidValueIsInvalid {
  using Type = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(HANDLE handle) { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
  static void Close(HANDLE handle) { Closer::Close(handle); }
};

struct Find {
  static void Close(HANDLE handle) { ::FindClose(handle); }
};

struct GdiObject {
  static void Close(HGDIOBJ object) { ::DeleteObject(object); }
};

struct MemoryDc {
  static void Close(HDC dc) { ::DeleteDC(dc); }
};

struct View {
  static void Close(void* view) { ::UnmapViewOfFile(view); }
};

struct Window {
  static void Close(HWND window) { ::DestroyWindow(window); }
};

struct Curl {
  static void Close(CURL* curl) { curl_easy_cleanup(curl); }
};

struct CurlList {
  static void Close(curl_slist* list) { curl_slist_free_all(list); }
};

struct Zip {
  static void Close(unzFile archive) { unzClose(archive); }
};

struct StdioFile {
  static void Close(FILE* file) { fclose(file); }
};

}  // namespace handle_traits

using ScopedHandle = UniqueHandle<handle_traits::KernelObject>;
using ScopedFileHandle = UniqueHandle<handle_traits::InvalidValueIsInvalid<handle_traits::Kernel>>;
using ScopedFindHandle = UniqueHandle<handle_traits::InvalidValueIsInvalid<handle_traits::Find>>;
// A GDI object we created (bitmap, region, font, brush); never one that is selected into a DC:
// ScopedSelectObject puts the old one back first.
template <typename T>
using ScopedGdiObject = UniqueHandle<handle_traits::NullIsInvalid<T, handle_traits::GdiObject>>;
using ScopedBitmap = ScopedGdiObject<HBITMAP>;
using ScopedRegion = ScopedGdiObject<HRGN>;
// A DC from CreateCompatibleDC or CreateDC (DeleteDC), not one from GetDC (see ScopedWindowDc).
using ScopedMemoryDc = UniqueHandle<handle_traits::NullIsInvalid<HDC, handle_traits::MemoryDc>>;
using ScopedMappedView = UniqueHandle<handle_traits::NullIsInvalid<void*, handle_traits::View>>;
// A window we created and nobody else destroys (most windows are destroyed by their own close path).
using ScopedWindow = UniqueHandle<handle_traits::NullIsInvalid<HWND, handle_traits::Window>>;
using ScopedCurl = UniqueHandle<handle_traits::NullIsInvalid<CURL*, handle_traits::Curl>>;
using ScopedCurlList = UniqueHandle<handle_traits::NullIsInvalid<curl_slist*, handle_traits::CurlList>>;
using ScopedZipFile = UniqueHandle<handle_traits::NullIsInvalid<unzFile, handle_traits::Zip>>;
// A C runtime stream from fopen; closing it writes out what is still buffered.
using ScopedStdioFile = UniqueHandle<handle_traits::NullIsInvalid<FILE*, handle_traits::StdioFile>>;

// A DC borrowed with GetDC, given back with ReleaseDC to the same window.
class ScopedWindowDc {
 public:
  explicit ScopedWindowDc(HWND window) : m_window(window), m_dc(::GetDC(window)) {}
  ~ScopedWindowDc() {
    if (m_dc)
      ::ReleaseDC(m_window, m_dc);
  }
  ScopedWindowDc(const ScopedWindowDc&) = delete;
  ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;

  HDC Get() const { return m_dc; }
  explicit operator bool() const { return m_dc != nullptr; }

 private:
  HWND m_window;
  HDC m_dc;
};

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

}  // namespace zarvik
