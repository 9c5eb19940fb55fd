// What CrashRpt1402.dll and CrashSender1402.exe share: the settings of an installation, the crash
// facts the crashing thread leaves for the sender, and the report texts the sender writes.
// Pure functions only, so they are tested without a crash.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace crashrpt {

// Settings of one installation, copied from CR_INSTALL_INFOW and the later calls.
struct ReportConfig {
  std::wstring appName;
  std::wstring appVersion;
  std::wstring url;
  std::wstring saveDir;
  std::wstring exePath;      // the crashing executable
  std::wstring commandLine;  // its command line, used for the restart
  std::wstring currentDir;   // its working folder at installation
  DWORD flags = 0;
  DWORD dumpType = 0;
  UINT httpPriority = 0;
  bool screenshot = false;
  DWORD screenshotFlags = 0;
  int jpegQuality = 95;
  int restartCount = 0;  // restarts after quick crashes so far (see kMaxQuickRestarts)
  std::vector<std::pair<std::wstring, std::wstring>> properties;  // in the order added
};

// The shared block: this header, then the settings as text (SerializeConfig).
constexpr DWORD kSharedMagic = 0x42535243;  // "CRSB"
constexpr DWORD kSharedSize = 256 * 1024;

struct SharedHeader {
  DWORD magic;
  DWORD configChars;  // length of the settings text after the header, in wide characters
  // Filled by the crashing thread just before it wakes the sender.
  DWORD crashPid;
  DWORD crashTid;
  DWORD exceptionType;  // CR_SEH_EXCEPTION, CR_CPP_SIGABRT, ...
  DWORD exceptionCode;  // 0 for the runtime's error cases
  uint64_t exceptionAddress;
  uint64_t exceptionPointers;  // EXCEPTION_POINTERS* inside the crashed process
};

constexpr size_t kMaxConfigChars = (kSharedSize - sizeof(SharedHeader)) / sizeof(wchar_t);

// "key\0value\0...\0": no value can hold a NUL, so the pairs need no escaping.
std::wstring SerializeConfig(const ReportConfig& config);
bool ParseConfig(const wchar_t* text, size_t chars, ReportConfig* config);

// A process that ran this long before its crash is restarted in any case; one that crashed
// sooner is restarted at most kMaxQuickRestarts times in a row, so a client that crashes at
// start does not loop for ever.
constexpr uint64_t kQuickCrashMs = 60 * 1000;
constexpr int kMaxQuickRestarts = 3;
bool ShouldRestart(const ReportConfig& config, uint64_t runMs);
// The restart count handed to the restarted process: 0 after a long run, one more otherwise.
int NextRestartCount(const ReportConfig& config, uint64_t runMs);
// The environment variable that carries the restart count to the restarted process.
constexpr wchar_t kRestartCountVariable[] = L"CRASHRPT_RESTART_COUNT";

struct CrashFacts {
  std::wstring crashGuid;
  std::wstring systemTimeUtc;  // "2026-12-10T11:30:00Z"
  DWORD pid = 0;
  DWORD tid = 0;
  DWORD exceptionType = 0;
  DWORD exceptionCode = 0;
  uint64_t exceptionAddress = 0;
  std::wstring exceptionModule;  // module holding the address, empty when none does
  std::wstring osName;           // "Microsoft Windows 7 Professional"
  std::wstring osVersion;        // "6.1.7601 Service Pack 1"
  std::vector<std::pair<std::wstring, std::wstring>> files;  // name, description
};

// The report's description "crashrpt.xml", UTF-8.
std::string BuildReportXml(const ReportConfig& config, const CrashFacts& facts);
std::string XmlEscape(const std::wstring& text);
// "0xC0000005"; addresses with 8 digits in a 32-bit process, 16 above 4 GiB.
std::wstring HexCode(uint64_t value, int digits);

// The upload URL as HTTP sends it: UTF-8 with spaces, controls and bytes above 0x7E
// percent-encoded; everything else, the query's own characters included, is kept.
std::string UrlForTransport(const std::wstring& url);

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

}  // namespace crashrpt
