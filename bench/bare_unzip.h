// The floors' extraction: minizip's own loop over its Win32 I/O layer with 16 KB blocks, nothing
// else (no name checks, no journal). Members land below `root` (ending in a backslash); `files`
// gets the relative names written and `folders` the folders made, parents first.
#pragma once

#include <windows.h>

// iowin32.h needs the declarations of unzip.h first.
#include <minizip/unzip.h>

#include <minizip/iowin32.h>

#include <set>
#include <string>
#include <vector>

namespace zarvik_bench {

inline bool BareUnzip(const std::wstring& package, const std::wstring& root, bool flushEachFile,
                      std::vector<std::wstring>* files, std::vector<std::wstring>* folders) {
  zlib_filefunc64_def functions;
  fill_win32_filefunc64W(&functions);
  unzFile archive = unzOpen2_64(package.c_str(), &functions);
  if (!archive)
    return false;
  std::set<std::wstring> made;
  std::vector<char> block(16384);
  bool ok = true;
  for (int error = unzGoToFirstFile(archive); ok && error == UNZ_OK;
       error = unzGoToNextFile(archive)) {
    char name[1024];
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(archive, &info, name, sizeof(name), nullptr, 0, nullptr, 0) !=
        UNZ_OK) {
      ok = false;
      break;
    }
    std::wstring relative;
    for (const char* c = name; *c; ++c) {
      if (*c == '/') {
        if (made.insert(relative).second) {
          CreateDirectoryW((root + relative).c_str(), nullptr);
          if (folders)
            folders->push_back(relative);
        }
        relative += L'\\';
      } else {
        relative += static_cast<wchar_t>(*c);
      }
    }
    if (relative.empty() || relative.back() == L'\\')
      continue;
    HANDLE out = CreateFileW((root + relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE || unzOpenCurrentFile(archive) != UNZ_OK) {
      if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
      ok = false;
      break;
    }
    for (;;) {
      int read = unzReadCurrentFile(archive, block.data(), static_cast<unsigned>(block.size()));
      DWORD written = 0;
      if (read < 0 || (read > 0 && !WriteFile(out, block.data(), static_cast<DWORD>(read),
                                              &written, nullptr)))
        ok = false;
      if (read <= 0)
        break;
    }
    ok = unzCloseCurrentFile(archive) == UNZ_OK && ok;
    if (flushEachFile)
      FlushFileBuffers(out);
    CloseHandle(out);
    if (files)
      files->push_back(relative);
  }
  unzClose(archive);
  return ok;
}

}  // namespace zarvik_bench
