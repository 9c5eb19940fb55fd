// The machine profile sent with crash reports: Windows name, devices, processor, memory.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// What the Windows name is made of, as the system's version query reports it.
struct OsVersion {
  DWORD platformId = 0;  // VER_PLATFORM_WIN32s, VER_PLATFORM_WIN32_WINDOWS or VER_PLATFORM_WIN32_NT
  DWORD major = 0;
  DWORD minor = 0;
};
using OsVersionQuery = bool (*)(OsVersion* version);

// The system's own answer (GetVersionExW).
bool QuerySystemOsVersion(OsVersion* version);

// "Win7", "Windows XP", ... for a version; "Windows NT 3.0" for any NT version the table does
// not name.
std::wstring OsNameForVersion(const OsVersion& version);
// The Windows name of this machine; empty when the version query fails.
std::wstring GetOsName(OsVersionQuery query = QuerySystemOsVersion);

// "声卡名称 <caption> 状态 <status>" of the first sound device WMI lists.
std::wstring GetSoundCardText();
// "显卡名称 <caption> 芯片类型 <processor> 显卡内存 <n>MB DirectX版本 <version>".
std::wstring GetVideoCardText();
// The registry's "ProcessorNameString" of the first processor, empty when absent.
std::wstring GetProcessorName();
// Total physical memory in MiB as "%dM".
std::wstring GetMemoryText();

namespace zarvik {
std::wstring FormatMemoryText(uint64_t totalPhysicalBytes);
// " 显卡内存 %dMB" of the AdapterRAM text, read as _wtol does.
std::wstring FormatVideoMemory(const std::wstring& adapterRam);
// A REG_SZ value under HKEY_LOCAL_MACHINE, read into at most maxBytes; empty when absent.
std::wstring ReadMachineRegistryText(const wchar_t* key, const wchar_t* value, DWORD maxBytes);
}  // namespace zarvik
