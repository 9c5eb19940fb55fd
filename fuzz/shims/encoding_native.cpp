// The UTF-8 conversions of common/encoding.h for native fuzz builds, where wchar_t is 32 bits:
// every wchar_t is taken as one UTF-16 code unit, as on Windows; a lone surrogate becomes
// U+FFFD as WideCharToMultiByte makes it, and so does every ill-formed UTF-8 sequence as
// MultiByteToWideChar makes it. The code-page conversions are not provided.
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

std::wstring Utf8ToWide(const std::string& text) {
  std::wstring out;
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80                   ? 1
                    : lead >= 0xC2 && lead < 0xE0 ? 2
                    : lead >= 0xE0 && lead < 0xF0 ? 3
                    : lead >= 0xF0 && lead < 0xF5 ? 4
                                                  : 0;
    unsigned long c = length == 1   ? lead
                      : length == 2 ? lead & 0x1F
                      : length == 3 ? lead & 0x0F
                                    : lead & 0x07;
    size_t taken = 1;
    bool good = length > 0;
    for (; good && taken < length; ++taken) {
      if (i + taken >= text.size() ||
          (static_cast<unsigned char>(text[i + taken]) & 0xC0) != 0x80) {
        good = false;
        break;
      }
      c = (c << 6) | (static_cast<unsigned char>(text[i + taken]) & 0x3F);
    }
    // Over-long forms, surrogates and values past U+10FFFF are ill-formed too.
    if (good && ((length == 3 && (c < 0x800 || (c >= 0xD800 && c < 0xE000))) ||
                 (length == 4 && (c < 0x10000 || c > 0x10FFFF))))
      good = false;
    if (!good) {
      out.push_back(static_cast<wchar_t>(0xFFFD));
      i += taken > 1 ? taken : 1;
      continue;
    }
    if (c >= 0x10000) {
      out.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(c));
    }
    i += length;
  }
  return out;
}

}  // namespace zarvik
