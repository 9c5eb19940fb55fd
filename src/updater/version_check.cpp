#include "updater/version_check.h"

#include <cwchar>
#include <memory>
#include <vector>

#include "base/endpoints.h"
#include "base/globals.h"
#include "common/encoding.h"
#include "common/file_version.h"
#include "common/module_path.h"
#include "common/scoped_handle.h"
#include "diagnostics/log.h"
#include "updater/downloader.h"
#include "updater/package_integrity.h"
#include "updater/update_manifest.h"
#include "updater/version_order.h"

std::wstring LocalVersion;
std::wstring NewestVersion;

namespace {

constexpr int kManifestAttempts = 3;
constexpr DWORD kProfileValueSize = 260;  // values are cut to 259 characters

std::string Ansi(const std::wstring& text) {
  return zarvik::WideToAnsi(text);
}

std::unique_ptr<zarvik::UpdateManifest> g_acceptedManifest;

// Seconds since 1970-01-01 UTC.
int64_t UtcSecondsNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER ticks;
  ticks.LowPart = now.dwLowDateTime;
  ticks.HighPart = now.dwHighDateTime;
  return static_cast<int64_t>((ticks.QuadPart - 116444736000000000ULL) / 10000000ULL);
}

std::string TrimmedLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return text;
}

// Writes `bytes` as the whole file, flushed to the disk before it is closed.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  zarvik::ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return false;
  DWORD written = 0;
  return (bytes.empty() || (WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                      &written, nullptr) &&
                            written == bytes.size())) &&
         FlushFileBuffers(file.Get());
}

std::wstring ReadProfileText(const std::wstring& path, const wchar_t* key) {
  wchar_t value[kProfileValueSize] = {};
  GetPrivateProfileStringW(L"UPDATE", key, L"", value, kProfileValueSize, path.c_str());
  return value;
}

}  // namespace

uint64_t VersionToNumber(const std::wstring& version) {
  LogLine(INFO, Ansi(version));
  LogLine(INFO, Ansi(version));
  const std::vector<int64_t> parts = zarvik::VersionParts(version);
  LogLine(INFO, "count = ", parts.size());
  uint64_t number = 0;
  const size_t n = parts.size();
  for (size_t k = 0; k < n; ++k) {
    uint64_t weight = 1;
    for (size_t e = 0; e < n - k; ++e)
      weight *= 255;
    number += static_cast<uint64_t>(parts[k]) * weight;
  }
  return number;
}

bool IsNewerVersion(const std::wstring& newest, const std::wstring& local) {
  // The numbers are only logged: the order is the order of the parts, so "1.0.256.0" is older
  // than "1.1.0.0" and a fifth part cannot outweigh the first.
  int64_t newNumber = static_cast<int64_t>(VersionToNumber(newest));
  int64_t localNumber = static_cast<int64_t>(VersionToNumber(local));
  LogLine(INFO, Ansi(local), " ", Ansi(newest), " localVer : ", localNumber,
          " newVer : ", newNumber);
  return zarvik::CompareVersions(newest, local) > 0;
}

