// Force-included into the native fuzz builds of client sources that use the C runtime's
// Windows-only helpers; nothing else of Windows is provided.
#pragma once

#include <cwchar>

inline int _wtoi(const wchar_t* text) {
  return static_cast<int>(std::wcstol(text, nullptr, 10));
}
