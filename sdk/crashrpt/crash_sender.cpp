// CrashSender1402.exe: started by CrashRpt1402.dll when the reporter is installed, it waits beside
// the process. On a crash it writes the report folder (minidump, screenshots, "crashrpt.xml"),
// lets the crashed process end, restarts it when asked and uploads the report over HTTP.
//
//   CrashSender1402.exe --watch PID MAPPING CRASH_EVENT DONE_EVENT QUIT_EVENT
// (handle values inside process PID; the sender duplicates them itself)
#include <windows.h>

#include <dbghelp.h>
#include <objbase.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <curl/curl.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "CrashRpt.h"
#include "report_config.h"
#include "screenshot.h"

namespace {

using crashrpt::ReportConfig;

class SenderLog {
 public:
  void Open(const std::wstring& path) { m_file = _wfopen(path.c_str(), L"ab"); }
  ~SenderLog() {
    if (m_file)
      std::fclose(m_file);
  }
  void Line(const std::string& text) {
    if (!m_file)
      return;
    std::fprintf(m_file, "%s\r\n", text.c_str());
    std::fflush(m_file);
  }

 private:
  FILE* m_file = nullptr;
};

SenderLog g_log;

HANDLE TakeHandle(HANDLE process, const wchar_t* value) {
  HANDLE theirs =
      reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::wcstoull(value, nullptr, 10)));
  HANDLE mine = nullptr;
  if (!DuplicateHandle(process, theirs, GetCurrentProcess(), &mine, 0, FALSE,
                       DUPLICATE_SAME_ACCESS))
    return nullptr;
  return mine;
}

std::wstring NewGuidText() {
  GUID guid = {};
  CoCreateGuid(&guid);
  wchar_t text[64] = {};
  StringFromGUID2(guid, text, 64);
  std::wstring out = text;
  if (out.size() > 2 && out.front() == L'{')
    out = out.substr(1, out.size() - 2);
  return out;
}

std::wstring UtcNow() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  wchar_t text[64];
  swprintf(text, 64, L"%04d-%02d-%02dT%02d:%02d:%02dZ", now.wYear, now.wMonth, now.wDay, now.wHour,
           now.wMinute, now.wSecond);
  return text;
}

std::wstring RegistryText(const wchar_t* key, const wchar_t* name) {
  wchar_t value[512] = {};
  DWORD size = sizeof(value) - sizeof(wchar_t);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS)
    return std::wstring();
  return value;
}

void DescribeSystem(crashrpt::CrashFacts* facts) {
  const wchar_t* key = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  facts->osName = RegistryText(key, L"ProductName");
  OSVERSIONINFOEXW version = {sizeof(version)};
  if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) {
    wchar_t text[128];
    swprintf(text, 128, L"%lu.%lu.%lu", version.dwMajorVersion, version.dwMinorVersion,
             version.dwBuildNumber);
    facts->osVersion = text;
    if (version.szCSDVersion[0])
      facts->osVersion += std::wstring(L" ") + version.szCSDVersion;
  }
}

std::wstring ModuleAt(DWORD pid, uint64_t address) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
  if (snapshot == INVALID_HANDLE_VALUE)
    return std::wstring();
  std::wstring found;
  MODULEENTRY32W entry = {sizeof(entry)};
  for (BOOL ok = Module32FirstW(snapshot, &entry); ok; ok = Module32NextW(snapshot, &entry)) {
    uint64_t base = reinterpret_cast<uintptr_t>(entry.modBaseAddr);
    if (address >= base && address < base + entry.modBaseSize) {
      found = entry.szModule;
      break;
    }
  }
  CloseHandle(snapshot);
  return found;
}

bool WriteMinidump(HANDLE process,
                   const crashrpt::SharedHeader& header,
                   const ReportConfig& config,
                   const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  MINIDUMP_EXCEPTION_INFORMATION exception = {};
  exception.ThreadId = header.crashTid;
  exception.ExceptionPointers =
      reinterpret_cast<EXCEPTION_POINTERS*>(static_cast<uintptr_t>(header.exceptionPointers));
  exception.ClientPointers = TRUE;  // the pointers live in the crashed process
  BOOL ok =
      MiniDumpWriteDump(process, header.crashPid, file, static_cast<MINIDUMP_TYPE>(config.dumpType),
                        header.exceptionPointers ? &exception : nullptr, nullptr, nullptr);
  CloseHandle(file);
  if (!ok)
    DeleteFileW(path.c_str());
  return ok != FALSE;
}

