// The file system's uppercase table for native fuzz builds: the C library's Unicode simple
// uppercase mapping, one UTF-16 unit at a time (surrogates stay as they are), as the system's
// table works. The target sets a UTF-8 locale for it before the first input.
#include <cwctype>
#include <string>

#include "updater/zip_names.h"

namespace zarvik {

void UppercaseLikeTheFileSystem(std::wstring* text) {
  for (wchar_t& c : *text) {
    const unsigned long unit = static_cast<unsigned long>(c) & 0xFFFF;
    if (unit >= 0xD800 && unit < 0xE000)
      continue;
    const unsigned long upper =
        static_cast<unsigned long>(std::towupper(static_cast<wint_t>(unit)));
    if (upper < 0x10000)  // a mapping out of the basic plane cannot be one unit
      c = static_cast<wchar_t>(upper);
  }
}

}  // namespace zarvik
