#include "app/startup.h"

#include "common/encoding.h"
#include "common/scoped_handle.h"

std::string PrepareLogFile(const std::wstring& exeDirectory) {
  std::wstring path = exeDirectory + L"zarvik.log";
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (size >= kLogSizeLimit)
      DeleteFileW(path.c_str());
  }
  return zarvik::WideToAnsi(path);
}

void SetPlaceholderCommandInterpreter(const std::wstring& exeDirectory) {
  std::wstring path = exeDirectory + L"Flash.exe";
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    // A failure to create it is ignored: ComSpec is set to the path in any case.
    zarvik::ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                              nullptr));
  }
  SetEnvironmentVariableW(L"ComSpec", path.c_str());
}

void TerminateSelf() {
  HANDLE self = OpenProcess(PROCESS_ALL_ACCESS, FALSE, GetCurrentProcessId());
  TerminateProcess(self ? self : GetCurrentProcess(), 0);
  ExitProcess(0);  // not reached: termination does not return
}
