// CrashRpt1402.dll: installs the process's crash handlers and keeps CrashSender1402.exe waiting
// beside the process. On a crash the crashing thread only records where it crashed in the shared
// block, wakes the sender and waits; the sender writes the minidump and the report, takes the
// screenshots, ends the crashed process, restarts it when asked and uploads the report.
#include "CrashRpt.h"

#ifdef _MSC_VER
#include <intrin.h>
#define CRASHRPT_RETURN_ADDRESS() _ReturnAddress()
#else
#define CRASHRPT_RETURN_ADDRESS() __builtin_return_address(0)
#endif

#include <csignal>
#include <cstring>
#include <mutex>
#include <string>

#include "report_config.h"

namespace {

struct Installation {
  crashrpt::ReportConfig config;
  HANDLE mapping = nullptr;
  crashrpt::SharedHeader* header = nullptr;
  HANDLE crashEvent = nullptr;  // set by the crashing thread
  HANDLE doneEvent = nullptr;   // set by the sender once it no longer needs the process
  HANDLE quitEvent = nullptr;   // set by crUninstall
  HANDLE sender = nullptr;      // the sender's process
  LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
  bool signalSet[6] = {};
  void(__cdecl* previousSignals[6])(int) = {};
  void* previousInvalidParameter = nullptr;  // handlers of the C runtime DLL before ours
  void* previousPureCall = nullptr;
  bool runtimeHandlersSet = false;
};

// Every exported call is serialised; the crash path takes no lock.
std::mutex g_lock;
Installation* volatile g_installation = nullptr;
volatile LONG g_crashing = 0;
volatile DWORD g_reportingThread = 0;
HMODULE g_module = nullptr;

const int kSignals[6] = {SIGABRT, SIGFPE, SIGILL, SIGINT, SIGSEGV, SIGTERM};
const DWORD kSignalFlags[6] = {CR_INST_SIGABRT_HANDLER, CR_INST_SIGFPE_HANDLER,
                               CR_INST_SIGILL_HANDLER,  CR_INST_SIGINT_HANDLER,
                               CR_INST_SIGSEGV_HANDLER, CR_INST_SIGTERM_HANDLER};
const DWORD kSignalTypes[6] = {CR_CPP_SIGABRT, CR_CPP_SIGFPE,  CR_CPP_SIGILL,
                               CR_CPP_SIGINT,  CR_CPP_SIGSEGV, CR_CPP_SIGTERM};

// The crash path: as little as possible, no allocation, no lock.
[[noreturn]] void ReportCrash(DWORD type, EXCEPTION_POINTERS* pointers) {
  Installation* inst = g_installation;
  if (InterlockedExchange(&g_crashing, 1) != 0) {
    // A fault while reporting ends the process at once; any other thread waits for the
    // reporting thread to end it.
    if (g_reportingThread == GetCurrentThreadId())
      TerminateProcess(GetCurrentProcess(), 3);
    for (;;)
      Sleep(INFINITE);
  }
  g_reportingThread = GetCurrentThreadId();
  DWORD code = 0;
  if (inst) {
    crashrpt::SharedHeader* header = inst->header;
    header->crashPid = GetCurrentProcessId();
    header->crashTid = GetCurrentThreadId();
    header->exceptionType = type;
    header->exceptionPointers = reinterpret_cast<uintptr_t>(pointers);
    if (pointers && pointers->ExceptionRecord) {
      code = pointers->ExceptionRecord->ExceptionCode;
      header->exceptionCode = code;
      header->exceptionAddress =
          reinterpret_cast<uintptr_t>(pointers->ExceptionRecord->ExceptionAddress);
    }
    MemoryBarrier();
    SetEvent(inst->crashEvent);
    HANDLE waits[2] = {inst->doneEvent, inst->sender};
    // A sender that died or hangs must not keep the crashed process alive for ever.
    WaitForMultipleObjects(2, waits, FALSE, 120000);
  }
  TerminateProcess(GetCurrentProcess(), code ? code : 3);
  for (;;)
    Sleep(INFINITE);
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pointers) {
  ReportCrash(CR_SEH_EXCEPTION, pointers);
}

// The runtime's error cases have no exception record: report the place of the call.
[[noreturn]] __declspec(noinline) void ReportRuntimeError(DWORD type) {
  CONTEXT context = {};
  RtlCaptureContext(&context);
  EXCEPTION_RECORD record = {};
  record.ExceptionAddress = CRASHRPT_RETURN_ADDRESS();
  EXCEPTION_POINTERS pointers = {&record, &context};
  ReportCrash(type, &pointers);
}

void __cdecl SignalHandler(int signal) {
  for (int i = 0; i < 6; ++i) {
    if (kSignals[i] == signal)
      ReportRuntimeError(kSignalTypes[i]);
  }
  ReportRuntimeError(CR_CPP_SIGABRT);
}

void __cdecl InvalidParameterHandler(const wchar_t*,
                                     const wchar_t*,
                                     const wchar_t*,
                                     unsigned,
                                     uintptr_t) {
  ReportRuntimeError(CR_CPP_INVALID_PARAMETER);
}

void __cdecl PureCallHandler() {
  ReportRuntimeError(CR_CPP_PURE_CALL);
}

using InvalidParameterFunction =
    void(__cdecl*)(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t);
using PureCallFunction = void(__cdecl*)();
using SetInvalidParameterFunction = InvalidParameterFunction(__cdecl*)(InvalidParameterFunction);
using SetPureCallFunction = PureCallFunction(__cdecl*)(PureCallFunction);

template <typename Function>
Function RuntimeFunction(const char* name) {
  HMODULE crt = GetModuleHandleW(L"msvcrt.dll");
  return crt ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(crt, name)))
             : nullptr;
}

