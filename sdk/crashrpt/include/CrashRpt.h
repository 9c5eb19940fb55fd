// Public interface of CrashRpt1402.dll, the crash reporter: installation record, flags and the
// exported functions. Applications import the functions by ordinal (7, 9, 18, 27).
#pragma once

#include <windows.h>

#include <dbghelp.h>
#include <stddef.h>

#ifdef CRASHRPT_BUILDING_DLL
// The DLL names its exports and their ordinals in CrashRpt1402.def.
#define CRASHRPTAPI(rettype) extern "C" rettype WINAPI
#else
#define CRASHRPTAPI(rettype) extern "C" __declspec(dllimport) rettype WINAPI
#endif

#define CRASHRPT_VER 1402

// Indexes of CR_INSTALL_INFOW::uPriorities.
#define CR_HTTP 0
#define CR_SMTP 1
#define CR_SMAPI 2
// A transport with this priority is not used.
#define CR_NEGATIVE_PRIORITY ((UINT)-1)

// Kinds of crash, as the report names them.
#define CR_SEH_EXCEPTION 0
#define CR_CPP_TERMINATE_CALL 1
#define CR_CPP_UNEXPECTED_CALL 2
#define CR_CPP_PURE_CALL 3
#define CR_CPP_NEW_OPERATOR_ERROR 4
#define CR_CPP_SECURITY_ERROR 5
#define CR_CPP_INVALID_PARAMETER 6
#define CR_CPP_SIGABRT 7
#define CR_CPP_SIGFPE 8
#define CR_CPP_SIGILL 9
#define CR_CPP_SIGINT 10
#define CR_CPP_SIGSEGV 11
#define CR_CPP_SIGTERM 12

// CR_INSTALL_INFOW::dwFlags.
#define CR_INST_STRUCTURED_EXCEPTION_HANDLER 0x1
#define CR_INST_TERMINATE_HANDLER 0x2
#define CR_INST_UNEXPECTED_HANDLER 0x4
#define CR_INST_PURE_CALL_HANDLER 0x8
#define CR_INST_NEW_OPERATOR_ERROR_HANDLER 0x10
#define CR_INST_SECURITY_ERROR_HANDLER 0x20
#define CR_INST_INVALID_PARAMETER_HANDLER 0x40
#define CR_INST_SIGABRT_HANDLER 0x80
#define CR_INST_SIGFPE_HANDLER 0x100
#define CR_INST_SIGILL_HANDLER 0x200
#define CR_INST_SIGINT_HANDLER 0x400
#define CR_INST_SIGSEGV_HANDLER 0x800
#define CR_INST_SIGTERM_HANDLER 0x1000
#define CR_INST_ALL_POSSIBLE_HANDLERS 0x1FFF
#define CR_INST_CRT_EXCEPTION_HANDLERS 0x1FFE
#define CR_INST_NO_GUI 0x2000
#define CR_INST_HTTP_BINARY_ENCODING 0x4000
#define CR_INST_DONT_SEND_REPORT 0x8000
#define CR_INST_APP_RESTART 0x10000
#define CR_INST_NO_MINIDUMP 0x20000
#define CR_INST_SEND_QUEUED_REPORTS 0x40000
#define CR_INST_STORE_ZIP_ARCHIVES 0x80000
#define CR_INST_SEND_MANDATORY 0x100000
#define CR_INST_SHOW_ADDITIONAL_INFO_FIELDS 0x200000
#define CR_INST_ALLOW_ATTACH_MORE_FILES 0x400000

// crAddScreenshot2 flags.
#define CR_AS_VIRTUAL_SCREEN 0
#define CR_AS_MAIN_WINDOW 1
#define CR_AS_PROCESS_WINDOWS 2
#define CR_AS_GRAYSCALE_IMAGE 4
#define CR_AS_USE_JPEG_FORMAT 8
#define CR_AS_ALLOW_DELETE 16

typedef BOOL(CALLBACK* LPGETLOGFILE)(LPVOID lpvState);

// The installation record of this build: 100 bytes in a 32-bit process (176 in a 64-bit one, the
// natural layout). Unused members stay 0.
typedef struct tagCR_INSTALL_INFOW {
  WORD cb;                        // size of this record in bytes
  LPCWSTR pszAppName;             // application name; the executable's name when null
  LPCWSTR pszAppVersion;          // application version text
  LPCWSTR pszEmailTo;             // e-mail recipient (not used by this build)
  LPCWSTR pszEmailSubject;        // e-mail subject (not used by this build)
  LPCWSTR pszUrl;                 // HTTP upload URL
  LPCWSTR pszCrashSenderPath;     // folder of CrashSender1402.exe; the DLL's folder when null
  LPGETLOGFILE pfnCrashCallback;  // not used
  UINT uPriorities[5];            // transport priorities, indexed by CR_HTTP, CR_SMTP, CR_SMAPI
  DWORD dwFlags;                  // CR_INST_* flags
  LPCWSTR pszPrivacyPolicyURL;    // not used
  LPCWSTR pszDebugHelpDLL;        // not used: the system's dbghelp writes the minidump
  MINIDUMP_TYPE uMiniDumpType;    // minidump kind
  LPCWSTR pszErrorReportSaveDir;  // folder that receives the report folders
  LPCWSTR pszRestartCmdLine;      // arguments for the restart; the original command line when null
  LPCWSTR pszLangFilePath;        // not used
  LPCWSTR pszEmailText;           // not used
  LPCWSTR pszSmtpProxy;           // not used
  LPCWSTR pszCustomSenderIcon;    // not used
  LPCWSTR pszSmtpLogin;           // not used
  LPCWSTR pszSmtpPassword;        // not used
} CR_INSTALL_INFOW, *PCR_INSTALL_INFOW;

#if defined(__cplusplus) && defined(_WIN32) && !defined(_WIN64)
// 32-bit applications fill the record by these offsets: a shifted member would install nonsense.
static_assert(sizeof(CR_INSTALL_INFOW) == 100, "32-bit installation record is 100 bytes");
static_assert(offsetof(CR_INSTALL_INFOW, pszAppName) == 4, "installation record layout");
static_assert(offsetof(CR_INSTALL_INFOW, pszUrl) == 20, "installation record layout");
static_assert(offsetof(CR_INSTALL_INFOW, uPriorities) == 32, "installation record layout");
static_assert(offsetof(CR_INSTALL_INFOW, dwFlags) == 52, "installation record layout");
static_assert(offsetof(CR_INSTALL_INFOW, uMiniDumpType) == 64, "installation record layout");
static_assert(offsetof(CR_INSTALL_INFOW, pszErrorReportSaveDir) == 68, "installation record layout");
static_assert(offsetof(CR_INSTALL_INFOW, pszSmtpPassword) == 96, "installation record layout");
#endif

// Installs the handlers for the whole process. 0 on success.
CRASHRPTAPI(int) crInstallW(PCR_INSTALL_INFOW pInfo);
// Removes the handlers and ends the sender. 0 on success, 1 when nothing was installed.
CRASHRPTAPI(int) crUninstall();
// Adds a named property to every later report. 0 on success.
CRASHRPTAPI(int) crAddPropertyW(LPCWSTR pszPropName, LPCWSTR pszPropValue);
// Asks for screenshots (CR_AS_* flags) with the given JPEG quality (0..100). 0 on success.
CRASHRPTAPI(int) crAddScreenshot2(DWORD dwFlags, int nJpegQuality);
