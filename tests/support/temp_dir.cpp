#include "support/temp_dir.h"

#include "common/scoped_handle.h"

namespace zarvik_test {

std::string ReadFileBytes(const std::wstring& path) {
  zarvik::ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
  if (!file)
    return std::string();
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
    bytes.append(buffer, read);
  return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  zarvik::ScopedFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file)
    return false;
  DWORD written = 0;
  return WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace zarvik_test