// The C runtime DLL's handlers for invalid parameters and pure calls, where it has them.
// (C++ terminate, unexpected and new-operator failures of this runtime end in abort(), which
// raises SIGABRT; the signal handler reports them.)
void SetRuntimeHandlers(Installation* inst) {
  auto setInvalidParameter =
      RuntimeFunction<SetInvalidParameterFunction>("_set_invalid_parameter_handler");
  auto setPureCall = RuntimeFunction<SetPureCallFunction>("_set_purecall_handler");
  if ((inst->config.flags & CR_INST_INVALID_PARAMETER_HANDLER) && setInvalidParameter) {
    inst->previousInvalidParameter =
        reinterpret_cast<void*>(setInvalidParameter(InvalidParameterHandler));
  }
  if ((inst->config.flags & CR_INST_PURE_CALL_HANDLER) && setPureCall)
    inst->previousPureCall = reinterpret_cast<void*>(setPureCall(PureCallHandler));
  inst->runtimeHandlersSet = true;
}

void RestoreRuntimeHandlers(Installation* inst) {
  if (!inst->runtimeHandlersSet)
    return;
  auto setInvalidParameter =
      RuntimeFunction<SetInvalidParameterFunction>("_set_invalid_parameter_handler");
  auto setPureCall = RuntimeFunction<SetPureCallFunction>("_set_purecall_handler");
  if ((inst->config.flags & CR_INST_INVALID_PARAMETER_HANDLER) && setInvalidParameter)
    setInvalidParameter(reinterpret_cast<InvalidParameterFunction>(inst->previousInvalidParameter));
  if ((inst->config.flags & CR_INST_PURE_CALL_HANDLER) && setPureCall)
    setPureCall(reinterpret_cast<PureCallFunction>(inst->previousPureCall));
}

std::wstring ModuleFolder(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  std::wstring text(path, length);
  size_t slash = text.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : text.substr(0, slash + 1);
}

std::wstring Text(LPCWSTR value) {
  return value ? std::wstring(value) : std::wstring();
}

// Writes the settings into the shared block; false when they do not fit.
bool PublishConfig(Installation* inst) {
  std::wstring text = crashrpt::SerializeConfig(inst->config);
  if (text.size() > crashrpt::kMaxConfigChars)
    return false;
  std::memcpy(inst->header + 1, text.data(), text.size() * sizeof(wchar_t));
  inst->header->configChars = static_cast<DWORD>(text.size());
  return true;
}

void CloseInstallation(Installation* inst) {
  if (inst->quitEvent)
    SetEvent(inst->quitEvent);
  if (inst->header)
    UnmapViewOfFile(inst->header);
  for (HANDLE handle :
       {inst->mapping, inst->crashEvent, inst->doneEvent, inst->quitEvent, inst->sender}) {
    if (handle)
      CloseHandle(handle);
  }
  delete inst;
}

int StartSender(Installation* inst, const std::wstring& senderFolder) {
  std::wstring exe = senderFolder;
  if (!exe.empty() && exe.back() != L'\\' && exe.back() != L'/')
    exe += L'\\';
  exe += L"CrashSender1402.exe";
  if (GetFileAttributesW(exe.c_str()) == INVALID_FILE_ATTRIBUTES)
    return 5;
  // The sender takes its own copies of these handles from this process.
  std::wstring commandLine = L"\"" + exe + L"\" --watch " + std::to_wstring(GetCurrentProcessId());
  for (HANDLE handle : {inst->mapping, inst->crashEvent, inst->doneEvent, inst->quitEvent})
    commandLine += L" " + std::to_wstring(reinterpret_cast<uintptr_t>(handle));
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return 6;
  CloseHandle(process.hThread);
  inst->sender = process.hProcess;
  return 0;
}

}  // namespace

