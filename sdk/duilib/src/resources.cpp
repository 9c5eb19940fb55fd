// Process-wide settings of the library: module instance, resource folder and zip, the log.
#include <stdarg.h>
#include <stdio.h>

#include <minizip/unzip.h>
// after unzip.h, which brings the definitions it uses
#include <minizip/iowin32.h>

#include <string>
#include <vector>

#include "internal.h"

namespace DuiLib {

namespace {

HINSTANCE g_hInstance = NULL;
CDuiString* g_resourcePath = NULL;  // created on first use: no static constructors in the DLL
CDuiString* g_resourceZip = NULL;
bool g_cachedZip = false;
unzFile g_zipHandle = NULL;  // kept open when the zip is cached
typedef void(CALLBACK* LogCallback)(LPCTSTR text);
LogCallback g_log = NULL;

CDuiString& ResourcePath() {
  if (!g_resourcePath)
    g_resourcePath = new CDuiString;
  return *g_resourcePath;
}

CDuiString& ResourceZip() {
  if (!g_resourceZip)
    g_resourceZip = new CDuiString;
  return *g_resourceZip;
}

std::string ToUtf8(LPCTSTR text) {
  int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
  if (n <= 1)
    return std::string();
  std::string out(n - 1, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, NULL, NULL);
  return out;
}

bool IsAbsolutePath(LPCTSTR path) {
  return path[0] && (path[1] == L':' || (path[0] == L'\\' && path[1] == L'\\'));
}

void CloseZip() {
  if (g_zipHandle) {
    unzClose(g_zipHandle);
    g_zipHandle = NULL;
  }
}

unzFile OpenZip() {
  if (g_zipHandle)
    return g_zipHandle;
  CDuiString path = ResourceZip();
  if (!IsAbsolutePath(path))
    path = ResourcePath() + path;
  zlib_filefunc64_def functions;
  fill_win32_filefunc64W(&functions);
  unzFile zip = unzOpen2_64(path.GetData(), &functions);
  if (!zip) {
    CPaintManagerUI::Log(L"resource zip %s cannot be opened", path.GetData());
    return NULL;
  }
  if (g_cachedZip)
    g_zipHandle = zip;
  return zip;
}

bool ReadFromZip(LPCTSTR name, std::vector<BYTE>& out) {
  unzFile zip = OpenZip();
  if (!zip)
    return false;
  std::string entry = ToUtf8(name);
  for (char& c : entry)
    if (c == '\\')
      c = '/';
  bool ok = false;
  if (unzLocateFile(zip, entry.c_str(), 2) == UNZ_OK) {  // 2: names compare without case
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zip, &info, NULL, 0, NULL, 0, NULL, 0) == UNZ_OK &&
        info.uncompressed_size < 64u * 1024 * 1024 && unzOpenCurrentFile(zip) == UNZ_OK) {
      out.resize(static_cast<size_t>(info.uncompressed_size));
      int read =
          out.empty() ? 0 : unzReadCurrentFile(zip, out.data(), static_cast<unsigned>(out.size()));
      ok = read == static_cast<int>(out.size());
      if (unzCloseCurrentFile(zip) != UNZ_OK)
        ok = false;  // CRC mismatch
      if (!ok)
        CPaintManagerUI::Log(L"resource %s in %s is damaged", name, ResourceZip().GetData());
    }
  }
  if (!g_cachedZip)
    unzClose(zip);
  return ok;
}

bool ReadFromDisk(LPCTSTR path, std::vector<BYTE>& out) {
  HANDLE file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  LARGE_INTEGER size;
  bool ok = ::GetFileSizeEx(file, &size) && size.QuadPart < 64LL * 1024 * 1024;
  if (ok) {
    out.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    ok =
        out.empty() || (::ReadFile(file, out.data(), static_cast<DWORD>(out.size()), &read, NULL) &&
                        read == out.size());
  }
  ::CloseHandle(file);
  return ok;
}

}  // namespace

HINSTANCE CPaintManagerUI::GetInstance() {
  return g_hInstance ? g_hInstance : ::GetModuleHandleW(NULL);
}

