// The version check at start-up: the executable's own version against the newest version named
// by the update manifest "update.ini". The manifest is downloaded into memory, checked (its
// signature, Serial, Expires and Edition when a key is built in) and parsed from those same bytes;
// the accepted record is what the installation follows. A copy is left beside the executable for
// the update report and the clean-up.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "updater/package_integrity.h"

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

// The manifest the last check accepted, or null: the installation reads nothing else.
const UpdateManifest* AcceptedManifest();
// Sets (a copy of) `manifest` as the accepted one; null forgets it.
void SetAcceptedManifest(const UpdateManifest* manifest);

// The highest manifest Serial accepted so far, kept in the installation folder; written through
// a temporary file beside it ("update.serial.new") that is moved over it.
constexpr wchar_t kSerialFileName[] = L"update.serial";
// The stored serial of `directory` (with trailing backslash); 0 when there is none or it is
// unreadable (logged).
uint64_t StoredManifestSerial(const std::wstring& directory);
// Stores `serial`; false when it could not be written.
bool StoreManifestSerial(const std::wstring& directory, uint64_t serial);

// The check for the executable at `exePath`: "conf.cfg" and "update.ini" live beside it.
// `pauseMs` is the pause after a failed manifest download.
bool CheckNewVersionFor(const std::wstring& exePath, DWORD pauseMs);

// "<url>?sid=YYYYMMDDhhmmss" of the given local time.
std::wstring ManifestRequestUrl(const std::wstring& url, const SYSTEMTIME& now);

}  // namespace zarvik
