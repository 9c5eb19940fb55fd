#include "diagnostics/system_profile.h"

#include <cstdlib>
#include <cwchar>
#include <vector>

#include "diagnostics/wmi_query.h"

bool QuerySystemOsVersion(OsVersion* version) {
  OSVERSIONINFOW info = {sizeof(info)};
  if (!GetVersionExW(&info))
    return false;
  version->platformId = info.dwPlatformId;
  version->major = info.dwMajorVersion;
  version->minor = info.dwMinorVersion;
  return true;
}

std::wstring OsNameForVersion(const OsVersion& v) {
  if (v.platformId == VER_PLATFORM_WIN32_NT) {
    if (v.major == 4)
      return L"Windows NT";
    if (v.major == 5 && v.minor == 0)
      return L"Windows 2000";
    if (v.major == 5 && v.minor == 1)
      return L"Windows XP";
    if (v.major == 5 && v.minor == 2)
      return L"Windows 2003";
    if (v.major == 6 && v.minor == 0)
      return L"Vista";
    if (v.major == 6 && v.minor == 1)
      return L"Win7";
    if (v.major == 6 && v.minor == 2)
      return L"Win8";
    return L"Windows NT 3.0";
  }
  if (v.platformId == VER_PLATFORM_WIN32_WINDOWS && v.major > 3) {
    if (v.major == 4 && v.minor == 10)
      return L"Windows 98";
    if (v.major == 4 && v.minor == 90)
      return L"Windows ME";
    return L"Windows 95";
  }
  // The 9x family up to version 3, and Win32s on Windows 3.x.
  return L"Windows 32";
}

std::wstring GetOsName(OsVersionQuery query) {
  OsVersion version;
  if (!query || !query(&version))
    return std::wstring();
  return OsNameForVersion(version);
}

// Each device class is asked once for all of its values: every WMI query costs a few hundred
// milliseconds under some systems.
std::wstring GetSoundCardText() {
  CWmiQuery wmi;
  std::wstring caption, status;
  wmi.QueryFirst(L"Win32_SoundDevice", {{L"Caption", &caption}, {L"Status", &status}});
  return L"声卡名称 " + caption + L" 状态 " + status;
}

std::wstring GetVideoCardText() {
  CWmiQuery wmi;
  std::wstring caption, processor, ram;
  wmi.QueryFirst(L"Win32_VideoController",
                 {{L"Caption", &caption}, {L"VideoProcessor", &processor}, {L"AdapterRAM", &ram}});
  std::wstring text = L"显卡名称 " + caption + L" 芯片类型 " + processor;
  text += zarvik::FormatVideoMemory(ram);
  std::wstring directx =
      zarvik::ReadMachineRegistryText(L"SOFTWARE\\Microsoft\\DirectX", L"Version", 8192);
  text += L" DirectX版本 " + directx;
  return text;
}

std::wstring GetProcessorName() {
  return zarvik::ReadMachineRegistryText(L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                                         L"ProcessorNameString", 2048);
}

std::wstring GetMemoryText() {
  MEMORYSTATUSEX status = {sizeof(status)};
  if (!GlobalMemoryStatusEx(&status))
    status.ullTotalPhys = 0;
  return zarvik::FormatMemoryText(status.ullTotalPhys);
}

namespace zarvik {

std::wstring FormatMemoryText(uint64_t totalPhysicalBytes) {
  wchar_t text[32];
  swprintf(text, 32, L"%dM", static_cast<int>(totalPhysicalBytes >> 20));
  return text;
}

std::wstring FormatVideoMemory(const std::wstring& adapterRam) {
  // Unsigned WMI sizes arrive as signed 32-bit numbers: 4 GiB and more read as negative.
  long ram = _wtol(adapterRam.c_str());
  wchar_t text[64];
  swprintf(text, 64, L" 显卡内存 %dMB", static_cast<int>(ram / 1048576));
  return text;
}

std::wstring ReadMachineRegistryText(const wchar_t* key, const wchar_t* value, DWORD maxBytes) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
    return std::wstring();
  std::vector<wchar_t> buffer(maxBytes / sizeof(wchar_t) + 1, L'\0');
  DWORD size = maxBytes;
  DWORD type = 0;
  LONG result = RegQueryValueExW(handle, value, nullptr, &type,
                                 reinterpret_cast<BYTE*>(buffer.data()), &size);
  RegCloseKey(handle);
  if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::wstring();
  // The stored text need not end with a terminator; the buffer has one more character.
  return std::wstring(buffer.data(), wcsnlen(buffer.data(), size / sizeof(wchar_t)));
}

}  // namespace zarvik
