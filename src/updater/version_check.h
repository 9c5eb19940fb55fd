// The version check at start-up: the executable's own version against the newest version named
// by the update manifest "update.ini", which is downloaded beside the executable and left there
// for the installation and the update report.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// The executable's file version ("1.0.6.18"), empty without a version record.
extern std::wstring LocalVersion;
// The manifest's "Version", empty until read.
extern std::wstring NewestVersion;

// True when a newer version is published: the update is to run. Blocks (downloads, pauses).
bool CheckNewVersion();

// Sum of part[k] * 255^(n-k) over the dot-separated parts (empty parts dropped, each read as
// _wtoi does); 1.0.6.18 gives 4228645365. Logged beside the versions; not used for the order.
uint64_t VersionToNumber(const std::wstring& version);

// newest > local, comparing the versions part by part as numbers (zarvik::CompareVersions).
bool IsNewerVersion(const std::wstring& newest, const std::wstring& local);

namespace zarvik {

// The check for the executable at `exePath`: "conf.cfg" and "update.ini" live beside it.
// `pauseMs` is the pause after a failed manifest download.
bool CheckNewVersionFor(const std::wstring& exePath, DWORD pauseMs);

// "<url>?sid=YYYYMMDDhhmmss" of the given local time.
std::wstring ManifestRequestUrl(const std::wstring& url, const SYSTEMTIME& now);

}  // namespace zarvik
