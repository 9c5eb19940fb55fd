// Zip member names: CleanZipMemberName and ZipNameLeavesRoot on arbitrary UTF-16 names, and the
// same bytes as a member's extra field for ParseZipUnixTimes (an over-read is an ASan error).
// Oracle: cleaning is stable (a cleaned name cleans to itself) and a name the rules accept has
// no ".." component left, no drive and no leading separator.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "updater/zip_names.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zarvik::ZipUnixTimes times;
  zarvik::ParseZipUnixTimes(data, size, &times);
  std::wstring name;
  for (size_t i = 0; i + 1 < size; i += 2)
    name.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
  std::wstring clean = zarvik::CleanZipMemberName(name);
  if (zarvik::CleanZipMemberName(clean) != clean)
    abort();
  if (zarvik::ZipNameLeavesRoot(clean))
    return 0;  // refused by the reader
  if (!clean.empty() && (clean[0] == L'\\' || clean[0] == L'/'))
    abort();
  if (clean.size() >= 2 && clean[1] == L':')
    abort();
  // No component made of dots only may remain.
  size_t start = 0;
  while (start <= clean.size()) {
    size_t end = clean.find_first_of(L"\\/", start);
    if (end == std::wstring::npos)
      end = clean.size();
    std::wstring part = clean.substr(start, end - start);
    if (part == L"..")
      abort();
    start = end + 1;
  }
  return 0;
}
