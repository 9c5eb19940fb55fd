#include "diagnostics/crash_reporter.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <memory>

#include <CrashRpt.h>

#include "common/file_version.h"
#include "diagnostics/log.h"
#include "diagnostics/system_profile.h"
#include "diagnostics/trace.h"

namespace {

// All exception and signal handlers, restart after a crash, the user may attach files.
constexpr DWORD kReporterFlags =
    CR_INST_ALL_POSSIBLE_HANDLERS | CR_INST_APP_RESTART | CR_INST_ALLOW_ATTACH_MORE_FILES;
// Screenshots of the process's visible windows, JPEG, deletable by the user.
constexpr DWORD kScreenshotFlags =
    CR_AS_PROCESS_WINDOWS | CR_AS_USE_JPEG_FORMAT | CR_AS_ALLOW_DELETE;
constexpr int kScreenshotQuality = 10;
// The installation record as this build of the reporter knows it: 100 bytes in the 32-bit client
// (the reporter refuses any other size there), the natural layout in a 64-bit build.
constexpr WORD kInstallRecordSize = sizeof(CR_INSTALL_INFOW);
static_assert(kInstallRecordSize == 100 || sizeof(void*) != 4,
              "installation record of CrashRpt 1.4.2");

// The machine profile is read on a thread of its own: its WMI queries take seconds on some
// machines, and nothing on the way to the window needs them. The start-up thread adds what was
// read to the reporter, in the properties' order, when it waits for it (WaitForCrashProfile).
struct ProfileRead {
  std::wstring version;
  std::vector<std::pair<std::wstring, std::wstring>> properties;
};
HANDLE g_profileThread = nullptr;
ProfileRead* g_profile = nullptr;  // the thread's result once the thread has ended
bool g_reporterInstalled = false;

// How long the wait for the profile lasts before the client goes on without it.
constexpr DWORD kProfileWaitMs = 30000;

DWORD WINAPI ReadProfile(void* parameter) {
  auto* read = static_cast<ProfileRead*>(parameter);
  // WMI needs COM on the thread; without it the profile texts keep their labels only.
  const bool com = SUCCEEDED(CoInitialize(nullptr));
  {
    zarvik::trace::Span span("system profile");
    read->properties = zarvik::CollectCrashProperties(read->version);
  }
  if (com)
    CoUninitialize();
  return 0;
}

bool DirectoryExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

namespace zarvik {

std::wstring BuildCrashUrl(const std::wstring& webBaseUrl,
                           const std::wstring& version,
                           const std::wstring& osName) {
  return webBaseUrl + L"c/crashServlet?&ip=&version=" + version +
         L"&detail=&title=&callStack=&osVersion=" + osName + L"&browserVersion=&terminal=1";
}

std::wstring MakeCrashReportDir(const std::wstring& base) {
  std::wstring path = base;
  for (const wchar_t* level : {L"hollmere", L"Client", L"Lm", L"CrashRpt"}) {
    if (!path.empty() && path.back() != L'\\')
      path += L'\\';
    path += level;
    if (!DirectoryExists(path))
      SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
  }
  return path;
}

std::vector<std::pair<std::wstring, std::wstring>> CollectCrashProperties(
    const std::wstring& version) {
  std::vector<std::pair<std::wstring, std::wstring>> properties;
  properties.emplace_back(L"SoundCard", GetSoundCardText());
  properties.emplace_back(L"VideoCard", GetVideoCardText());
  properties.emplace_back(L"CPU", GetProcessorName());
  properties.emplace_back(L"Memory", GetMemoryText());
  properties.emplace_back(L"ClientVersion", version);
  return properties;
}

}  // namespace zarvik

std::wstring GetCrashReportDir() {
  wchar_t base[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base)))
    base[0] = L'\0';
  return zarvik::MakeCrashReportDir(base);
}

bool InstallCrashReporter(const std::wstring& webBaseUrl) {
  std::wstring version = GetFileVersionText();
  std::wstring osName = GetOsName();
  std::wstring url = zarvik::BuildCrashUrl(webBaseUrl, version, osName);
  std::wstring crashDir = GetCrashReportDir();

  CR_INSTALL_INFOW info;
  ZeroMemory(&info, sizeof(info));
  info.cb = kInstallRecordSize;
  info.pszAppName = L"Zarvik";
  info.pszAppVersion = version.c_str();
  info.pszUrl = url.c_str();
  info.uPriorities[CR_HTTP] = 3;
  info.uPriorities[CR_SMTP] = 0;
  info.uPriorities[CR_SMAPI] = 0;
  info.dwFlags = kReporterFlags;
  info.uMiniDumpType = MiniDumpNormal;
  info.pszErrorReportSaveDir = crashDir.c_str();
  int result = crInstallW(&info);
  if (result != 0) {
    LogLine(ERROR, "install crash reporter failed, code : ", result);
    return false;
  }

  crAddScreenshot2(kScreenshotFlags, kScreenshotQuality);
  g_reporterInstalled = true;
  StartCrashProfile();  // unless start-up started it already
  return true;
}

void StartCrashProfile() {
  if (g_profileThread || g_profile)
    return;
  auto* read = new ProfileRead;
  read->version = GetFileVersionText();
  g_profileThread = CreateThread(nullptr, 0, ReadProfile, read, 0, nullptr);
  if (!g_profileThread) {
    // No thread: the profile is read when it is waited for, as it always could be.
    LogLine(ERROR, "cannot start the machine profile thread, error : ", GetLastError());
    delete read;
    return;
  }
  g_profile = read;
}

void WaitForCrashProfile() {
  if (!g_profileThread && !g_profile && g_reporterInstalled) {
    StartCrashProfile();  // a failed start: read it here after all
    if (!g_profileThread) {
      ProfileRead read;
      read.version = GetFileVersionText();
      read.properties = zarvik::CollectCrashProperties(read.version);
      for (const auto& property : read.properties)
        crAddPropertyW(property.first.c_str(), property.second.c_str());
      return;
    }
  }
  if (!g_profileThread)
    return;
  const bool ended = WaitForSingleObject(g_profileThread, kProfileWaitMs) == WAIT_OBJECT_0;
  CloseHandle(g_profileThread);
  g_profileThread = nullptr;
  if (!ended) {
    // The thread still writes into its record: the record is left to it.
    LogLine(ERROR, "the machine profile was not read in time; crash reports go without it.");
    g_profile = nullptr;
    return;
  }
  std::unique_ptr<ProfileRead> read(g_profile);
  g_profile = nullptr;
  if (!g_reporterInstalled)
    return;
  for (const auto& property : read->properties)
    crAddPropertyW(property.first.c_str(), property.second.c_str());
}

void UninstallCrashReporter() {
  WaitForCrashProfile();
  g_reporterInstalled = false;
  crUninstall();
}
