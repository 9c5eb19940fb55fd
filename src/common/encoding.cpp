#include "common/encoding.h"

#include <windows.h>

namespace zarvik {
namespace {

std::string FromWide(UINT codePage, const std::wstring& text) {
  if (text.empty())
    return std::string();
  int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  if (size <= 0)
    return std::string();
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                      nullptr, nullptr);
  return out;
}

std::wstring ToWide(UINT codePage, const std::string& text) {
  if (text.empty())
    return std::wstring();
  int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0)
    return std::wstring();
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
  return out;
}

}  // namespace

std::string WideToAnsi(const std::wstring& text) {
  return FromWide(CP_ACP, text);
}
std::wstring AnsiToWide(const std::string& text) {
  return ToWide(CP_ACP, text);
}
std::string WideToUtf8(const std::wstring& text) {
  return FromWide(CP_UTF8, text);
}
std::wstring Utf8ToWide(const std::string& text) {
  return ToWide(CP_UTF8, text);
}
std::string WideToOem(const std::wstring& text) {
  return FromWide(CP_OEMCP, text);
}

std::wstring WidenBytes(const std::string& text) {
  std::wstring out;
  out.reserve(text.size());
  for (unsigned char c : text)
    out.push_back(static_cast<wchar_t>(c));
  return out;
}

}  // namespace zarvik