void CPaintManagerUI::SetInstance(HINSTANCE hInst) {
  g_hInstance = hInst;
}

CDuiString CPaintManagerUI::GetInstancePath() {
  wchar_t path[MAX_PATH + 1] = {};
  DWORD n = ::GetModuleFileNameW(GetInstance(), path, MAX_PATH);
  while (n > 0 && path[n - 1] != L'\\' && path[n - 1] != L'/')
    --n;
  return CDuiString(path, static_cast<int>(n));
}

CDuiString CPaintManagerUI::GetCurrentPath() {
  wchar_t path[MAX_PATH + 1] = {};
  ::GetCurrentDirectoryW(MAX_PATH, path);
  return CDuiString(path);
}

void CPaintManagerUI::SetCurrentPath(LPCTSTR pStrPath) {
  ::SetCurrentDirectoryW(pStrPath);
}

const CDuiString& CPaintManagerUI::GetResourcePath() {
  return ResourcePath();
}

const CDuiString& CPaintManagerUI::GetResourceZip() {
  return ResourceZip();
}

bool CPaintManagerUI::IsCachedResourceZip() {
  return g_cachedZip;
}

void CPaintManagerUI::SetResourcePath(LPCTSTR pStrPath) {
  CDuiString& path = ResourcePath();
  path = pStrPath ? pStrPath : L"";
  if (!path.IsEmpty()) {
    TCHAR last = path.GetAt(path.GetLength() - 1);
    if (last != L'\\' && last != L'/')
      path += L'\\';
  }
  CloseZip();
}

void CPaintManagerUI::SetResourceZip(LPCTSTR pstrZip, bool bCachedResourceZip) {
  CloseZip();
  ResourceZip() = pstrZip ? pstrZip : L"";
  g_cachedZip = bCachedResourceZip;
}

bool CPaintManagerUI::LoadResource(LPCTSTR pstrName, LPBYTE* ppData, DWORD* pdwSize) {
  *ppData = NULL;
  *pdwSize = 0;
  if (!pstrName || !*pstrName)
    return false;
  std::vector<BYTE> bytes;
  bool ok;
  CDuiString where;
  if (IsAbsolutePath(pstrName)) {
    where = pstrName;
    ok = ReadFromDisk(pstrName, bytes);
  } else if (!ResourceZip().IsEmpty()) {
    where = ResourceZip();
    ok = ReadFromZip(pstrName, bytes);
  } else {
    where = ResourcePath() + pstrName;
    ok = ReadFromDisk(where, bytes);
  }
  if (!ok) {
    Log(L"resource %s not found in %s", pstrName, where.GetData());
    return false;
  }
  *ppData = new BYTE[bytes.size() + 2];
  if (!bytes.empty())
    memcpy(*ppData, bytes.data(), bytes.size());
  (*ppData)[bytes.size()] = 0;  // two zero bytes: text readers may rely on a terminator
  (*ppData)[bytes.size() + 1] = 0;
  *pdwSize = static_cast<DWORD>(bytes.size());
  return true;
}

void CPaintManagerUI::FreeResource(LPBYTE pData) {
  delete[] pData;
}

// Our addition, not a member of the real library's API: exported by name only, so a client finds
// it with GetProcAddress and builds against the real library too.
extern "C" DUILIB_API void DuiLibSetLogCallback(LogCallback pfnLog) {
  g_log = pfnLog;
}

void CPaintManagerUI::Log(LPCTSTR pstrFormat, ...) {
  wchar_t buffer[1024];
  va_list args;
  va_start(args, pstrFormat);
  _vsnwprintf(buffer, 1023, pstrFormat, args);
  va_end(args);
  buffer[1023] = 0;
  if (g_log) {
    g_log(buffer);
  } else {
    ::OutputDebugStringW(L"duilib: ");
    ::OutputDebugStringW(buffer);
    ::OutputDebugStringW(L"\n");
  }
}

void CPaintManagerUI::MessageLoop() {
  MSG msg = {};
  while (::GetMessageW(&msg, NULL, 0, 0) > 0) {
    if (!CPaintManagerUI::TranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

void CPaintManagerUI::Term() {
  CloseZip();
}

}  // namespace DuiLib