namespace zarvik {

std::wstring ManifestRequestUrl(const std::wstring& url, const SYSTEMTIME& now) {
  wchar_t sid[64];
  swprintf(sid, 64, L"?sid=%.4d%.2d%.2d%.2d%.2d%.2d", now.wYear, now.wMonth, now.wDay, now.wHour,
           now.wMinute, now.wSecond);
  return url + sid;
}

bool CheckNewVersionFor(const std::wstring& exePath, DWORD pauseMs) {
  LogLine(INFO, "start to check new version.");
  SetAcceptedManifest(nullptr);
  LocalVersion = ReadFileVersionText(exePath);
  LogLine(INFO, "local version is : ", Ansi(LocalVersion));

  const std::wstring directory = StripLastComponent(exePath);
  const std::wstring configPath = directory + L"conf.cfg";
  std::wstring manifestUrl;
  if (GetFileAttributesW(configPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
    LogLine(ERROR, Ansi(configPath), " is no exists.");
    manifestUrl = UpdateManifestUrl(g_editionIndex);
  } else {
    wchar_t key[32];
    swprintf(key, 32, L"URL_#%d", static_cast<int>(g_editionIndex));
    manifestUrl = ReadProfileText(configPath, key);
    if (manifestUrl.empty()) {
      LogLine(ERROR, "update configure url is empty.");
      return false;
    }
  }

  const std::wstring manifestPath = directory + L"update.ini";
  SYSTEMTIME now;
  GetLocalTime(&now);
  const std::wstring requestUrl = ManifestRequestUrl(manifestUrl, now);
  LogLine(INFO, "update configure file url : ", Ansi(requestUrl));

  // The manifest is read once, into memory; everything below is decided from these bytes.
  const std::string url = Ansi(requestUrl);
  const std::string path = Ansi(manifestPath);
  std::string manifestBytes;
  for (int counter = kManifestAttempts;;) {
    LogLine(INFO, "try to down load update.ini  ", " from ", url, "  to ", path, " ", counter);
    int result = DownloadTinyBytes(url, std::string(), kMaxTinyFileBytes, &manifestBytes);
    LogLine(INFO, "call down load tiny file proc return code : ", result);
    if (result == 0)
      break;
    LogLine(ERROR, "down  load file : ", path, " from server : ", url, " failed and return code ; ",
            result);
    --counter;
    Sleep(pauseMs);
    if (counter < 1)
      return false;
  }
  // The copy on disk is for the update report; nothing decides from it.
  if (!WriteWholeFile(manifestPath, manifestBytes))
    LogLine(ERROR, "cannot write ", path, ", error : ", GetLastError());

  // With a trusted key the manifest counts only with its signature, fetched from the same place.
  const std::wstring signaturePath = directory + L"update.ini.sig";
  DeleteFileW(signaturePath.c_str());
  const std::string key = UpdatePublicKey();
  std::string signature;
  FreshnessContext freshness;
  if (!key.empty()) {
    const std::string signatureUrl = Ansi(ManifestRequestUrl(manifestUrl + L".sig", now));
    int result = DownloadTinyBytes(signatureUrl, std::string(), 1024, &signature);
    if (result != 0) {
      LogLine(ERROR, "no signature of the update manifest (code ", result, "), no update.");
      return false;
    }
    WriteWholeFile(signaturePath, signature);  // beside the manifest, as downloaded
    freshness.storedSerial = StoredManifestSerial(directory);
    freshness.now = UtcSecondsNow();
    freshness.edition = static_cast<int>(g_editionIndex);
  }
  UpdateManifest manifest;
  std::string problem;
  if (!ReadManifest(manifestBytes, signature, key, freshness, &manifest, &problem)) {
    LogLine(ERROR, "the update manifest is refused: ", problem, ", no update.");
    return false;
  }
  if (!key.empty() && manifest.serial > freshness.storedSerial &&
      !StoreManifestSerial(directory, manifest.serial))
    LogLine(ERROR, "cannot store the manifest's serial ", manifest.serial,
            ", error : ", GetLastError());
  SetAcceptedManifest(&manifest);

  NewestVersion = manifest.version;
  if (NewestVersion.empty())
    return false;
  LogLine(INFO, "the newest version : ", Ansi(NewestVersion));
  return IsNewerVersion(NewestVersion, LocalVersion);
}

const UpdateManifest* AcceptedManifest() {
  return g_acceptedManifest.get();
}

void SetAcceptedManifest(const UpdateManifest* manifest) {
  g_acceptedManifest.reset(manifest ? new UpdateManifest(*manifest) : nullptr);
}

uint64_t StoredManifestSerial(const std::wstring& directory) {
  const std::wstring path = directory + kSerialFileName;
  if (!FileExists(path))
    return 0;
  std::string text;
  uint64_t serial = 0;
  if (!ReadSmallFile(path, 64, &text) || !ParseManifestSerial(TrimmedLine(text), &serial)) {
    LogLine(ERROR, "the stored manifest serial is unreadable, taken as 0.");
    return 0;
  }
  return serial;
}

bool StoreManifestSerial(const std::wstring& directory, uint64_t serial) {
  const std::wstring path = directory + kSerialFileName;
  const std::wstring next = path + L".new";
  if (!WriteWholeFile(next, std::to_string(serial) + "\r\n"))
    return false;
  return MoveFileExW(next.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

}  // namespace zarvik

bool CheckNewVersion() {
  return zarvik::CheckNewVersionFor(zarvik::ModuleFilePath(), 1000);
}
