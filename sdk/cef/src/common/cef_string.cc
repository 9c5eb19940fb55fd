#include "include/internal/cef_string.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "src/common/text.h"

namespace {
void FreeString(char16* str) {
  std::free(str);
}
}  // namespace

int cef_string_utf16_set(const char16* src, size_t src_len, cef_string_utf16_t* output, int copy) {
  if (!output)
    return 0;
  cef_string_utf16_clear(output);
  if (!src || src_len == 0)
    return 1;
  if (copy) {
    char16* buffer = static_cast<char16*>(std::malloc((src_len + 1) * sizeof(char16)));
    if (!buffer)
      return 0;
    std::memcpy(buffer, src, src_len * sizeof(char16));
    buffer[src_len] = 0;
    output->str = buffer;
    output->dtor = FreeString;
  } else {
    output->str = const_cast<char16*>(src);
    output->dtor = nullptr;
  }
  output->length = src_len;
  return 1;
}

void cef_string_utf16_clear(cef_string_utf16_t* str) {
  if (!str)
    return;
  if (str->dtor && str->str)
    str->dtor(str->str);
  str->str = nullptr;
  str->length = 0;
  str->dtor = nullptr;
}

int cef_string_utf16_cmp(const cef_string_utf16_t* a, const cef_string_utf16_t* b) {
  size_t la = a ? a->length : 0, lb = b ? b->length : 0;
  for (size_t i = 0; i < la && i < lb; ++i) {
    if (a->str[i] != b->str[i])
      return a->str[i] < b->str[i] ? -1 : 1;
  }
  return la == lb ? 0 : (la < lb ? -1 : 1);
}

int cef_string_wide_to_utf16(const wchar_t* src, size_t src_len, cef_string_utf16_t* output) {
  return cef_string_utf16_set(src, src_len, output, 1);
}

int cef_string_utf8_to_utf16(const char* src, size_t src_len, cef_string_utf16_t* output) {
  std::wstring wide = cefimpl::Utf8ToWide(std::string(src ? src : "", src ? src_len : 0));
  return cef_string_utf16_set(wide.c_str(), wide.size(), output, 1);
}

int cef_string_ascii_to_utf16(const char* src, size_t src_len, cef_string_utf16_t* output) {
  return cef_string_utf8_to_utf16(src, src_len, output);
}

std::string CefString::ToString() const {
  return cefimpl::WideToUtf8(ToWString());
}

bool CefString::FromString(const std::string& utf8) {
  Assign(cefimpl::Utf8ToWide(utf8));
  return true;
}

void CefString::Assign(const std::wstring& text) {
  if (attached_)
    cef_string_utf16_set(text.c_str(), text.size(), attached_, 1);
  else
    own_ = text;
}