bool WriteTextFile(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == text.size();
}

bool CreateFolderTree(const std::wstring& path) {
  for (size_t pos = path.find_first_of(L"\\/", 3); pos != std::wstring::npos;
       pos = path.find_first_of(L"\\/", pos + 1))
    CreateDirectoryW(path.substr(0, pos).c_str(), nullptr);
  CreateDirectoryW(path.c_str(), nullptr);
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

uint64_t RunMilliseconds(HANDLE process) {
  FILETIME created, exited, kernel, user, now;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
    return 0;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER a, b;
  a.LowPart = created.dwLowDateTime;
  a.HighPart = created.dwHighDateTime;
  b.LowPart = now.dwLowDateTime;
  b.HighPart = now.dwHighDateTime;
  return b.QuadPart > a.QuadPart ? (b.QuadPart - a.QuadPart) / 10000 : 0;
}

void Restart(const ReportConfig& config, int restartCount) {
  SetEnvironmentVariableW(crashrpt::kRestartCountVariable, std::to_wstring(restartCount).c_str());
  std::wstring commandLine = config.commandLine;
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION process = {};
  if (CreateProcessW(config.exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                     config.currentDir.empty() ? nullptr : config.currentDir.c_str(), &startup,
                     &process)) {
    g_log.Line("restarted as process " + std::to_string(process.dwProcessId));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  } else {
    g_log.Line("restart failed, error " + std::to_string(GetLastError()));
  }
}

size_t DiscardBody(char*, size_t size, size_t count, void*) {
  return size * count;
}

bool Upload(const ReportConfig& config,
            const crashrpt::CrashFacts& facts,
            const std::wstring& folder) {
  CURL* curl = curl_easy_init();
  if (!curl)
    return false;
  std::string url = crashrpt::UrlForTransport(config.url);
  curl_mime* mime = curl_mime_init(curl);
  auto field = [&](const char* name, const std::wstring& value) {
    curl_mimepart* part = curl_mime_addpart(mime);
    curl_mime_name(part, name);
    std::string data = crashrpt::ToUtf8(value);
    curl_mime_data(part, data.c_str(), data.size());
  };
  field("appname", config.appName);
  field("appversion", config.appVersion);
  field("crashguid", facts.crashGuid);
  for (const auto& file : facts.files) {
    curl_mimepart* part = curl_mime_addpart(mime);
    std::string name = crashrpt::ToUtf8(file.first);
    curl_mime_name(part, name.c_str());
    curl_mime_filename(part, name.c_str());
    // libcurl opens files by their narrow name; the report folder is in the ANSI code page.
    std::wstring path = folder + L"\\" + file.first;
    int size = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
      WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, &narrow[0], size, nullptr, nullptr);
    curl_mime_filedata(part, narrow.c_str());
  }
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_MIMEPOST, mime);
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 10L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 120L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, DiscardBody);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "CrashRpt");
  bool sent = false;
  for (int attempt = 1; attempt <= 3 && !sent; ++attempt) {
    CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    sent = result == CURLE_OK && status == 200;
    g_log.Line("upload attempt " + std::to_string(attempt) + ": " +
               (result == CURLE_OK ? "HTTP " + std::to_string(status)
                                   : std::string(curl_easy_strerror(result))));
    if (!sent && attempt < 3)
      Sleep(2000);
  }
  curl_mime_free(mime);
  curl_easy_cleanup(curl);
  return sent;
}

