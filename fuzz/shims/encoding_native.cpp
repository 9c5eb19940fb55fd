// The UTF-8 conversions of common/encoding.h for native fuzz builds, where wchar_t is 32 bits:
// every wchar_t is taken as one UTF-16 code unit, as on Windows; a lone surrogate becomes
// U+FFFD as WideCharToMultiByte makes it. The code-page conversions are not provided.
#include <string>

#include "common/encoding.h"

namespace zarvik {

namespace {
void PutUtf8(std::string& out, unsigned long c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}
}  // namespace

std::string WideToUtf8(const std::wstring& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned long c = static_cast<unsigned long>(text[i]) & 0xFFFF;
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
      unsigned long low = static_cast<unsigned long>(text[i + 1]) & 0xFFFF;
      if (low >= 0xDC00 && low < 0xE000) {
        PutUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    if (c >= 0xD800 && c < 0xE000)
      c = 0xFFFD;
    PutUtf8(out, c);
  }
  return out;
}

}  // namespace zarvik
