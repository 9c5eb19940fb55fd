// The file system's view of letter case for the zip rules: names are compared by their
// uppercase forms, one UTF-16 unit at a time, with the system's locale-independent table.
#include <windows.h>

#include "updater/zip_names.h"

namespace zarvik {

void UppercaseLikeTheFileSystem(std::wstring* text) {
  if (text->empty())
    return;
  const int size = static_cast<int>(text->size());
  std::wstring upper(text->size(), L'\0');
  // The invariant locale: no language's special rules (a Turkish dotless i stays what it is).
  if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text->data(), size, &upper[0], size,
                    nullptr, nullptr, 0) == size) {
    text->swap(upper);
    return;
  }
  CharUpperBuffW(&(*text)[0], static_cast<DWORD>(size));
}

}  // namespace zarvik