void HandleCrash(HANDLE process,
                 HANDLE doneEvent,
                 const crashrpt::SharedHeader& header,
                 const ReportConfig& config) {
  crashrpt::CrashFacts facts;
  facts.crashGuid = NewGuidText();
  facts.systemTimeUtc = UtcNow();
  facts.pid = header.crashPid;
  facts.tid = header.crashTid;
  facts.exceptionType = header.exceptionType;
  facts.exceptionCode = header.exceptionCode;
  facts.exceptionAddress = header.exceptionAddress;
  uint64_t runMs = RunMilliseconds(process);

  std::wstring folder = config.saveDir;
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
    folder.pop_back();
  folder += L"\\" + facts.crashGuid;
  bool haveFolder = CreateFolderTree(folder);
  if (haveFolder)
    g_log.Open(folder + L"\\sender.log");
  g_log.Line("crash in process " + std::to_string(header.crashPid) + ", thread " +
             std::to_string(header.crashTid));

  // First what needs the living process: its memory, its modules and its windows.
  if (haveFolder && !(config.flags & CR_INST_NO_MINIDUMP)) {
    if (WriteMinidump(process, header, config, folder + L"\\crashdump.dmp")) {
      facts.files.emplace_back(L"crashdump.dmp", L"Crash Minidump");
      g_log.Line("minidump written");
    } else {
      g_log.Line("minidump failed, error " + std::to_string(GetLastError()));
    }
  }
  facts.exceptionModule = ModuleAt(header.crashPid, header.exceptionAddress);
  if (haveFolder && config.screenshot) {
    std::vector<std::wstring> shots = crashrpt::TakeScreenshots(
        header.crashPid, config.screenshotFlags, config.jpegQuality, folder);
    for (const std::wstring& name : shots)
      facts.files.emplace_back(name, L"Desktop Screenshot");
    g_log.Line("screenshots: " + std::to_string(shots.size()));
  }

  // The crashed process may end now; wait for it so the restarted one does not meet it.
  SetEvent(doneEvent);
  WaitForSingleObject(process, 30000);

  DescribeSystem(&facts);
  facts.files.emplace(facts.files.begin(), L"crashrpt.xml", L"Crash Description XML");
  if (!haveFolder ||
      !WriteTextFile(folder + L"\\crashrpt.xml", crashrpt::BuildReportXml(config, facts)))
    g_log.Line("cannot write the report folder");
  else
    g_log.Line("description written");

  if (crashrpt::ShouldRestart(config, runMs))
    Restart(config, crashrpt::NextRestartCount(config, runMs));
  else if (config.flags & CR_INST_APP_RESTART)
    g_log.Line("no restart: the process crashed soon after " + std::to_string(config.restartCount) +
               " restarts");

  if (!haveFolder || (config.flags & CR_INST_DONT_SEND_REPORT) || config.url.empty() ||
      config.httpPriority == CR_NEGATIVE_PRIORITY)
    return;
  g_log.Line(Upload(config, facts, folder) ? "report sent" : "report not sent; kept on disk");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc != 7 || std::wcscmp(argv[1], L"--watch") != 0)
    return 2;
  DWORD pid = std::wcstoul(argv[2], nullptr, 10);
  HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
  if (!process)
    return 3;
  HANDLE mapping = TakeHandle(process, argv[3]);
  HANDLE crashEvent = TakeHandle(process, argv[4]);
  HANDLE doneEvent = TakeHandle(process, argv[5]);
  HANDLE quitEvent = TakeHandle(process, argv[6]);
  LocalFree(argv);
  auto* header =
      mapping ? static_cast<crashrpt::SharedHeader*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0))
              : nullptr;
  if (!header || header->magic != crashrpt::kSharedMagic || !crashEvent || !doneEvent || !quitEvent)
    return 4;

  HANDLE waits[3] = {crashEvent, quitEvent, process};
  if (WaitForMultipleObjects(3, waits, FALSE, INFINITE) != WAIT_OBJECT_0)
    return 0;  // uninstalled, or the process ended without a crash

  crashrpt::SharedHeader facts = *header;
  ReportConfig config;
  size_t chars = header->configChars < crashrpt::kMaxConfigChars ? header->configChars
                                                                 : crashrpt::kMaxConfigChars;
  bool parsed = ParseConfig(reinterpret_cast<const wchar_t*>(header + 1), chars, &config);
  if (!parsed) {
    SetEvent(doneEvent);
    return 5;
  }
  CoInitialize(nullptr);
  curl_global_init(CURL_GLOBAL_DEFAULT);
  HandleCrash(process, doneEvent, facts, config);
  curl_global_cleanup();
  CoUninitialize();
  return 0;
}