CRASHRPTAPI(int) crInstallW(PCR_INSTALL_INFOW info) {
  if (!info || info->cb < sizeof(CR_INSTALL_INFOW))
    return 1;
  std::lock_guard<std::mutex> guard(g_lock);
  if (g_installation)
    return 2;  // already installed in this process

  auto* inst = new Installation();
  crashrpt::ReportConfig& c = inst->config;
  wchar_t exePath[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exePath, MAX_PATH);
  c.exePath = exePath;
  c.appName = Text(info->pszAppName);
  if (c.appName.empty()) {
    size_t slash = c.exePath.find_last_of(L'\\');
    c.appName = c.exePath.substr(slash == std::wstring::npos ? 0 : slash + 1);
  }
  c.appVersion = Text(info->pszAppVersion);
  c.url = Text(info->pszUrl);
  c.saveDir = Text(info->pszErrorReportSaveDir);
  if (c.saveDir.empty()) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    c.saveDir = std::wstring(temp) + L"CrashRpt\\UnsentErrorReports";
  }
  c.commandLine = GetCommandLineW();
  if (info->pszRestartCmdLine && *info->pszRestartCmdLine)
    c.commandLine = L"\"" + c.exePath + L"\" " + info->pszRestartCmdLine;
  wchar_t currentDir[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, currentDir);
  c.currentDir = currentDir;
  c.flags = info->dwFlags;
  c.dumpType = info->uMiniDumpType;
  c.httpPriority = info->uPriorities[CR_HTTP];
  wchar_t count[16] = {};
  if (GetEnvironmentVariableW(crashrpt::kRestartCountVariable, count, 16))
    c.restartCount = _wtoi(count);

  SECURITY_ATTRIBUTES noInherit = {sizeof(noInherit), nullptr, FALSE};
  inst->mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, &noInherit, PAGE_READWRITE, 0,
                                     crashrpt::kSharedSize, nullptr);
  inst->header = inst->mapping ? static_cast<crashrpt::SharedHeader*>(
                                     MapViewOfFile(inst->mapping, FILE_MAP_WRITE, 0, 0, 0))
                               : nullptr;
  inst->crashEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  inst->doneEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  inst->quitEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!inst->header || !inst->crashEvent || !inst->doneEvent || !inst->quitEvent) {
    CloseInstallation(inst);
    return 3;
  }
  inst->header->magic = crashrpt::kSharedMagic;
  if (!PublishConfig(inst)) {
    CloseInstallation(inst);
    return 4;
  }
  std::wstring senderFolder = info->pszCrashSenderPath && *info->pszCrashSenderPath
                                  ? std::wstring(info->pszCrashSenderPath)
                                  : ModuleFolder(g_module);
  int result = StartSender(inst, senderFolder);
  if (result != 0) {
    CloseInstallation(inst);
    return result;
  }

  if (c.flags & CR_INST_STRUCTURED_EXCEPTION_HANDLER)
    inst->previousFilter = SetUnhandledExceptionFilter(CrashFilter);
  for (int i = 0; i < 6; ++i) {
    if (c.flags & kSignalFlags[i]) {
      auto previous = std::signal(kSignals[i], SignalHandler);
      if (previous != SIG_ERR) {
        inst->previousSignals[i] = previous;
        inst->signalSet[i] = true;
      }
    }
  }
  SetRuntimeHandlers(inst);
  g_installation = inst;
  return 0;
}

CRASHRPTAPI(int) crUninstall() {
  std::lock_guard<std::mutex> guard(g_lock);
  Installation* inst = g_installation;
  if (!inst)
    return 1;
  if (inst->config.flags & CR_INST_STRUCTURED_EXCEPTION_HANDLER)
    SetUnhandledExceptionFilter(inst->previousFilter);
  for (int i = 0; i < 6; ++i) {
    if (inst->signalSet[i])
      std::signal(kSignals[i], inst->previousSignals[i] ? inst->previousSignals[i] : SIG_DFL);
  }
  RestoreRuntimeHandlers(inst);
  g_installation = nullptr;
  CloseInstallation(inst);
  return 0;
}

CRASHRPTAPI(int) crAddPropertyW(LPCWSTR name, LPCWSTR value) {
  if (!name || !*name)
    return 1;
  std::lock_guard<std::mutex> guard(g_lock);
  Installation* inst = g_installation;
  if (!inst)
    return 1;
  inst->config.properties.emplace_back(name, Text(value));
  if (!PublishConfig(inst)) {
    inst->config.properties.pop_back();
    return 1;
  }
  return 0;
}

CRASHRPTAPI(int) crAddScreenshot2(DWORD flags, int jpegQuality) {
  if (jpegQuality < 0 || jpegQuality > 100)
    return 1;
  std::lock_guard<std::mutex> guard(g_lock);
  Installation* inst = g_installation;
  if (!inst)
    return 1;
  inst->config.screenshot = true;
  inst->config.screenshotFlags = flags;
  inst->config.jpegQuality = jpegQuality;
  return PublishConfig(inst) ? 0 : 1;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
