// A fresh directory under the system's temporary folder, removed with its contents at the end.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace zarvik_test {

class TempDir {
 public:
  TempDir() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    m_path = std::wstring(base) + L"zarvik-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++counter) + L"\\";
    CreateDirectoryW(m_path.c_str(), nullptr);
  }
  ~TempDir() {
    std::wstring from = m_path;
    from.pop_back();
    from.push_back(L'\0');  // SHFileOperation wants a double terminator
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // With a trailing backslash.
  const std::wstring& path() const { return m_path; }
  std::wstring File(const std::wstring& name) const { return m_path + name; }

 private:
  std::wstring m_path;
};

// Whole file as bytes, empty if it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

}  // namespace zarvik_test
